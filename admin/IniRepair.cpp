#include "admin/IniRepair.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "admin/IniAccess.h"
#include "platform/InstallerFacade.h"

namespace {

constexpr const char* kTail = " User DSN's may not work correctly with all applications.";

std::optional<std::string> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

bool move(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

IniRepair::IniRepair(std::filesystem::path legacy, std::filesystem::path target, Ui ui)
    : legacy_(std::move(legacy)), target_(std::move(target)), ui_(std::move(ui)) {}

std::filesystem::path IniRepair::sibling(const char* suffix) const {
    return target_.parent_path() /
           (target_.stem().string() + suffix + target_.extension().string());
}

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
    if (!move(legacy_, target_)) {
        return fail("Failed to move invisible " + legacy_.string() + " file.");
    }
    return Result::Moved;
}

std::optional<IniRepair::Entries> IniRepair::readTargetEntries() const {
    const IniAccess user(IniAccess::User);
    const auto sections = user.sections("odbc.ini");
    if (!sections) {
        return std::nullopt;
    }
    Entries entries;
    for (const std::string& section : *sections) {
        const auto keys = user.keys(section, "odbc.ini");
        if (!keys) {
            return std::nullopt;
        }
        for (const std::string& key : *keys) {
            const auto value = user.value(section, key, "odbc.ini");
            if (!value) {
                return std::nullopt;
            }
            entries.push_back({section, key, *value});
        }
    }
    return entries;
}

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

IniRepair::Result IniRepair::merge() const {
    const std::filesystem::path earlier = sibling("2");
    const std::filesystem::path readAside = sibling("3");
    const std::string mergeFailed = "Failed to merge invisible " + legacy_.string() + " file";
    const std::optional<std::string> earlierBytes = readBytes(target_);
    if (!earlierBytes || !move(target_, earlier)) {
        return fail("Failed to merge existing " + target_.filename().string() + " file.");
    }
    if (!move(legacy_, target_)) {
        move(earlier, target_);
        return fail("Failed to move invisible " + legacy_.string() + " file.");
    }
    const std::optional<Entries> entries = readTargetEntries();
    if (!entries || !move(target_, readAside)) {
        move(target_, legacy_);
        move(earlier, target_);
        return fail(mergeFailed + "(1).");
    }
    if (!move(earlier, target_)) {
        move(readAside, legacy_);
        return fail(mergeFailed + "(2).");
    }
    if (!writeEntries(*entries)) {
        // Put both files back as they were before the repair.
        writeBytes(target_, *earlierBytes);
        move(readAside, legacy_);
        return fail(mergeFailed + "(2).");
    }
    std::error_code ignored;
    std::filesystem::remove(readAside, ignored);
    return Result::Merged;
}
