#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/DescriptorIo.h"
#include "platform/UniqueFd.h"

// The one exclusive lock every writer of an ini file holds from before
// it reads the file until its new text is in place, whoever the writer
// is and whatever the file's mode at that moment.
//
// A lock only a reader could take would let that reader stall every
// writer: any descriptor, even one open for reading only, takes a read
// lock that keeps a write lock out. So the lock is "<name>.lock" beside
// the file, which only those who may write the file may open: it belongs
// to the file's owner, has its group, and its mode and ACL give read and
// write to exactly the classes and entries that may write the file,
// nothing to others. Root and the owner make it and set it right (after
// a chown or chmod of the file, in place or by a new one); every other
// writer uses it as it is, and is refused when it leaves that writer
// out. A file under that name that is not the owner's (whoever may add
// files to the folder could have made it, and hold it) is no lock file.
// Where there is no lock file and none of that shape can be made, the
// lock is the file's own: readers can delay it. Which of the two is the
// lock follows from the folder and the file's owner alone (is there a
// lock file of the owner?), so that all writers agree, and a lock file
// comes and goes only while no writer holds the file's own lock. Where
// the folder is read-only to this writer (a file mounted writable in a
// read-only folder) and writers elsewhere may take the lock file, it is
// held for reading beside the file's own lock. Where everyone who may
// read the file may also write it, or the file has a second name,
// writers lock the file itself as well: that lock belongs to the file,
// not to a name. A lock dies with the process that held it.
class IniFileLock {
  public:
    using Clock = descriptor_io::Clock;
    enum class Result { Locked, Moved, Refused };

    // What the lock file of an ini file must look like.
    struct Shape {
        uid_t owner = 0;
        gid_t group = 0;
        mode_t mode = 0600;
        std::string acl;  // the access ACL as stored, empty for none
    };
    // The shape for the ini file open on `fd`.
    static Shape shapeFor(int fd, const struct stat& status);
    // Whether everyone who may read the file open on `fd` may write it too,
    // so that a lock on the file itself is held by writers only.
    static bool readersMayWrite(int fd, const struct stat& status);
    // Whether writers lock the file open on `data` itself too: where its
    // readers may write it, or it has a second name.
    static bool ownLockWanted(int data, const struct stat& status);

    // Takes the lock of the file `path`, named `name` in the folder open
    // on `folder` and open for writing on `data` (`status` its state).
    // Moved when the lock file or the file changed meanwhile (open the
    // file again); Refused, with the reason in `why`.
    static Result take(int folder, const std::string& name, const std::filesystem::path& path,
                       int data, const struct stat& status, Clock::time_point deadline,
                       std::optional<IniFileLock>& lock, std::string& why);
    // The lock of a file this writer is still to make: its lock file, made
    // when missing.
    static Result forNewFile(int folder, const std::string& name, const std::filesystem::path& path,
                             Clock::time_point deadline, std::optional<IniFileLock>& lock,
                             std::string& why);

    // Whether this is still the lock of a file of `owner`: the lock file
    // still under its name and the owner's, or, with the file's own lock
    // held, still no lock file.
    bool stillHeld(int folder, const std::string& name, uid_t owner) const;
    bool onLockFile() const { return file_.valid(); }
    // The file under the name was replaced while this writer waited for the
    // name's lock file: this lock becomes the lock of the file open on
    // `data` now, its own lock taken too where needed. False for the lock
    // of the file replaced.
    bool keep(int data, const struct stat& status, Clock::time_point deadline);
    // Writers through a name the file open on `data` gained meanwhile lock
    // the file itself: its own lock taken too where it has several names,
    // and `status` read again under it. False when it did not come.
    bool cover(int data, struct stat& status, Clock::time_point deadline);

    // Locks the file open on `fd` (for writing) itself, or for reading
    // where `shared`; waiters are served in turn.
    static bool onFile(int fd, Clock::time_point deadline, bool shared = false);
    // Sleeps `pauseMs`, then doubles it up to a short bound.
    static void backOff(int& pauseMs);

  private:
    struct Taking;
    IniFileLock(UniqueFd file, bool onData, bool shared = false)
        : file_(std::move(file)), onData_(onData), shared_(shared) {}

    UniqueFd file_;  // the lock file; none where the file's own lock is the lock
    bool onData_ = false;
    bool shared_ = false;  // the lock file held for reading, the file's own lock too
};
