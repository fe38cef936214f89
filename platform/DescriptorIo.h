#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Reads and writes on a socket or pipe with a deadline, so that a silent or
// stalled peer cannot hold the caller forever.
namespace descriptor_io {

using Clock = std::chrono::steady_clock;

enum class Result { Ok, Closed, TimedOut, TooLong, Failed };

// Exactly `size` bytes. Closed when the peer ends before the first byte,
// Failed when it ends part way.
Result readExactly(int fd, char* buffer, size_t size, Clock::time_point deadline);

// Everything up to the end of input, at most `maxBytes` (TooLong beyond).
Result readToEnd(int fd, size_t maxBytes, Clock::time_point deadline, std::string& out);

// All of `bytes`; a peer that went away is a failure, never a signal.
Result writeAll(int fd, std::string_view bytes, Clock::time_point deadline);

// All of `bytes` to a local file, retrying short and interrupted writes;
// false when the file took no more.
bool writeToFile(int fd, std::string_view bytes);

// Names the unnamed file open on `fd` (made with O_TMPFILE) `name` in the
// folder open on `folder`; false, errno set, when it could not (EEXIST: the
// name is taken).
bool linkUnnamed(int fd, int folder, const char* name);

Clock::time_point deadlineAfter(std::chrono::milliseconds timeout);

}  // namespace descriptor_io
