#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/UniqueFd.h"

// One of a user's connection slots, held while this process serves the
// user. Under the socket unit every connection is a helper of its own, and
// systemd 252 counts no source for local sockets: the per-user cap is
// these locks, one byte of a root-owned file per slot, shared by every
// instance and let go by the kernel when a process ends.
class ConnectionSlot {
  public:
    // A free slot of `uid` among `slots` in `folder` (made 0700 when
    // missing; refused unless it is the process owner's and nobody else may
    // write it). Nothing, with the reason in `why`, when all are held or the
    // files are not fit.
    static std::optional<ConnectionSlot> take(const std::string& folder, uid_t uid, size_t slots,
                                              std::string& why);

  private:
    explicit ConnectionSlot(UniqueFd file) : file_(std::move(file)) {}

    UniqueFd file_;
};
