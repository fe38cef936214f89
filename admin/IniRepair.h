#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class IniFile;
class LockedIniFile;

// Moves a per-user odbc.ini left at a legacy location into the driver
// manager's user file, merging it into an existing one: the legacy file is
// locked as every writer locks it and read, and its entries go into the
// user's file through the locked writer in one replacement, the user's
// file never renamed or truncated. Every section and key of both survives,
// the legacy file's values winning. The legacy file stays locked until it
// is gone, which is only after that succeeded: a failure leaves both files
// as they were. A legacy file that changed since it was read (by a program
// that does not lock it) stays, its entries as read merged.
class IniRepair {
  public:
    enum class Result { NothingToDo, Cancelled, Moved, Merged, Failed };

    struct Ui {
        // Informational question; true for "Fix".
        std::function<bool(const std::string& title, const std::string& message)> askFix;
        std::function<void(const std::string& title, const std::string& message)> warn;
    };

    static constexpr const char* kAskTitle = "Invisible ~/.odbc.ini file detected";
    static constexpr const char* kAskMessage =
        "An ODBC file in a non-standard location can cause problems with some applications.";
    static constexpr const char* kFailureTitle = "Unable to fix incompatible ODBC file";

    // `target` must be the file the driver manager reads as the user's
    // odbc.ini: the merge writes it as that.
    IniRepair(std::filesystem::path legacy, std::filesystem::path target, Ui ui);

    Result run() const;

  private:
    using Entries = std::vector<std::array<std::string, 3>>;  // section, key, value

    Result fail(const std::string& message, const std::string& why = {}) const;
    std::string mergeFailed(int step) const;
    Result merge(LockedIniFile& legacy) const;
    static Entries legacyEntries(const IniFile& legacy);
    bool writeEntries(const Entries& entries, std::string& why) const;

    std::filesystem::path legacy_;
    std::filesystem::path target_;
    Ui ui_;
};
