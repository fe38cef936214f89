#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Everything the DSN wizard decides, apart from its widgets: the values it
// opens with, the enabling rules, the DSN name rule, the adapted-DSN list,
// the summary and the attribute list it hands back. The view binds its
// controls to `values()` and asks the model what to enable and show.
class SetupModel {
  public:
    // What the controls show. The query log time is the field's text.
    struct Values {
        std::string dsn;
        std::string description;
        std::string adaptedDsn;
        bool readOnly = false;
        bool autoDetect = true;
        bool wideApi = false;
        bool unicodeTypes = false;
        int encoding = 0;  // 0 the system encoding, 1 UTF-8
        bool queryLogOn = false;
        std::string queryLogTime = "5000";
        std::string queryLogFile;
    };

    // The wizard's four panels, in order.
    enum Panel { Introduction = 1, DataSource = 2, Database = 3, Conclusion = 4 };

    struct Buttons {
        bool previous = false;
        bool continueOrDone = false;
        bool finishOrTest = false;
        // Panel 4 names the buttons "Done" and "Test".
        bool lastPanel = false;
    };

    struct EncodingOptions {
        bool wideApiEnabled = false;
        bool unicodeTypesEnabled = false;
        // The encoding label is greyed and the menu disabled when false.
        bool encodingEnabled = false;
    };

    // The attribute list holds at most this many bytes, its final empty
    // item included.
    static constexpr std::size_t kAttributeListSize = 4096;
    // DSN names are shorter than this many UTF-8 bytes.
    static constexpr std::size_t kDsnNameLimit = 32;

    // Configuring the registered DSN `dsn` (read from odbc.ini), or adding
    // one (no name) with the settings of the attribute text.
    SetupModel(std::optional<std::string> dsn, const std::string& attributes);

    const Values& startValues() const { return start_; }
    Values& values() { return current_; }
    const Values& values() const { return current_; }

    // The panel the wizard opens on: the first, or the last when it
    // reopens with what the user typed.
    Panel firstPanel() const { return firstPanel_; }
    void reopenAt(Panel panel) { firstPanel_ = panel; }

    static bool isDsnNameValid(std::string_view name);
    // Each panel asks only for what it shows or what follows it: Continue
    // and Finish leave the data source panel with a name, and the database
    // panel (and Done) with an adapted DSN as well; Done also needs the
    // name to be valid. The adapted DSN is free text, so a user DSN's name
    // may be typed there.
    Buttons buttons(Panel panel) const;
    // Leaving the data source panel (any way) needs a valid name.
    bool mayLeave(Panel current) const;

    // Clears the boxes the rules disable and says what is enabled.
    EncodingOptions updateEncodingOptions();
    bool queryLogOptionsEnabled() const { return current_.queryLogOn; }
    // Cancel on the language sheet: the opening values come back.
    void restoreLanguageSettings();

    // The system DSNs, sorted ignoring case; the adapted DSN field shows
    // the first when it is empty.
    const std::vector<std::string>& adaptedDsnList() const { return dsnList_; }
    void refreshAdaptedDsnList();
    static std::vector<std::string> readSystemDsnNames();
    static void sortNames(std::vector<std::string>& names);

    // The two items of the encodings menu.
    static std::vector<std::string> encodingsMenu();
    std::string summary() const;

    // The eleven key=value items, each ended by NUL, the list by an empty
    // item; nothing when they do not fit kAttributeListSize. Building it
    // records whether anything differs from the opening values.
    std::optional<std::string> attributeList();
    bool changed() const { return changed_; }
    // The connection test's text from the values on screen, taken on the
    // GUI thread before the worker starts; nothing when the list is too
    // long. Counts as a build of the list.
    std::optional<std::string> testConnectionText(const std::string& userId,
                                                  const std::string& password);

    // The leading decimal number of a text (0 when none), saturated to the
    // range of int.
    static int leadingNumber(std::string_view text);

  private:
    void readStartValues(const std::string& attributes);

    Values start_;
    Values current_;
    bool configuring_ = false;
    bool changed_ = false;
    Panel firstPanel_ = Introduction;
    std::vector<std::string> dsnList_;
};
