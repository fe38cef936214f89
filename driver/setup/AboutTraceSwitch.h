#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class SystemDriverPreferences;

// The about window's logic: the trace line it shows and the hidden switch
// on its logo that turns the driver's call trace on and off. Settings live
// in the driver's preferences (TraceFile, TraceLevel): a user's own trace in
// the user's own preferences file, which only that user's processes read;
// the system-wide one, which root's programs follow too, below /var/log, for
// whoever may change the system's settings. The window keeps only the click
// count.
class AboutTraceSwitch {
  public:
    // Clicks on the logo that arm the switch.
    static constexpr unsigned kClicksToSwitch = 5;

    // Modifier bits as MorvanexUiModifier.
    struct Click {
        std::uint32_t modifiers = 0;
    };
    struct Outcome {
        bool switched = false;
        // Set when the hidden combination was held: the sheet to show.
        std::optional<std::string> sheetTitle;
        std::string sheetMessage;
    };
    struct TraceLine {
        bool visible = false;
        std::string text;
    };

    // The trace line: "(LEVEL) file", or the file alone; hidden when no
    // trace file is set.
    static TraceLine traceLine();

    Outcome clickLogo(std::uint32_t modifiers);
    unsigned clickCount() const { return clicks_; }

    // Where a trace switched on with these modifiers goes, and whether it
    // is the system-wide one (Shift held, or no HOME).
    static std::filesystem::path traceFileFor(std::uint32_t modifiers);
    static bool isSystemWide(std::uint32_t modifiers);

    // Opens a trace file for appending: never through a symbolic link,
    // created 0600, refused when it is not a regular file of this user.
    // -1 when refused.
    static int openTraceFile(const std::filesystem::path& path);

  private:
    static std::string switchOn(std::uint32_t modifiers);
    static void saveSystemWide(SystemDriverPreferences& preferences, const char* state,
                               Outcome& outcome);

    unsigned clicks_ = 0;
};
