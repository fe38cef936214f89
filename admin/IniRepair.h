#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Moves a per-user odbc.ini left at a legacy location into the driver
// manager's user file, merging it into an existing one: the legacy file is
// read directly and its entries go into the user's file through the
// locked writer in one replacement, the user's file never renamed or
// truncated. Every section and key of both survives, the legacy file's
// values winning. The legacy file goes away only after that succeeded; a
// failure leaves both files as they were.
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

    Result fail(const std::string& message) const;
    Result merge() const;
    std::optional<Entries> readLegacyEntries() const;
    bool writeEntries(const Entries& entries) const;

    std::filesystem::path legacy_;
    std::filesystem::path target_;
    Ui ui_;
};
