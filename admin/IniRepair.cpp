#include "admin/IniRepair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <unordered_set>

#include "admin/IniAccess.h"
#include "platform/AsciiCase.h"
#include "platform/IniFile.h"
#include "platform/InstallerFacade.h"
#include "platform/LockedIniFile.h"

namespace {

constexpr const char* kTail = " User DSN's may not work correctly with all applications.";
// As long as any writer waits for an ini file.
constexpr std::chrono::seconds kLockWait{30};

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

IniRepair::Result IniRepair::fail(const std::string& message, const std::string& why) const {
    ui_.warn(kFailureTitle, IniAccess::withReason(message + kTail, why));
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
    const std::string moveFailed = "Failed to move invisible " + legacy_.string() + " file.";
    const std::filesystem::path folder = target_.parent_path();
    const bool merging = std::filesystem::exists(target_, error);
    // Locked from its reading until it is gone: a writer of the legacy
    // file waits, and then finds it gone.
    std::string why;
    bool missing = false;
    const std::unique_ptr<LockedIniFile> legacy =
        LockedIniFile::open(legacy_, false, descriptor_io::deadlineAfter(kLockWait), why, missing);
    if (!legacy) {
        return fail(merging ? mergeFailed(1) : moveFailed, why);
    }
    if (merging) {
        return merge(*legacy);
    }
    if (!std::filesystem::is_directory(folder, error) && mkdir(folder.c_str(), 0775) != 0) {
        return fail("Failed to create " + folder.string() + " folder.");
    }
    // Never over a file a writer made meanwhile: that one is merged into.
    if (renameat2(AT_FDCWD, legacy_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
        return errno == EEXIST ? merge(*legacy) : fail(moveFailed);
    }
    return Result::Moved;
}

std::string IniRepair::mergeFailed(int step) const {
    return "Failed to merge invisible " + legacy_.string() + " file(" + std::to_string(step) + ").";
}

// The first section and key of each name, as the driver manager reads them.
IniRepair::Entries IniRepair::legacyEntries(const IniFile& legacy) {
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
bool IniRepair::writeEntries(const Entries& entries, std::string& why) const {
    const IniAccess user(IniAccess::User);
    InstallerFacade::Transaction action;
    for (const auto& [section, key, value] : entries) {
        if (!user.write(section, key, value, "odbc.ini")) {
            why = action.failure();
            return false;
        }
    }
    const bool committed = action.commit();
    why = action.failure();
    return committed;
}

// The legacy file's entries win over the user's own; it goes only once
// they are in the user's file, and only as it was read.
IniRepair::Result IniRepair::merge(LockedIniFile& legacy) const {
    std::string why;
    if (!writeEntries(legacyEntries(legacy.document()), why)) {
        return fail(mergeFailed(2), why);
    }
    if (!legacy.remove(why)) {
        return fail("Failed to remove invisible " + legacy_.string() + " file.", why);
    }
    return Result::Merged;
}
