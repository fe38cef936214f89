#include "driver/setup/SetupModel.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cwctype>
#include <iterator>
#include <variant>
#include <vector>

#include "driver/adapter/DsnKey.h"
#include "platform/AsciiCase.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/TextEncoding.h"
#include "driver/setup/ConnectionTest.h"
#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/MessageFormat.h"
#include "platform/IniSyntax.h"
#include "platform/InstallerFacade.h"
#include "platform/NulList.h"

namespace {

// Room the installer gets for the names of the system DSNs.
constexpr int kDsnNamesSize = 8192;
// Wide characters read of one DSN value.
constexpr int kDsnValueChars = 4096;

// Reads the opening values either from a registered DSN or from the
// caller's attribute text.
class StartValueSource {
  public:
    StartValueSource(const std::string& dsn, const std::string& attributes)
        : attributes_(attributes) {
        if (!dsn.empty()) {
            wideDsn_.assign(dsn.size() + 1, 0);
            utf8ToWide(dsn, wideDsn_.data(),
                       static_cast<std::int64_t>(wideDsn_.size() * sizeof(SQLWCHAR)));
        }
    }

    bool registered() const { return !wideDsn_.empty(); }

    std::string read(const SQLWCHAR* key) const {
        if (!registered()) {
            return getAttributeValue(attributes_, key);
        }
        // The name is widened from UTF-8 and the value read wide, so that
        // a name beyond ASCII works whatever the host's locale.
        InstallerFacade& installer = InstallerFacade::instance();
        installer.setConfigMode(selectDsnConfigModeW(wideDsn_.data()));
        std::vector<SQLWCHAR> value(kDsnValueChars, 0);
        installer.getPrivateProfileStringW(wideDsn_.data(), key, L"", value.data(), kDsnValueChars,
                                           L"odbc.ini");
        value.back() = 0;
        return wideToUtf8(value.data(), SQL_NTS);
    }

