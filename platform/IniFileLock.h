#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/DescriptorIo.h"
#include "platform/UniqueFd.h"

// The exclusive locks a writer of an ini file holds from before it reads
// the file until its new text is in place, whoever the writer is.
//
// A lock only a reader could take would let that reader stall every
// writer: any descriptor, even one open for reading only, takes a read
// lock that keeps a write lock out. So writers wait on "<name>.lock"
// beside the file, which only those who may write the file may open: it
// belongs to the file's owner, has its group, and its mode and ACL give
// read and write to exactly the classes and entries that may write the
// file, nothing to others. Root and the owner make it and bring it back to
// that shape (after a chown or chmod of the file); other writers only use
// it. Where everyone who may read the file may also write it, writers lock
// the file itself as well: that lock belongs to the file, not to a name,
// so two names of one file share it. A lock dies with the process that
// held it.
class IniFileLock {
  public:
    using Clock = descriptor_io::Clock;
    enum class Result { Locked, Unavailable, Refused };

    // What the lock file of an ini file must look like.
    struct Shape {
        uid_t owner = 0;
        gid_t group = 0;
        mode_t mode = 0600;
        std::string acl;  // the access ACL as stored, empty for none
    };
    // The shape for the ini file open on `fd`.
    static Shape shapeFor(int fd, const struct stat& status);
    // The shape for a file this writer is still to make.
    static Shape ownShape();
    // Whether everyone who may read the file open on `fd` may write it too,
    // so that a lock on the file itself is held by writers only.
    static bool readersMayWrite(int fd, const struct stat& status);

    // Locks the lock file of `name` in the folder open on `folder`. With
    // `mayShape` (root, the file's owner) it is made when missing and
    // given its shape; other writers use it only when it has that shape.
    // Unavailable, with the reason in `why`, when this writer cannot have
    // a lock file of that shape; Refused when it is a symbolic link or the
    // deadline passed.
    static Result onLockFile(int folder, const std::string& name, const Shape& shape, bool mayShape,
                             Clock::time_point deadline, std::optional<IniFileLock>& lock,
                             std::string& why);
    // Locks the file open on `fd` (for writing) itself.
    static bool onFile(int fd, Clock::time_point deadline);
    // Sleeps `pauseMs`, then doubles it up to a short bound.
    static void backOff(int& pauseMs);

  private:
    explicit IniFileLock(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;
};
