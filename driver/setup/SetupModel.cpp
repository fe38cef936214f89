#include "driver/setup/SetupModel.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cwctype>
#include <iterator>
#include <vector>

#include "driver/core/ConnectionText.h"
#include "driver/core/PlatformUtil.h"
#include "driver/core/TextEncoding.h"
#include "driver/setup/ConnectionTest.h"
#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/MessageFormat.h"
#include "platform/InstallerFacade.h"
#include "platform/NulList.h"

namespace {

constexpr std::string_view kForbiddenDsnCharacters = "!;*@()=[]\\{},?";
constexpr int kDefaultQueryLogTime = 5000;
// Room the installer gets for the names of the system DSNs.
constexpr int kDsnNamesSize = 8192;
// Wide characters read of one DSN value.
constexpr int kDsnValueChars = 4096;

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

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

    bool is(const SQLWCHAR* key, std::string_view expected) const {
        return equalsNoCase(read(key), expected);
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
    start_.description = source.read(L"Description");
    start_.adaptedDsn = source.read(L"DriverDSN");
    start_.readOnly = source.is(L"ReadOnly", "Yes");
    start_.autoDetect = !source.is(L"AutoDetectEncoding", "No");
    start_.wideApi = source.is(L"WideAPI", "Yes");
    start_.unicodeTypes = source.is(L"UnicodeTextTypes", "Yes");
    start_.encoding = source.is(L"MultiByteEncoding", "UTF-8") ? 1 : 0;
    if (source.registered()) {
        // Keys of older DSNs only ever switch a setting on.
        start_.wideApi = start_.wideApi || source.is(L"SetAppLocale", "Yes");
        start_.unicodeTypes = start_.unicodeTypes || source.is(L"ReturnUnicode", "Yes");
        if (source.is(L"SendSystemEncoding", "No") || source.is(L"ReceiveSystemEncoding", "No")) {
            start_.encoding = 1;
        }
    }
    start_.queryLogOn = source.is(L"QueryLog_On", "Yes");
    const std::string time = source.read(L"QueryLogTime");
    start_.queryLogTime = std::to_string(time.empty() ? kDefaultQueryLogTime : leadingNumber(time));
    start_.queryLogFile = source.read(L"QueryLogFile");
    if (start_.autoDetect && start_.wideApi) {
        start_.autoDetect = false;
    }
}

bool SetupModel::isDsnNameValid(std::string_view name) {
    return name.size() < kDsnNameLimit &&
           name.find_first_of(kForbiddenDsnCharacters) == std::string_view::npos;
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
            return {true, adapted, true, true};
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
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
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
    const auto line = [](std::string_view label, std::string_view value) {
        return formatMessage("%@ %@\r\n", {copyDefaultLocalizedString(label), value});
    };
    std::string text = formatMessage("%@ %s\r\n", {copyDefaultLocalizedString("Vorlan Tarvex"),
                                                   getBundleVersion(kDriverBundleIdentifier)}) +
                       "\r\n";
    text += line("Data Source Name:", current_.dsn);
    text += line("Description:", current_.description);
    text += line("Adapted DSN:", current_.adaptedDsn);
    text += line("Data Source is Read-Only:", yesNo(current_.readOnly));
    text += line("Auto-detect Language Settings:", yesNo(current_.autoDetect));
    if (!current_.autoDetect) {
        text += line("Application Uses \"Wide\" API:", yesNo(current_.wideApi));
        text += line("Treat Text Types as Unicode:", yesNo(current_.unicodeTypes));
        text += line("Multi-Byte Encoding:", current_.encoding == 1
                                                 ? copyDefaultLocalizedString("UTF-8")
                                                 : systemEncodingName());
    }
    text += line("Log Long Running Queries:", yesNo(current_.queryLogOn));
    if (current_.queryLogOn) {
        text += line("Query Log File:", current_.queryLogFile);
        text += line("Query Log Time (ms):", current_.queryLogTime);
    }
    return text;
}

std::optional<std::string> SetupModel::attributeList() {
    const Values& v = current_;
    const Values& s = start_;
    const int logTime = leadingNumber(v.queryLogTime);
    changed_ = changed_ || v.dsn != s.dsn || v.description != s.description ||
               v.adaptedDsn != s.adaptedDsn || v.readOnly != s.readOnly ||
               v.autoDetect != s.autoDetect || v.wideApi != s.wideApi ||
               v.unicodeTypes != s.unicodeTypes || v.encoding != s.encoding ||
               v.queryLogOn != s.queryLogOn || v.queryLogFile != s.queryLogFile ||
               logTime != leadingNumber(s.queryLogTime);

    const auto yes = [](bool on) { return on ? "Yes" : ""; };
    const bool manual = !v.autoDetect;
    const std::pair<const char*, std::string> items[] = {
        {"DSN", v.dsn},
        {"Description", v.description},
        {"DriverDSN", v.adaptedDsn},
        {"ReadOnly", yes(v.readOnly)},
        {"AutoDetectEncoding", manual && !v.wideApi ? "No" : ""},
        {"WideAPI", yes(manual && v.wideApi)},
        {"UnicodeTextTypes", yes(manual && v.unicodeTypes)},
        {"MultiByteEncoding", manual && v.encoding == 1 ? "UTF-8" : ""},
        {"QueryLog_On", yes(v.queryLogOn)},
        {"QueryLogTime", v.queryLogOn ? std::to_string(logTime) : ""},
        {"QueryLogFile", v.queryLogOn ? v.queryLogFile : ""},
    };
    std::string list;
    for (const auto& [key, value] : items) {
        list.append(key).append("=").append(value).push_back('\0');
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