  private:
    const std::string& attributes_;
    std::vector<SQLWCHAR> wideDsn_;
};

std::string yesNo(bool on) {
    return copyDefaultLocalizedString(on ? "Yes" : "No");
}

std::string systemEncodingName() {
    struct Name {
        StringEncoding encoding;
        const char* name;
    };
    static constexpr Name kNames[] = {
        {kEncodingMacRoman, "System (MacRoman)"},
        {kEncodingMacJapanese, "System (MacJapanese)"},
        {kEncodingMacChineseTrad, "System (MacChineseTrad)"},
        {kEncodingMacKorean, "System (MacKorean)"},
        {kEncodingMacArabic, "System (MacArabic)"},
        {kEncodingMacHebrew, "System (MacHebrew)"},
        {kEncodingMacGreek, "System (MacGreek)"},
        {kEncodingMacCyrillic, "System (MacCyrillic)"},
        {kEncodingMacChineseSimp, "System (MacChineseSimp)"},
        {kEncodingMacIcelandic, "System (MacIcelandic)"},
    };
    const StringEncoding encoding = getPreferredLanguageEncoding();
    for (const Name& entry : kNames) {
        if (entry.encoding == encoding) {
            return copyDefaultLocalizedString(entry.name);
        }
    }
    return copyDefaultLocalizedString("System Encoding");
}

using Values = SetupModel::Values;
using Field = std::variant<std::string Values::*, bool Values::*, int Values::*>;

// How a setting's value is spelled in the DSN.
enum class Form : std::uint8_t {
    Text,    // as it stands
    Number,  // the leading number of the field's text; empty keeps the default
    Match,   // `expected` (ignoring case) means `matched`; written empty otherwise
};

struct Spelling {
    Form form;
    const char* expected = nullptr;
    int matched = 0;
    int otherwise = 0;
};

constexpr Spelling kText{Form::Text};
constexpr Spelling kNumber{Form::Number};
constexpr Spelling kYes{Form::Match, "Yes", 1, 0};

constexpr Spelling match(const char* expected, int matched, int otherwise) {
    return {Form::Match, expected, matched, otherwise};
}

// Where the opening value comes from.
enum class Source : std::uint8_t {
    Caller,         // the name the wizard was opened with
    Any,            // the registered DSN or the attribute text
    RegisteredDsn,  // a key of older DSNs: it only ever switches a setting on
};

// When the setting is written with its value (else empty) or shown.
enum class When : std::uint8_t { Never, Always, ManualLanguage, NarrowApi, QueryLog };

// One DSN setting of the wizard: what fills it, how it is written to the
// attribute list and how the summary shows it.
struct Setting {
    const DsnKey* key;
    Field field;
    Spelling spelling;
    Source source;
    When written;
    When shown;
    const char* label;
    int line;  // of the summary, which lists the query log's file first
};

namespace keys = dsn_keys;
using enum Form;
using enum Source;
using enum When;

// In the attribute list's order; the older keys last, read after the
// settings they switch on.
constexpr Setting kSettings[] = {
    // key, field, spelling, source, written, shown, summary label, summary line
    {&keys::Dsn, &Values::dsn, kText, Caller, Always, Always, "Data Source Name:", 1},
    {&keys::Description, &Values::description, kText, Any, Always, Always, "Description:", 2},
    {&keys::DriverDsn, &Values::adaptedDsn, kText, Any, Always, Always, "Adapted DSN:", 3},
    {&keys::ReadOnly, &Values::readOnly, kYes, Any, Always, Always, "Data Source is Read-Only:", 4},
    // "No" only when the wide API is off too: a reader takes WideAPI=Yes as
    // auto-detect off.
    {&keys::AutoDetectEncoding, &Values::autoDetect, match("No", 0, 1), Any, NarrowApi, Always,
     "Auto-detect Language Settings:", 5},
    {&keys::WideApi, &Values::wideApi, kYes, Any, ManualLanguage, ManualLanguage,
     "Application Uses \"Wide\" API:", 6},
    {&keys::UnicodeTextTypes, &Values::unicodeTypes, kYes, Any, ManualLanguage, ManualLanguage,
     "Treat Text Types as Unicode:", 7},
    {&keys::MultiByteEncoding, &Values::encoding, match("UTF-8", 1, 0), Any, ManualLanguage,
     ManualLanguage, "Multi-Byte Encoding:", 8},
    {&keys::QueryLogOn, &Values::queryLogOn, kYes, Any, Always, Always,
     "Log Long Running Queries:", 9},
    {&keys::QueryLogTime, &Values::queryLogTime, kNumber, Any, QueryLog, QueryLog,
     "Query Log Time (ms):", 11},
    {&keys::QueryLogFile, &Values::queryLogFile, kText, Any, QueryLog, QueryLog,
     "Query Log File:", 10},
    {&keys::SetAppLocale, &Values::wideApi, kYes, RegisteredDsn, Never, Never, nullptr, 0},
    {&keys::ReturnUnicode, &Values::unicodeTypes, kYes, RegisteredDsn, Never, Never, nullptr, 0},
    {&keys::SendSystemEncoding, &Values::encoding, match("No", 1, 0), RegisteredDsn, Never, Never,
     nullptr, 0},
    {&keys::ReceiveSystemEncoding, &Values::encoding, match("No", 1, 0), RegisteredDsn, Never,
     Never, nullptr, 0},
};

// Texts are read as text or number, flags and the menu index by match; a
// shown setting has a label and a line of its own.
constexpr bool wellFormed() {
    bool lineTaken[std::size(kSettings) + 1] = {};
    for (const Setting& s : kSettings) {
        const bool text = std::holds_alternative<std::string Values::*>(s.field);
        if (text != (s.spelling.form != Match) ||
            (s.spelling.form == Match) != (s.spelling.expected != nullptr)) {
            return false;
        }
        if ((s.shown != Never) != (s.label != nullptr) || s.line < 0 ||
            s.line > static_cast<int>(std::size(kSettings)) || (s.line != 0 && lineTaken[s.line])) {
            return false;
        }
        lineTaken[s.line] = s.line != 0;
    }
    return true;
}
static_assert(wellFormed());

bool holds(When when, const Values& v) {
    switch (when) {
        case Never:
            return false;
        case Always:
            return true;
        case ManualLanguage:
            return !v.autoDetect;
        case NarrowApi:
            return !v.wideApi;
        case QueryLog:
            return v.queryLogOn;
    }
    return false;
}

const std::string& textOf(const Setting& s, const Values& v) {
    return v.*std::get<std::string Values::*>(s.field);
}

// A flag or the menu index as a number.
int numberOf(const Setting& s, const Values& v) {
    if (const auto* flag = std::get_if<bool Values::*>(&s.field)) {
        return v.**flag ? 1 : 0;
    }
    return v.*std::get<int Values::*>(s.field);
}

void setNumber(const Setting& s, Values& v, int number) {
    if (const auto* flag = std::get_if<bool Values::*>(&s.field)) {
        v.** flag = number != 0;
    } else {
        v.*std::get<int Values::*>(s.field) = number;
    }
}

// The setting's value in the attribute list.
std::string written(const Setting& s, const Values& v) {
    if (!holds(s.written, v)) {
        return {};
    }
    switch (s.spelling.form) {
        case Text:
            return textOf(s, v);
        case Number:
            return std::to_string(SetupModel::leadingNumber(textOf(s, v)));
        case Match:
            return numberOf(s, v) == s.spelling.matched ? s.spelling.expected : "";
    }
    return {};
}

// Whether two sets of values differ in this setting; a number counts, not
// its spelling.
bool differs(const Setting& s, const Values& a, const Values& b) {
    switch (s.spelling.form) {
        case Text:
            return textOf(s, a) != textOf(s, b);
        case Number:
            return SetupModel::leadingNumber(textOf(s, a)) !=
                   SetupModel::leadingNumber(textOf(s, b));
        case Match:
            return numberOf(s, a) != numberOf(s, b);
    }
    return false;
}

// The summary's value: texts as they stand, flags Yes or No, the encoding
// as its menu item.
std::string shownValue(const Setting& s, const Values& v) {
    if (std::holds_alternative<std::string Values::*>(s.field)) {
        return textOf(s, v);
    }
    if (std::holds_alternative<bool Values::*>(s.field)) {
        return yesNo(numberOf(s, v) != 0);
    }
    return SetupModel::encodingsMenu().at(numberOf(s, v) == 1 ? 1 : 0);
}

}  // namespace

