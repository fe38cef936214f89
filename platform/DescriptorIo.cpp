#include "platform/DescriptorIo.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace descriptor_io {

namespace {

// Waits until `fd` is ready for `events` or the deadline passes.
Result waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return Result::TimedOut;
        }
        pollfd waiting{fd, events, 0};
        const int ready =
            poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (ready > 0) {
            return Result::Ok;
        }
        if (ready < 0 && errno != EINTR) {
            return Result::Failed;
        }
    }
}

// One read once the descriptor is readable: the count, 0 at the end, -1 on error.
ssize_t readSome(int fd, char* buffer, size_t size, Clock::time_point deadline, Result& wait) {
    wait = waitFor(fd, POLLIN, deadline);
    if (wait != Result::Ok) {
        return -1;
    }
    ssize_t got;
    do {
        got = read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        wait = Result::Failed;
    }
    return got;
}

ssize_t writeSome(int fd, const char* bytes, size_t size) {
    ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == ENOTSOCK) {
        sent = write(fd, bytes, size);
    }
    return sent;
}

}  // namespace

Clock::time_point deadlineAfter(std::chrono::milliseconds timeout) {
    return Clock::now() + timeout;
}

Result readExactly(int fd, char* buffer, size_t size, Clock::time_point deadline) {
    size_t done = 0;
    while (done < size) {
        Result wait = Result::Ok;
        const ssize_t got = readSome(fd, buffer + done, size - done, deadline, wait);
        if (got < 0) {
            return wait;
        }
        if (got == 0) {
            return done == 0 ? Result::Closed : Result::Failed;
        }
        done += static_cast<size_t>(got);
    }
    return Result::Ok;
}

Result readToEnd(int fd, size_t maxBytes, Clock::time_point deadline, std::string& out) {
    out.clear();
    char buffer[4096];
    for (;;) {
        Result wait = Result::Ok;
        const ssize_t got = readSome(fd, buffer, sizeof buffer, deadline, wait);
        if (got < 0) {
            return wait;
        }
        if (got == 0) {
            return Result::Ok;
        }
        if (out.size() + static_cast<size_t>(got) > maxBytes) {
            return Result::TooLong;
        }
        out.append(buffer, static_cast<size_t>(got));
    }
}

bool writeToFile(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool linkUnnamed(int fd, int folder, const char* name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0 ||
           (errno != EEXIST && linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0);
}

Result writeAll(int fd, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        if (const Result wait = waitFor(fd, POLLOUT, deadline); wait != Result::Ok) {
            return wait;
        }
        const ssize_t sent = writeSome(fd, bytes.data(), bytes.size());
        if (sent < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (sent <= 0) {
            return Result::Failed;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return Result::Ok;
}

}  // namespace descriptor_io
