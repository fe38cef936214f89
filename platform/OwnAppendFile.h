#pragma once

#include <filesystem>

#include "platform/UniqueFd.h"

// A log or trace file of this user's to append to, also in folders others
// share: made afresh with mode 0600, or else used only when it is already a
// regular file of ours with no other name. A link, a FIFO, someone else's
// file or a second name of another file gives nothing.
class OwnAppendFile {
  public:
    static UniqueFd open(const std::filesystem::path& path);
};
