#pragma once

#include <optional>
#include <string>

#include "platform/DescriptorIo.h"
#include "platform/UniqueFd.h"

// The exclusive lock on one file that every helper process (each socket
// instance, each --listen child, each pkexec run) takes before it reads the
// files of a plan and keeps until they are replaced, so that no two
// read-modify-write cycles interleave. Closing the last descriptor of the
// lock releases it, so a killed holder cannot keep it.
class HelperLock {
  public:
    // The lock held, or nothing (logged) when the file is not a regular
    // file of ours that only we may write, or the deadline passed first.
    static std::optional<HelperLock> acquire(const std::string& path,
                                             descriptor_io::Clock::time_point deadline);

    int fd() const { return fd_.get(); }

  private:
    explicit HelperLock(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;
};