SetupModel::SetupModel(std::optional<std::string> dsn, const std::string& attributes) {
    if (dsn) {
        start_.dsn = *dsn;
        configuring_ = !dsn->empty();
    }
    readStartValues(attributes);
    current_ = start_;
    updateEncodingOptions();
    refreshAdaptedDsnList();
}

void SetupModel::readStartValues(const std::string& attributes) {
    const StartValueSource source(configuring_ ? start_.dsn : std::string(), attributes);
    for (const Setting& s : kSettings) {
        if (s.source == Caller || (s.source == RegisteredDsn && !source.registered())) {
            continue;
        }
        const std::string value = source.read(s.key->wide());
        if (s.spelling.form == Match) {
            const bool matched = equalsIgnoringAsciiCase(value, s.spelling.expected);
            if (matched || s.source != RegisteredDsn) {
                setNumber(s, start_, matched ? s.spelling.matched : s.spelling.otherwise);
            }
        } else if (s.spelling.form == Text) {
            start_.*std::get<std::string Values::*>(s.field) = value;
        } else if (!value.empty()) {
            start_.*std::get<std::string Values::*>(s.field) = std::to_string(leadingNumber(value));
        }
    }
    if (start_.autoDetect && start_.wideApi) {
        start_.autoDetect = false;
    }
}

// Empty while the name is still to be typed; otherwise the rule every
// writer of the ini files applies.
bool SetupModel::isDsnNameValid(std::string_view name) {
    return name.size() < kDsnNameLimit &&
           (name.empty() || IniSyntax::dsnNameProblem(name) == IniSyntax::Problem::None);
}

