#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DescriptorIo.h"

// A message to or from a local service: a dictionary of strings sent as one
// frame, a 4-byte big-endian length and then key NUL value NUL pairs. The
// body is at most 64 KiB; keys are unique and not empty.
class ServiceMessage {
  public:
    using Fields = std::map<std::string, std::string>;
    static constexpr size_t kMaxBody = 64 * 1024;

    // The whole frame; nothing when a text holds NUL, a key is empty or the
    // body would pass the limit.
    static std::optional<std::string> encode(const Fields& fields);
    // The body (without its length); nothing unless it is well formed.
    static std::optional<Fields> decode(std::string_view body);

    struct Received {
        descriptor_io::Result result = descriptor_io::Result::Failed;
        Fields fields;  // only when result is Ok
    };
    // TooLong for a frame beyond the limit, Failed for a malformed one; in
    // either case nothing of the body is looked at.
    static Received receive(int fd, descriptor_io::Clock::time_point deadline);
    static descriptor_io::Result send(int fd, const Fields& fields,
                                      descriptor_io::Clock::time_point deadline);
};
