#pragma once

#include <filesystem>

#include "platform/UniqueFd.h"

// The one way every log and trace file of this user's is opened for
// appending, also in folders others share: made afresh with mode 0600, or
// else used only when it is already a private regular file of ours with no
// other name. A link, a FIFO, someone else's file, a second name of another
// file or a file others may read gives nothing: a log holds statements
// and what they carry. A process running as root follows no symbolic link
// at any step of the path: another user's link in a folder on the way
// must not take root's lines to a file of root's choosing; and where it
// keeps root's rules (TrustedPath::keepsRootRules) the file lies below
// /var/log in folders only root may write, as the helper has it.
class OwnAppendFile {
  public:
    static UniqueFd open(const std::filesystem::path& path);
    // Nobody but its owner may read the file open on `fd`: no group or
    // other permission bits, no ACL.
    static bool isPrivate(int fd);
};