SetupModel::Buttons SetupModel::buttons(Panel panel) const {
    const bool named = !current_.dsn.empty();
    // Asked for on the database panel, never before it: with no system DSN
    // to offer, the data source panel would otherwise never let the user on.
    const bool adapted = named && !current_.adaptedDsn.empty();
    switch (panel) {
        case Introduction:
            return {false, true, false, false};
        case DataSource:
            return {true, named, named, false};
        case Database:
            return {true, adapted, adapted, false};
        case Conclusion:
            // Done saves: only a name that may be written.
            return {true, adapted && isDsnNameValid(current_.dsn), true, true};
    }
    return {};
}

bool SetupModel::mayLeave(Panel current) const {
    return current != DataSource || isDsnNameValid(current_.dsn);
}

SetupModel::EncodingOptions SetupModel::updateEncodingOptions() {
    if (current_.autoDetect) {
        current_.wideApi = false;
        current_.unicodeTypes = false;
        return {false, false, false};
    }
    if (!current_.wideApi) {
        current_.unicodeTypes = false;
        return {true, false, true};
    }
    return {true, true, !current_.unicodeTypes};
}

void SetupModel::restoreLanguageSettings() {
    current_.autoDetect = start_.autoDetect;
    current_.wideApi = start_.wideApi;
    current_.unicodeTypes = start_.unicodeTypes;
    current_.encoding = start_.encoding;
    updateEncodingOptions();
}

std::vector<std::string> SetupModel::readSystemDsnNames() {
    std::vector<char> buffer(kDsnNamesSize, 0);
    InstallerFacade& installer = InstallerFacade::instance();
    installer.setConfigMode(ODBC_SYSTEM_DSN);
    installer.getPrivateProfileString("ODBC Data Sources", nullptr, "", buffer.data(),
                                      kDsnNamesSize, "odbc.ini");
    std::vector<std::string> names;
    // Names end at a NUL; the last one may end at the buffer's end.
    for (const std::string_view name : NulList::items({buffer.data(), buffer.size()})) {
        names.emplace_back(name);
    }
    return names;
}

void SetupModel::sortNames(std::vector<std::string>& names) {
    const auto upper = [](const std::string& name) {
        std::string out(name);
        for (char& c : out) {
            c = upperAscii(c);
        }
        return out;
    };
    std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return upper(a) < upper(b);
    });
}

void SetupModel::refreshAdaptedDsnList() {
    dsnList_ = readSystemDsnNames();
    sortNames(dsnList_);
    if (current_.adaptedDsn.empty() && !dsnList_.empty()) {
        current_.adaptedDsn = dsnList_.front();
    }
}

std::vector<std::string> SetupModel::encodingsMenu() {
    return {systemEncodingName(), copyDefaultLocalizedString("UTF-8")};
}

std::string SetupModel::summary() const {
    std::vector<const Setting*> shown;
    for (const Setting& s : kSettings) {
        if (holds(s.shown, current_)) {
            shown.push_back(&s);
        }
    }
    std::ranges::sort(shown, {}, &Setting::line);
    std::string text = formatMessage("%@ %s\r\n", {copyDefaultLocalizedString("Vorlan Tarvex"),
                                                   getBundleVersion(kDriverBundleIdentifier)}) +
                       "\r\n";
    for (const Setting* s : shown) {
        text += formatMessage("%@ %@\r\n",
                              {copyDefaultLocalizedString(s->label), shownValue(*s, current_)});
    }
    return text;
}

std::optional<std::string> SetupModel::attributeList() {
    std::string list;
    for (const Setting& s : kSettings) {
        if (s.written == Never) {
            continue;
        }
        changed_ = changed_ || differs(s, current_, start_);
        list.append(s.key->narrow()).append("=").append(written(s, current_)).push_back('\0');
    }
    list.push_back('\0');
    if (list.size() > kAttributeListSize) {
        return std::nullopt;
    }
    return list;
}

std::optional<std::string> SetupModel::testConnectionText(const std::string& userId,
                                                          const std::string& password) {
    const std::optional<std::string> list = attributeList();
    if (!list) {
        return std::nullopt;
    }
    return ConnectionTest::connectionText(*list, userId, password);
}

int SetupModel::leadingNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value =
            std::min<long long>(value * 10 + (text[at] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) {
        return static_cast<int>(std::max<long long>(-value, INT_MIN));
    }
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}
