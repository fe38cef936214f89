// The repeater's connect options on the DB2 stand-in: the encoding
// decision with its host-application table and process locale, the keys
// read from the DSN or the connection string, declined prompts and the
// credential trace. Locales are generated into a private LOCPATH, and the
// process locale is put back after each test.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "driver/core/PlatformUtil.h"
#include "platform/HostInfo.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;
namespace fs = std::filesystem;

namespace {

// en_US.UTF-8 and en_US.ISO8859-1, made once for the whole program.
class Locales {
  public:
    static const fs::path& directory() {
        static const Locales locales;
        return locales.directory_;
    }

  private:
    Locales() {
        char pattern[] = "/tmp/repeater-locales-XXXXXX";
        directory_ = ::mkdtemp(pattern);
        generate("en_US", "UTF-8", "en_US.UTF-8");
        generate("en_US", "ISO-8859-1", "en_US.ISO8859-1");
    }
    ~Locales() {
        std::error_code error;
        fs::remove_all(directory_, error);
    }
    void generate(const char* input, const char* charmap, const char* name) const {
        const std::string command = std::string("localedef -i ") + input + " -f " + charmap + " " +
                                    (directory_ / name).string() + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 || !fs::exists(directory_ / name)) {
            ADD_FAILURE() << "cannot generate " << name << " (needs localedef and the "
                          << "/usr/share/i18n sources of the locales package)";
        }
    }

    fs::path directory_;
};

// Runs the connection as if inside a host application of this name and
// version: a bundle around the executable when there is a version.
class HostApplication {
  public:
    HostApplication(const OdbcSandbox& sandbox, const std::string& name,
                    const std::string& version) {
        fs::path executable = sandbox.root() / "apps" / name;
        if (!version.empty()) {
            const fs::path bundle = sandbox.root() / "apps" / (name + ".app");
            fs::create_directories(bundle / "Contents" / "MacOS");
            OdbcSandbox::writeFile(bundle / "Contents" / "Info.plist",
                                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<plist version=\"1.0\"><dict>"
                                   "<key>CFBundleName</key><string>" +
                                       name +
                                       "</string>"
                                       "<key>CFBundleVersion</key><string>" +
                                       version +
                                       "</string>"
                                       "</dict></plist>\n");
            executable = bundle / "Contents" / "MacOS" / name;
        }
        host_info::setExecutableOverride(executable);
        resetHostApplicationCache();
    }
    ~HostApplication() {
        host_info::setExecutableOverride(std::nullopt);
        resetHostApplicationCache();
    }
};

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedLocale_ = std::setlocale(LC_CTYPE, nullptr);
        const char* locpath = std::getenv("LOCPATH");
        savedLocpath_ = locpath != nullptr ? std::optional<std::string>(locpath) : std::nullopt;
        ::setenv("LOCPATH", Locales::directory().c_str(), 1);
    }
    void TearDown() override {
        std::setlocale(LC_CTYPE, savedLocale_.c_str());
        if (savedLocpath_) {
            ::setenv("LOCPATH", savedLocpath_->c_str(), 1);
        } else {
            ::unsetenv("LOCPATH");
        }
    }

    static std::string currentLocale() { return std::setlocale(LC_CTYPE, nullptr); }

  private:
    std::string savedLocale_;
    std::optional<std::string> savedLocpath_;
};

enum class Path { Connect, DriverConnect };

