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

// One ini file opened for a read-modify-write: locked (IniFileLock) before
// it is read and until its new text is in place or the edit is dropped.
//
// The new text replaces the file by a complete copy in its folder, linked
// in only once written and synced, with the file's owner, group and mode.
// Where a copy cannot keep everything about the file (a second link,
// extended attributes or an ACL, an owner or group this writer cannot
// give) or cannot be made in its folder, the file is rewritten in place
// under the lock. A missing file is made like a copy, only where none has
// appeared meanwhile. Copies left by a killed writer are removed under the
// lock.
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

    // Writes the document's text aside, complete and synced, where nobody
    // reads it yet; nothing visible changes.
    bool prepare(std::string& why);
    // Puts the prepared text in place, then syncs the folder.
    bool install(std::string& why);

  private:
    enum class Method { Create, Replace, InPlace };

    LockedIniFile() = default;
    bool lockAndOpen(bool mayCreate, Clock::time_point deadline, std::string& why, bool& missing);
    Method method() const;
    bool linkCopy(std::string& why);
    void removeStaleCopies() const;
    std::string failure(const char* what) const;

    std::filesystem::path path_;
    std::string name_;
    UniqueFd folder_;
    std::optional<IniFileLock> lock_;
    UniqueFd data_;
    struct stat origin_ {};
    Method method_ = Method::Replace;
    IniFile document_;
    std::string text_;
    UniqueFd copy_;
    std::string copyName_;
};
