#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/DescriptorIo.h"
#include "platform/IniFile.h"
#include "platform/IniFileLock.h"
#include "platform/UniqueFd.h"

// One ini file opened for a read-modify-write: locked (IniFileLock)
// before it is read and until its new text is in place or the edit is
// dropped.
//
// The new text replaces the file by a complete copy in its folder, named
// only once written and synced, with the file's owner, group, mode, ACL
// (none if it had none) and user attributes. Where a copy cannot stand
// in for the file (a second link, attributes this writer cannot set,
// inode flags the copy would not have, an owner or group it cannot give,
// a folder it cannot write, a mount point, a name too long for a copy's)
// the file is rewritten in place under the lock, after room for the new
// text was found; readers may then see a part of it. Right before the
// file changes, the lock must still be the file's lock, the path must
// still lead to the folder locked, and the file must be the one this
// writer read, as it read it; else nothing is written. A
// missing file is made like a copy, only where none has appeared
// meanwhile. Copies a killed writer left are removed under the lock:
// only files of this user that carry the copies' mark.
class LockedIniFile {
  public:
    using Clock = descriptor_io::Clock;

    // The file `path` names (through a link as IniFile::resolve allows),
    // locked and read; nothing, with the reason in `why`, when it cannot be
    // written, is missing and may not be made, or the lock did not come
    // before the deadline; `missing` tells a file that does not exist.
    static std::unique_ptr<LockedIniFile> open(const std::filesystem::path& path, bool mayCreate,
                                               Clock::time_point deadline, std::string& why,
                                               bool& missing);
    ~LockedIniFile();
    LockedIniFile(const LockedIniFile&) = delete;
    LockedIniFile& operator=(const LockedIniFile&) = delete;

    IniFile& document() { return document_; }
    const IniFile& document() const { return document_; }
    // The file this writer writes, as its messages name it.
    const std::filesystem::path& path() const { return path_; }

    // Writes the document's text aside, complete and synced, where nobody
    // reads it yet; nothing visible changes.
    bool prepare(std::string& why);
    // Puts the prepared text in place, then syncs the folder.
    bool install(std::string& why);
    // Removes the file, unedited, where its name still leads to the file
    // read and it still holds the text read; false, with the reason, when
    // it changed meanwhile. The lock stays until this object goes.
    bool remove(std::string& why);

  private:
    enum class Method { Create, Replace, InPlace };

    LockedIniFile() = default;
    int openData() const;
    bool lockAndOpen(bool mayCreate, Clock::time_point deadline, std::string& why, bool& missing);
    Method method() const;
    bool lockFile(Clock::time_point deadline, std::string& why, bool& locked);
    bool lockToCreate(Clock::time_point deadline, std::string& why, bool& missing);
    bool stillInPlace() const;
    bool stillReached() const;
    bool stillAsRead(std::string& why);
    bool openCopy();
    void dropCopy();
    bool carryOver() const;
    bool linkCopy(std::string& why);
    bool reserve(std::string& why) const;
    bool writeInPlace(std::string& why);
    void removeStaleCopies() const;
    std::string failure(const char* what) const;

    std::filesystem::path given_;  // the path as the caller named it
    std::filesystem::path path_;
    std::string name_;
    UniqueFd folder_;
    std::optional<IniFileLock> lock_;
    Clock::time_point deadline_;  // for any lock still to be taken
    UniqueFd data_;
    struct stat origin_ {};  // the file as this writer read it
    struct stat seen_ {};    // and as this writer last left it
    Method method_ = Method::Replace;
    IniFile document_;
    std::string text_;
    UniqueFd copy_;
    std::string copyName_;
};
