#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/DescriptorIo.h"
#include "platform/UniqueFd.h"

// The exclusive lock a writer of an ini file holds from before it reads
// the file until its new text is in place, whoever the writer is.
//
// Root and the file's owner lock "<name>.lock" beside the file: a regular
// file private to root or that owner, so that no other user can hold it
// and stall them. A writer that is neither (the mode lets a group or
// everyone write the file) cannot open that lock and locks the file
// itself; so does every writer of a file that others may write. Only a
// descriptor open for writing takes such a lock. A lock dies with the
// process that held it.
class IniFileLock {
  public:
    using Clock = descriptor_io::Clock;
    enum class Result { Locked, Unavailable, Refused };

    // Locks the lock file of `name` in the folder open on `folder`; `owner`
    // owns the file (the writer itself, for a file still to be made).
    // Unavailable when the lock file cannot be made or opened by this
    // writer; Refused, with the reason in `why`, when it is not private or
    // the deadline passed.
    static Result onLockFile(int folder, const std::string& name, uid_t owner,
                             Clock::time_point deadline, std::optional<IniFileLock>& lock,
                             std::string& why);
    // Locks the file open on `fd` (for writing) itself.
    static bool onFile(int fd, Clock::time_point deadline);

  private:
    explicit IniFileLock(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;
};
