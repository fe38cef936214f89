// The repeater's connect options on the DB2 stand-in: the encoding decision
// with its host-application table and process locale, the keys read from
// the DSN or the connection string, declined prompts and the credential
// trace. Locales are generated into a private LOCPATH; the process locale
// is put back after each test.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "driver/core/PlatformUtil.h"
#include "platform/HostInfo.h"
#include "tests/adapter/RepeaterTestSupport.h"

using namespace repeater_test;
namespace fs = std::filesystem;

namespace {

// en_US.UTF-8 and en_US.ISO8859-1, made once for the program and removed
// at its end.
const fs::path& localeDirectory() {
    static const fs::path* const directory = [] {
        char pattern[] = "/tmp/repeater-locales-XXXXXX";
        auto* made = new fs::path(::mkdtemp(pattern));
        for (const auto& [charmap, name] :
             {std::pair{"UTF-8", "en_US.UTF-8"}, std::pair{"ISO-8859-1", "en_US.ISO8859-1"}}) {
            const std::string command = std::string("localedef -i en_US -f ") + charmap + " " +
                                        (*made / name).string() + " >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0) {
                ADD_FAILURE() << "cannot generate " << name << " (localedef and the locales "
                              << "package's /usr/share/i18n sources are needed)";
            }
        }
        std::atexit([] {
            std::error_code error;
            fs::remove_all(localeDirectory(), error);
        });
        return made;
    }();
    return *directory;
}

// "K=V;K=V" as DSN keys.
OdbcSandbox::Keys keysOf(const std::string& text) {
    OdbcSandbox::Keys keys;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = std::min(text.find(';', start), text.size());
        const auto equals = text.find('=', start);
        keys.emplace_back(text.substr(start, equals - start),
                          text.substr(equals + 1, end - equals - 1));
        start = end + 1;
    }
    return keys;
}

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedLocale_ = std::setlocale(LC_CTYPE, nullptr);
        ::setenv("LOCPATH", localeDirectory().c_str(), 1);
    }
    void TearDown() override {
        std::setlocale(LC_CTYPE, savedLocale_.c_str());
        ::unsetenv("LOCPATH");
        host_info::setExecutableOverride(std::nullopt);
        resetHostApplicationCache();
    }
    // The host application, through the platform's override: its name, and
    // its version from a bundle around the executable.
    static void runInside(const OdbcSandbox& sandbox, const std::string& name,
                          const std::string& version) {
        fs::path executable = sandbox.root() / "apps" / name;
        if (!version.empty()) {
            const fs::path contents = sandbox.root() / "apps" / (name + ".app") / "Contents";
            fs::create_directories(contents / "MacOS");
            OdbcSandbox::writeFile(contents / "Info.plist",
                                   "<plist version=\"1.0\"><dict><key>CFBundleName</key><string>" +
                                       name + "</string><key>CFBundleVersion</key><string>" +
                                       version + "</string></dict></plist>\n");
            executable = contents / "MacOS" / name;
        }
        host_info::setExecutableOverride(executable);
        resetHostApplicationCache();
    }

  private:
    std::string savedLocale_;
};

