#include "admin/IniRepair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <unordered_set>

#include "admin/IniAccess.h"
#include "platform/AsciiCase.h"
#include "platform/IniFile.h"
#include "platform/InstallerFacade.h"
#include "platform/UniqueFd.h"

namespace {

constexpr const char* kTail = " User DSN's may not work correctly with all applications.";

// The first of each name counts, as for the driver manager's reader.
bool firstOfName(std::unordered_set<std::string>& seen, const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        c = lowerAscii(c);
    }
    return seen.insert(std::move(folded)).second;
}

}  // namespace

IniRepair::IniRepair(std::filesystem::path legacy, std::filesystem::path target, Ui ui)
    : legacy_(std::move(legacy)), target_(std::move(target)), ui_(std::move(ui)) {}

IniRepair::Result IniRepair::fail(const std::string& message) const {
    ui_.warn(kFailureTitle, message + kTail);
    return Result::Failed;
}

IniRepair::Result IniRepair::run() const {
    struct stat info {};
    std::error_code error;
    if (lstat(legacy_.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        std::filesystem::equivalent(legacy_, target_, error)) {
        return Result::NothingToDo;
    }
    if (!ui_.askFix(kAskTitle, kAskMessage)) {
        return Result::Cancelled;
    }
    const std::filesystem::path folder = target_.parent_path();
    if (!std::filesystem::is_directory(folder, error)) {
        if (mkdir(folder.c_str(), 0775) != 0) {
            return fail("Failed to create " + folder.string() + " folder.");
        }
    } else if (std::filesystem::exists(target_, error)) {
        return merge();
    }
    // Never over a file a writer made meanwhile: that one is merged into.
    if (renameat2(AT_FDCWD, legacy_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
        return errno == EEXIST ? merge()
                               : fail("Failed to move invisible " + legacy_.string() + " file.");
    }
    return Result::Moved;
}

// The legacy file read directly: its name is one the driver manager takes
// for the user's file, so its reader cannot be pointed at it.
std::optional<IniRepair::Entries> IniRepair::readLegacyEntries() const {
    const UniqueFd fd(open(legacy_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    IniFile legacy;
    std::string why;
    if (!fd.valid() || !IniFile::read(fd.get(), legacy_, legacy, why)) {
        return std::nullopt;
    }
    Entries entries;
    std::unordered_set<std::string> sections;
    for (const std::string& section : legacy.sections()) {
        if (!firstOfName(sections, section)) {
            continue;
        }
        std::unordered_set<std::string> keys;
        for (auto& [key, value] : legacy.entries(section)) {
            if (!key.empty() && firstOfName(keys, key)) {
                entries.push_back({section, std::move(key), std::move(value)});
            }
        }
    }
    return entries;
}

// One replacement of the user's file, under its lock; nothing when any
// entry cannot be written.
bool IniRepair::writeEntries(const Entries& entries) const {
    const IniAccess user(IniAccess::User);
    InstallerFacade::Transaction action;
    for (const auto& [section, key, value] : entries) {
        if (!user.write(section, key, value, "odbc.ini")) {
            return false;
        }
    }
    return action.commit();
}

// The legacy file's entries win over the user's own; it goes only once
// they are in the user's file.
IniRepair::Result IniRepair::merge() const {
    const std::string mergeFailed = "Failed to merge invisible " + legacy_.string() + " file";
    const std::optional<Entries> entries = readLegacyEntries();
    if (!entries) {
        return fail(mergeFailed + "(1).");
    }
    if (!writeEntries(*entries)) {
        return fail(mergeFailed + "(2).");
    }
    if (unlink(legacy_.c_str()) != 0 && errno != ENOENT) {
        return fail("Failed to remove invisible " + legacy_.string() + " file.");
    }
    return Result::Merged;
}