struct EncodingCase {
    const char* name;
    const char* app;
    const char* version;
    Path path;
    OdbcSandbox::Keys dsnKeys;  // keys of the DSN "Tarvex"
    const char* textItems;      // further connection-string items (driver connect)
    bool wide;
    bool unicode;
    const char* locale;
    const char* decision;  // the "// wideAPI: " trace line
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

const EncodingCase kEncodingCases[] = {
    {"TableauConnect",
     "Tableau",
     "",
     Path::Connect,
     {},
     "",
     true,
     true,
     "en_US.UTF-8",
     "// wideAPI: 1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"TableauDriverConnect",
     "Tableau",
     "",
     Path::DriverConnect,
     {},
     "",
     true,
     true,
     "en_US.UTF-8",
     "// wideAPI: 1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"MicrosoftQueryConnect",
     "Microsoft Query",
     "",
     Path::Connect,
     {},
     "",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: "},
    {"MicrosoftQueryDriverConnect",
     "Microsoft Query",
     "",
     Path::DriverConnect,
     {},
     "",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: "},
    {"HttpdConnect",
     "httpd",
     "",
     Path::Connect,
     {},
     "",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: UTF-8 receiveEncoding: UTF-8"},
    {"HttpdDriverConnect",
     "httpd",
     "",
     Path::DriverConnect,
     {},
     "",
     false,
     false,
     "en_US.UTF-8",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: UTF-8 receiveEncoding: UTF-8"},
    {"FileMakerPro8",
     "FileMaker Pro",
     "8.5",
     Path::Connect,
     {},
     "",
     true,
     false,
     "en_US.UTF-8",
     "// wideAPI: 1 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
    {"FileMakerPro12",
     "FileMaker Pro",
     "12.0.3",
     Path::DriverConnect,
     {},
     "",
     true,
     true,
     "en_US.UTF-8",
     "// wideAPI: 1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"FileMakerPro6MatchesNoRow",
     "FileMaker Pro",
     "6.0",
     Path::Connect,
     {},
     "",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
    {"ServerNameInOtherCase",
     "FMSERVERD",
     "",
     Path::Connect,
     {},
     "",
     true,
     true,
     "en_US.UTF-8",
     "// wideAPI: 1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"AutoDetectNoSkipsTheTable",
     "Tableau",
     "",
     Path::Connect,
     {{"AutoDetectEncoding", "No"}},
     "",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
    {"AutoDetectYesOverridesWideApi",
     "Microsoft Query",
     "",
     Path::Connect,
     {{"AutoDetectEncoding", "yes"}, {"WideAPI", "Yes"}},
     "",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: "},
    {"WideApiFromTheDsn",
     "Other",
     "",
     Path::Connect,
     {{"WideAPI", "YES"}},
     "",
     true,
     false,
     "en_US.UTF-8",
     "// wideAPI: 1 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
    {"UnicodeTextTypesAloneIsNarrow",
     "Tableau",
     "",
     Path::Connect,
     {{"UnicodeTextTypes", "Yes"}},
     "",
     false,
     true,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"MultiByteUtf8Connect",
     "Tableau",
     "",
     Path::Connect,
     {{"MultiByteEncoding", "utf-8"}},
     "",
     false,
     false,
     "en_US.UTF-8",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: utf-8 receiveEncoding: utf-8"},
    {"SendSystemEncodingNoInText",
     "Tableau",
     "",
     Path::DriverConnect,
     {},
     "SendSystemEncoding=no;",
     false,
     false,
     "en_US.UTF-8",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: UTF-8 receiveEncoding: "},
    {"DsnMultiByteReplacesSendSystemEncoding",
     "Tableau",
     "",
     Path::DriverConnect,
     {{"MultiByteEncoding", "Latin-1"}},
     "SendSystemEncoding=no;",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: Latin-1"},
    {"ReceiveSystemEncodingNoConnect",
     "Tableau",
     "",
     Path::Connect,
     {{"ReceiveSystemEncoding", "NO"}},
     "",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: UTF-8"},
    {"ReturnUnicodeAndSetAppLocale",
     "Other",
     "",
     Path::DriverConnect,
     {},
     "ReturnUnicode=Yes;SetAppLocale=yes;",
     true,
     true,
     "en_US.UTF-8",
     "// wideAPI: 1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"YesMeansTheWholeWord",
     "Other",
     "",
     Path::DriverConnect,
     {},
     "WideAPI=Y;",
     false,
     false,
     "en_US.ISO8859-1",
     "// wideAPI: 0 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
};

class EncodingDecisionTest : public OptionsTest,
                             public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(EncodingDecisionTest, ChoosesModeEncodingsAndLocale) {
    const EncodingCase& c = GetParam();
    SevrinDsns dsns("", c.dsnKeys);
    HostApplication host(dsns.sandbox, c.app, c.version);
    RecordingEnvironment environment(true);
    ASSERT_EQ(environment.hostAppName(), c.app);
    ODBCRepeaterConnection connection(&environment);
    const SQLRETURN rc =
        c.path == Path::Connect
            ? connection.connectStrings("Tarvex", "u", "p")
            : driverConnect(connection, std::string("DSN=Tarvex;UID=u;PWD=p;") + c.textItems);
    ASSERT_EQ(rc, SQL_SUCCESS) << describe(records(connection));
    EXPECT_EQ(connection.isWideApi(), c.wide);
    EXPECT_EQ(connection.isUnicodeTextTypes(), c.unicode);
    EXPECT_EQ(currentLocale(), c.locale);
    EXPECT_TRUE(environment.traced(c.decision)) << environment.trace();
    EXPECT_TRUE(environment.traced(std::string("// Connection locale: ") + c.locale));
}

INSTANTIATE_TEST_SUITE_P(Repeater, EncodingDecisionTest, ::testing::ValuesIn(kEncodingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsTest, NamedEncodingsReachTheConnection) {
    SevrinDsns dsns;
    HostApplication host(dsns.sandbox, "Microsoft Query", "");
    RecordingEnvironment environment;
    ODBCRepeaterConnection fromTable(&environment);
    ASSERT_EQ(driverConnect(fromTable, "DSN=Tarvex;"), SQL_SUCCESS);
    EXPECT_EQ(fromTable.sendEncoding(), kEncodingIsoLatin1);

    // A named encoding leaves the table out.
    ODBCRepeaterConnection named(&environment);
    ASSERT_EQ(
        driverConnect(named, "DSN=Tarvex;ReceiveSystemEncoding=No;MultiByteEncoding=latin-1;"),
        SQL_SUCCESS);
    EXPECT_EQ(named.sendEncoding(), kEncodingIsoLatin1);
    EXPECT_EQ(named.receiveEncoding(), kEncodingUtf8);
}

// A locale that cannot be set shows as "(null)" and the connect goes on.
TEST_F(OptionsTest, MissingLocaleIsTracedAsNull) {
    const fs::path empty = fs::temp_directory_path() / ("no-locales-" + std::to_string(getpid()));
    fs::create_directories(empty);
    ::setenv("LOCPATH", empty.c_str(), 1);
    SevrinDsns dsns("", {{"WideAPI", "Yes"}});
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_TRUE(environment.traced("// Connection locale: (null)")) << environment.trace();
    fs::remove_all(empty);
}

struct DatabaseEncodingCase {
    const char* value;
    StringEncoding expected;
};

TEST_F(OptionsTest, DatabaseEncodingFromEitherPath) {
    const DatabaseEncodingCase cases[] = {
        {"latin1", kEncodingIsoLatin1},
        {"LATIN1", kEncodingIsoLatin1},
        {"UTF8", kEncodingUtf8},
        {"ISO-8859-1", kEncodingUtf8},
        {"", kEncodingUtf8},
    };
    for (const DatabaseEncodingCase& c : cases) {
        SCOPED_TRACE(c.value);
        {
            SevrinDsns dsns("", {{"DatabaseEncoding", c.value}});
            RecordingEnvironment environment;
            ODBCRepeaterConnection connection(&environment);
            ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
            EXPECT_EQ(connection.databaseEncoding(), c.expected);
        }
        {
            SevrinDsns dsns;
            RecordingEnvironment environment;
            ODBCRepeaterConnection connection(&environment);
            ASSERT_EQ(driverConnect(connection,
                                    std::string("DSN=Tarvex;DatabaseEncoding=") + c.value + ";"),
                      SQL_SUCCESS);
            EXPECT_EQ(connection.databaseEncoding(), c.expected);
        }
    }
}

struct QueryLogCase {
    const char* name;
    OdbcSandbox::Keys keys;
    bool on;
    std::int64_t threshold;
};

TEST_F(OptionsTest, QueryLogNeedsYesAndAFile) {
    const QueryLogCase cases[] = {
        {"on",
         {{"QueryLog_On", "yes"}, {"QueryLogTime", "250"}, {"QueryLogFile", "/tmp/q.log"}},
         true,
         250},
        {"not a number",
         {{"QueryLog_On", "YES"}, {"QueryLogTime", "soon"}, {"QueryLogFile", "/q"}},
         true,
         0},
        {"no file", {{"QueryLog_On", "Yes"}, {"QueryLogTime", "250"}}, false, 0},
        {"off", {{"QueryLog_On", "1"}, {"QueryLogFile", "/tmp/q.log"}}, false, 0},
    };
    for (const QueryLogCase& c : cases) {
        SCOPED_TRACE(c.name);
        SevrinDsns dsns("", c.keys);
        RecordingEnvironment environment;
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        EXPECT_EQ(connection.isQueryLogOn(), c.on);
        EXPECT_EQ(connection.queryLogTime(), c.threshold);
    }
}

// Values missing from the connection string come from the DSN it names;
// the string's own values win.
TEST_F(OptionsTest, DsnFillsWhatTheTextLeavesOpen) {
    SevrinDsns dsns("", {{"IncludeViews", "Yes"},
                         {"ReadOnly", "yes"},
                         {"DATABASE", "salesdb"},
                         {"UseKeychain", "Yes"},
                         {"UserID", "fromdsn"}});
    RecordingEnvironment environment;
    {
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(driverConnect(connection, "DSN=Tarvex;UID=u;PWD=p;"), SQL_SUCCESS);
        EXPECT_TRUE(connection.includeViews());
        EXPECT_EQ(connection.getAttrAccessMode(), static_cast<SQLUINTEGER>(SQL_MODE_READ_ONLY));
        EXPECT_EQ(connection.keychainUserId(), "fromdsn");
        EXPECT_EQ(connection.adaptedDsn(), "Adapted");
    }
    {
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(driverConnect(connection,
                                "DSN=Tarvex;UID=u;PWD=p;IncludeViews=No;ReadOnly=no;"
                                "UseKeychain=YES;UserID=fromtext;"),
                  SQL_SUCCESS);
        EXPECT_FALSE(connection.includeViews());
        EXPECT_EQ(connection.getAttrAccessMode(), static_cast<SQLUINTEGER>(SQL_MODE_READ_WRITE));
        EXPECT_EQ(connection.keychainUserId(), "fromtext");
    }
    {
        // No open: the database name stays the one the DSN gave.
        ODBCRepeaterConnection connection(&environment);
        EXPECT_EQ(driverConnect(connection, "DSN=Tarvex;DriverDSN=Missing;"), SQL_ERROR);
        EXPECT_EQ(connection.infoDatabaseName(), "salesdb");
        EXPECT_EQ(connection.adaptedDsn(), "Missing");
    }
}

// Without a DSN item the options come from the string alone.
TEST_F(OptionsTest, TextWithoutDsnNeverReadsTheDsn) {
    SevrinDsns dsns("", {{"IncludeViews", "Yes"}, {"ReadOnly", "Yes"}, {"WideAPI", "Yes"}});
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(driverConnect(connection, "DriverDSN=Adapted;UID=someone;PWD=p;"), SQL_SUCCESS);
    EXPECT_FALSE(connection.includeViews());
    EXPECT_EQ(connection.getAttrAccessMode(), static_cast<SQLUINTEGER>(SQL_MODE_READ_WRITE));
    EXPECT_FALSE(connection.isWideApi());
    EXPECT_EQ(connection.infoUserName(), "someone");
    EXPECT_TRUE(connection.isConnected());
}

struct CompletionCase {
    const char* name;
    SQLUSMALLINT completion;
    std::intptr_t window;
    bool withDriverDsn;
    bool declined;
};

TEST_F(OptionsTest, PromptsAreDeclinedAndTheInputTextCopied) {
    const CompletionCase cases[] = {
        {"prompt with a window", SQL_DRIVER_PROMPT, 0x1234, true, true},
        {"prompt without a window", SQL_DRIVER_PROMPT, 0, true, false},
        {"prompt with window -1", SQL_DRIVER_PROMPT, -1, true, false},
        {"complete, window, no adapted DSN", SQL_DRIVER_COMPLETE, 0x1234, false, true},
        {"complete, window, adapted DSN", SQL_DRIVER_COMPLETE, 0x1234, true, false},
        {"complete required, window, no adapted DSN", SQL_DRIVER_COMPLETE_REQUIRED, 0x1234, false,
         true},
        {"no prompt, window, no adapted DSN", SQL_DRIVER_NOPROMPT, 0x1234, false, false},
    };
    for (const CompletionCase& c : cases) {
        SCOPED_TRACE(c.name);
        SevrinDsns dsns;
        OdbcSandbox::Keys none;
        // A DSN without DriverDSN for the cases that must lack it.
        dsns.sandbox.addDsn("Bare", "morvanex.so", none);
        const std::string text = c.withDriverDsn ? "DSN=Tarvex;UID=u;PWD=p;" : "DSN=Bare;UID=u;";
        RecordingEnvironment environment;
        ODBCRepeaterConnection connection(&environment);
        char out[128] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = connection.driverConnect(
            reinterpret_cast<SQLHWND>(c.window), sqlText(text), SQL_NTS,
            reinterpret_cast<SQLCHAR*>(out), sizeof out, &length, c.completion);
        if (c.declined) {
            EXPECT_EQ(rc, SQL_NO_DATA);
            EXPECT_TRUE(records(connection).empty());
            EXPECT_TRUE(dsns.calls("SQLDriverConnect").empty());
        } else {
            EXPECT_NE(rc, SQL_NO_DATA);
            EXPECT_FALSE(dsns.calls("SQLDriverConnect").empty() && c.withDriverDsn);
        }
        EXPECT_EQ(std::string(out), text);
        EXPECT_EQ(length, static_cast<SQLSMALLINT>(text.size()));
    }
}

// The copy of the connection text never passes the output buffer, and the
// caller is told it was cut.
TEST_F(OptionsTest, ShortOutputBufferIsReported) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    const std::string text = "DSN=Tarvex;UID=u;PWD=p;";
    char out[10 + 4];
    std::memset(out, '#', sizeof out);
    SQLSMALLINT length = 0;
    EXPECT_EQ(
        connection.driverConnect(nullptr, sqlText(text), SQL_NTS, reinterpret_cast<SQLCHAR*>(out),
                                 10, &length, SQL_DRIVER_NOPROMPT),
        SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(std::string(out), text.substr(0, 9));
    EXPECT_EQ(out[10], '#');
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(text.size()));
    const auto list = records(connection);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].state, "01004");
}

// Each byte plus the text's length, in hexadecimal; negative sums as 32-bit
// unsigned numbers.
TEST_F(OptionsTest, CredentialTraceLines) {
    SevrinDsns dsns;
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(driverConnect(connection, "PWD=ab;"), SQL_ERROR);  // no adapted DSN
    // 'a' + 2, 'b' + 2.
    EXPECT_TRUE(environment.traced("// salt: 6364")) << environment.trace();
    // "PWD=ab;": 7 bytes.
    EXPECT_TRUE(environment.traced("// salt: 05705E04B044068069042"));

    environment.clearTrace();
    ODBCRepeaterConnection accented(&environment);
    driverConnect(accented, "PWD=\xC3\xA9;");
    // 0xC3 and 0xA9 as signed bytes, plus 2.
    EXPECT_TRUE(environment.traced("// salt: FFFFFFC5FFFFFFAB")) << environment.trace();

    RecordingEnvironment quiet;
    ODBCRepeaterConnection untraced(&quiet);
    driverConnect(untraced, "PWD=ab;");
    EXPECT_TRUE(quiet.trace().empty());
}

}  // namespace