struct EncodingCase {
    const char* name;
    const char* app;
    const char* version;
    bool driverConnect;     // else SQLConnect
    const char* dsnKeys;    // keys of the DSN, "K=V;K=V"
    const char* textItems;  // further items of the connection string
    const char* locale;
    const char* decision;  // the "// wideAPI: " trace line after "// wideAPI: "
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr const char* kUtf8 = "en_US.UTF-8";
constexpr const char* kLatin1 = "en_US.ISO8859-1";

const EncodingCase kEncodingCases[] = {
    {"TableauConnect", "Tableau", "", false, "", "", kUtf8,
     "1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"TableauDriverConnect", "Tableau", "", true, "", "", kUtf8,
     "1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"MicrosoftQueryConnect", "Microsoft Query", "", false, "", "", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: "},
    {"MicrosoftQueryDriverConnect", "Microsoft Query", "", true, "", "", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: "},
    {"HttpdConnect", "httpd", "", false, "", "", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding: UTF-8 receiveEncoding: UTF-8"},
    {"HttpdDriverConnect", "httpd", "", true, "", "", kUtf8,
     "0 unicodeTextTypes: 0 sendEncoding: UTF-8 receiveEncoding: UTF-8"},
    {"FileMakerPro8", "FileMaker Pro", "8.5", false, "", "", kUtf8,
     "1 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
    {"FileMakerPro12", "FileMaker Pro", "12.0.3", true, "", "", kUtf8,
     "1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"FileMakerPro6MatchesNoRow", "FileMaker Pro", "6.0", false, "", "", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
    {"AutoDetectNoSkipsTheTable", "Tableau", "", false, "AutoDetectEncoding=No", "", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
    {"AutoDetectYesBeatsWideApi", "Microsoft Query", "", false,
     "AutoDetectEncoding=yes;WideAPI=Yes", "", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: "},
    {"UnicodeTextTypesAloneIsNarrow", "Tableau", "", false, "UnicodeTextTypes=YES", "", kLatin1,
     "0 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"SendSystemEncodingNoInText", "Tableau", "", true, "", "SendSystemEncoding=no;", kUtf8,
     "0 unicodeTextTypes: 0 sendEncoding: UTF-8 receiveEncoding: "},
    {"DsnMultiByteReplacesItsUtf8", "Tableau", "", true, "MultiByteEncoding=Latin-1",
     "SendSystemEncoding=no;", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding: Latin-1 receiveEncoding: Latin-1"},
    {"ReturnUnicodeAndSetAppLocale", "Other", "", true, "", "ReturnUnicode=Yes;SetAppLocale=yes;",
     kUtf8, "1 unicodeTextTypes: 1 sendEncoding:  receiveEncoding: "},
    {"YesIsTheWholeWord", "Other", "", true, "", "WideAPI=Y;", kLatin1,
     "0 unicodeTextTypes: 0 sendEncoding:  receiveEncoding: "},
};

class EncodingDecisionTest : public OptionsTest,
                             public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(EncodingDecisionTest, ChoosesModeEncodingsAndLocale) {
    const EncodingCase& c = GetParam();
    SevrinDsns dsns("", keysOf(c.dsnKeys));
    runInside(dsns.sandbox, c.app, c.version);
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    const SQLRETURN rc =
        c.driverConnect
            ? driverConnect(connection, std::string("DSN=Tarvex;UID=u;PWD=p;") + c.textItems)
            : connection.connectStrings("Tarvex", "u", "p");
    ASSERT_EQ(rc, SQL_SUCCESS) << describe(records(connection));
    const std::string decision = std::string("// wideAPI: ") + c.decision;
    EXPECT_TRUE(environment.traced(decision)) << environment.trace();
    EXPECT_EQ(connection.isWideApi(), decision.find("wideAPI: 1") != std::string::npos);
    EXPECT_EQ(connection.isUnicodeTextTypes(),
              decision.find("unicodeTextTypes: 1") != std::string::npos);
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), c.locale);
}

INSTANTIATE_TEST_SUITE_P(Repeater, EncodingDecisionTest, ::testing::ValuesIn(kEncodingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsTest, EncodingNamesAndDatabaseEncoding) {
    SevrinDsns dsns;
    runInside(dsns.sandbox, "Microsoft Query", "");
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    ASSERT_EQ(driverConnect(connection,
                            "DSN=Tarvex;ReceiveSystemEncoding=No;"
                            "MultiByteEncoding=latin-1;DatabaseEncoding=latin1;"),
              SQL_SUCCESS);
    EXPECT_EQ(connection.sendEncoding(), kEncodingIsoLatin1);
    EXPECT_EQ(connection.receiveEncoding(), kEncodingUtf8);
    EXPECT_EQ(connection.databaseEncoding(), kEncodingIsoLatin1);
    for (const char* other : {"ISO-8859-1", "UTF8", ""}) {
        SevrinDsns utf8("", {{"DatabaseEncoding", other}});
        ODBCRepeaterConnection fromDsn(&environment);
        ASSERT_EQ(fromDsn.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        EXPECT_EQ(fromDsn.databaseEncoding(), kEncodingUtf8) << other;
    }
}

// A locale that cannot be set shows as "(null)" and the connect goes on.
TEST_F(OptionsTest, MissingLocaleIsTracedAsNull) {
    ::setenv("LOCPATH", "/nonexistent", 1);
    SevrinDsns dsns("", {{"WideAPI", "Yes"}});
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    EXPECT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
    EXPECT_TRUE(environment.traced("// Connection locale: (null)")) << environment.trace();
}

TEST_F(OptionsTest, QueryLogNeedsYesAndAFile) {
    struct Case {
        const char* keys;
        bool on;
        std::int64_t threshold;
    };
    for (const Case& c : {Case{"QueryLog_On=yes;QueryLogTime=250;QueryLogFile=/q", true, 250},
                          Case{"QueryLog_On=YES;QueryLogTime=soon;QueryLogFile=/q", true, 0},
                          Case{"QueryLog_On=Yes;QueryLogTime=250", false, 0},
                          Case{"QueryLog_On=1;QueryLogFile=/q", false, 0}}) {
        SevrinDsns dsns("", keysOf(c.keys));
        RecordingEnvironment environment;
        ODBCRepeaterConnection connection(&environment);
        ASSERT_EQ(connection.connectStrings("Tarvex", "u", "p"), SQL_SUCCESS);
        EXPECT_EQ(connection.isQueryLogOn(), c.on) << c.keys;
        EXPECT_EQ(connection.queryLogTime(), c.threshold) << c.keys;
    }
}

// Values the connection string leaves open come from the DSN it names; its
// own values win, and without a DSN item the DSN is never read.
TEST_F(OptionsTest, DsnFillsWhatTheTextLeavesOpen) {
    SevrinDsns dsns("", keysOf("IncludeViews=Yes;ReadOnly=yes;DATABASE=salesdb;WideAPI=Yes;"
                               "UseKeychain=Yes;UserID=fromdsn"));
    RecordingEnvironment environment;
    ODBCRepeaterConnection filled(&environment);
    ASSERT_EQ(driverConnect(filled, "DSN=Tarvex;UID=u;PWD=p;"), SQL_SUCCESS);
    EXPECT_TRUE(filled.includeViews());
    EXPECT_EQ(filled.getAttrAccessMode(), static_cast<SQLUINTEGER>(SQL_MODE_READ_ONLY));
    EXPECT_EQ(filled.keychainUserId(), "fromdsn");

    ODBCRepeaterConnection own(&environment);
    ASSERT_EQ(driverConnect(own,
                            "DSN=Tarvex;UID=u;IncludeViews=No;ReadOnly=no;WideAPI=no;"
                            "UseKeychain=YES;UserID=fromtext;"),
              SQL_SUCCESS);
    EXPECT_FALSE(own.includeViews());
    EXPECT_EQ(own.getAttrAccessMode(), static_cast<SQLUINTEGER>(SQL_MODE_READ_WRITE));
    EXPECT_EQ(own.keychainUserId(), "fromtext");

    ODBCRepeaterConnection noDsn(&environment);
    ASSERT_EQ(driverConnect(noDsn, "DriverDSN=Adapted;UID=someone;"), SQL_SUCCESS);
    EXPECT_FALSE(noDsn.includeViews() || noDsn.isWideApi());
    EXPECT_EQ(noDsn.infoUserName(), "someone");

    // A failed open keeps the database name that the DSN gave.
    ODBCRepeaterConnection failed(&environment);
    EXPECT_EQ(driverConnect(failed, "DSN=Tarvex;DriverDSN=Missing;"), SQL_ERROR);
    EXPECT_EQ(failed.infoDatabaseName(), "salesdb");
}

TEST_F(OptionsTest, PromptsAreDeclinedAndTheInputTextCopied) {
    struct Case {
        SQLUSMALLINT completion;
        std::intptr_t window;
        const char* text;
        bool declined;
    };
    const Case cases[] = {
        {SQL_DRIVER_PROMPT, 0x1234, "DSN=Tarvex;", true},
        {SQL_DRIVER_PROMPT, 0, "DSN=Tarvex;", false},
        {SQL_DRIVER_PROMPT, -1, "DSN=Tarvex;", false},
        {SQL_DRIVER_COMPLETE, 0x1234, "DSN=Bare;", true},
        {SQL_DRIVER_COMPLETE, 0x1234, "DSN=Tarvex;", false},
        {SQL_DRIVER_COMPLETE_REQUIRED, 0x1234, "UID=u;", true},
        {SQL_DRIVER_NOPROMPT, 0x1234, "DSN=Bare;", false},
    };
    for (const Case& c : cases) {
        SevrinDsns dsns;
        dsns.sandbox.addDsn("Bare", "morvanex.so", {});
        RecordingEnvironment environment;
        ODBCRepeaterConnection connection(&environment);
        char out[64] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = connection.driverConnect(
            reinterpret_cast<SQLHWND>(c.window), sqlText(c.text), SQL_NTS,
            reinterpret_cast<SQLCHAR*>(out), sizeof out, &length, c.completion);
        EXPECT_EQ(rc == SQL_NO_DATA, c.declined) << c.completion << " " << c.text;
        EXPECT_EQ(dsns.calls("SQLDriverConnect").empty(),
                  c.declined || std::string(c.text) != "DSN=Tarvex;");
        EXPECT_STREQ(out, c.text);
        EXPECT_EQ(length, static_cast<SQLSMALLINT>(std::strlen(c.text)));
    }
}

// The connection text copied back never passes the buffer, and the caller
// learns that it was cut.
TEST_F(OptionsTest, ShortOutputBufferIsReported) {
    SevrinDsns dsns;
    RecordingEnvironment environment;
    ODBCRepeaterConnection connection(&environment);
    const std::string text = "DSN=Tarvex;UID=u;PWD=p;";
    char out[14];
    std::memset(out, '#', sizeof out);
    SQLSMALLINT length = 0;
    EXPECT_EQ(
        connection.driverConnect(nullptr, sqlText(text), SQL_NTS, reinterpret_cast<SQLCHAR*>(out),
                                 10, &length, SQL_DRIVER_NOPROMPT),
        SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(std::string(out), text.substr(0, 9));
    EXPECT_EQ(out[10], '#');
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(text.size()));
    EXPECT_EQ(records(connection).at(0).state, "01004");
}

// Each byte plus the text's length in hexadecimal, negative sums as 32-bit
// unsigned numbers; nothing while the trace is off.
TEST_F(OptionsTest, CredentialTraceLines) {
    RecordingEnvironment environment(true);
    ODBCRepeaterConnection connection(&environment);
    driverConnect(connection, "PWD=ab;");
    EXPECT_TRUE(environment.traced("// salt: 6364")) << environment.trace();
    EXPECT_TRUE(environment.traced("// salt: 05705E04B044068069042"));
    ODBCRepeaterConnection accented(&environment);
    driverConnect(accented, "PWD=\xC3\xA9;");
    EXPECT_TRUE(environment.traced("// salt: FFFFFFC5FFFFFFAB"));

    RecordingEnvironment quiet;
    ODBCRepeaterConnection untraced(&quiet);
    driverConnect(untraced, "PWD=ab;");
    EXPECT_EQ(quiet.trace(), "");
}

}  // namespace
