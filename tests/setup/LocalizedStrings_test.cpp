#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/setup/LocalizedStrings.h"
#include "platform/PrivilegedRequestContract.h"
#include "driver/setup/MessageFormat.h"
#include "driver/setup/StringsTable.h"
#include "platform/PreferredLanguages.h"
#include "platform/SystemLog.h"
#include "tests/setup/TestBundle.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBuiltBundle = fs::path(MORVANEX_BINARY_DIR) / "bundles" / "morvanex.bundle";
const std::vector<std::string> kLanguageFolders = {"English", "de", "es", "fr",
                                                   "it",      "ja", "nl", "sv"};

class Languages {
  public:
    explicit Languages(std::vector<std::string> list) { setPreferredLanguagesOverride(list); }
    ~Languages() { setPreferredLanguagesOverride(std::nullopt); }
};

// The driver bundle as built, found by identifier.
class BuiltBundle : public ::testing::Test {
  protected:
    ScopedEnv bundlePath_{"MORVANEX_BUNDLE_PATH", kBuiltBundle.parent_path().string()};
};

TEST(DialogLanguage, FirstKnownPreferenceWins) {
    struct Case {
        std::vector<std::string> preferences;
        int language;
    };
    const Case cases[] = {
        {{"pt-BR", "fr-FR", "de"}, 3},
        {{"EN-gb"}, 0},
        {{"ja"}, 5},
        {{"Dutch"}, 6},
        {{"sw"}, 7},
        {{"German"}, 1},
        {{"sp"}, 2},
        {{"d", "x", "it-CH"}, 4},
        {{"en", "de"}, 0},
        {{"pt", "zh-Hans"}, 0},
        {{}, 0},
    };
    for (const Case& c : cases) {
        Languages languages(c.preferences);
        EXPECT_EQ(getDialogLanguage(), c.language) << ::testing::PrintToString(c.preferences);
    }
}

TEST(DialogLanguage, ReadFromTheLocaleEnvironmentOnEveryCall) {
    ScopedEnv lcAll("LC_ALL", std::nullopt);
    ScopedEnv lcMessages("LC_MESSAGES", std::nullopt);
    ScopedEnv lang("LANG", "C.UTF-8");
    {
        ScopedEnv language("LANGUAGE", "pt_BR:sv_SE.UTF-8");
        EXPECT_EQ(getDialogLanguage(), 7);
    }
    ScopedEnv language("LANGUAGE", std::nullopt);
    EXPECT_EQ(getDialogLanguage(), 0);
}

TEST(DialogLanguage, TableNamesOutsideOneToSevenAreEnglish) {
    const std::pair<int, const char*> cases[] = {
        {-1, "strings_en"}, {0, "strings_en"}, {1, "strings_de"},    {2, "strings_es"},
        {3, "strings_fr"},  {4, "strings_it"}, {5, "strings_ja"},    {6, "strings_nl"},
        {7, "strings_sv"},  {8, "strings_en"}, {1000, "strings_en"},
    };
    for (const auto& [language, name] : cases) {
        EXPECT_EQ(stringsTableName(language), name) << language;
    }
}

TEST(StringsTable, ParsesTheTextForm) {
    const auto table = StringsTable::parse(
        "\xEF\xBB\xBF/* header */\n"
        "\"Yes\" = \"Ja\"; // trailing\n"
        "\"say \\\"%s\\\"\" = \"sag\\t\\\"%s\\\"\\n\";\n"
        "\"caf\\U00e9\" = \"\\Ud83d\\Ude00\";\n"
        "bare_word.1 = other/word;\n"
        "\"alone\";\n");
    ASSERT_TRUE(table);
    const std::pair<const char*, const char*> expected[] = {
        {"Yes", "Ja"},
        {"say \"%s\"", "sag\t\"%s\"\n"},
        {"caf\xC3\xA9", "\xF0\x9F\x98\x80"},
        {"bare_word.1", "other/word"},
        {"alone", "alone"},
    };
    EXPECT_EQ(table->size(), std::size(expected));
    for (const auto& [key, value] : expected) {
        const std::string* found = table->find(key);
        ASSERT_NE(found, nullptr) << key;
        EXPECT_EQ(*found, value) << key;
    }
}

TEST(StringsTable, RefusesBrokenText) {
    const char* broken[] = {
        "\"a\" = \"b\"", "\"a\" = \"b;", "\"a\" = ;",          "/* open",
        "\"a\" \"b\";",  "= \"b\";",     "\"a\" = \"\\U12\";",
    };
    for (const char* text : broken) {
        EXPECT_FALSE(StringsTable::parse(text)) << text;
    }
}

TEST(MessageFormat, FillsOnlyStringPlaceholdersFromTheArguments) {
    struct Case {
        const char* format;
        std::initializer_list<std::string_view> args;
        const char* expected;
    };
    const Case cases[] = {
        {"%s is already a data source name.", {"Sales"}, "Sales is already a data source name."},
        {"DSN %@ ...", {"pg"}, "DSN pg ..."},
        {"%s and %s", {"a"}, "a and "},
        {"100%% of %s", {"%s%d"}, "100% of %s%d"},
        {"%d %n %5.2f stay", {"x"}, "%d %n %5.2f stay"},
        {"ends with %", {}, "ends with %"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatMessage(c.format, c.args), c.expected) << c.format;
    }
    EXPECT_EQ(messagePlaceholders("%s, %%, %1$s %@ %-5d%"),
              (std::vector<std::string>{"%s", "%1$s", "%@", "%-5d", "%"}));
}

TEST(LocalizedStrings, TranslationWithOtherPlaceholdersFallsBackToTheKey) {
    OdbcSandbox sandbox;
    const fs::path bundle = writeTestBundle(sandbox.root() / "t.bundle", {});
    OdbcSandbox::writeFile(bundle / "Contents/Resources/strings_de.strings",
                           "\"%s is here\" = \"%s ist da\";\n"
                           "\"%s lost\" = \"verloren\";\n"
                           "\"%s changed\" = \"%n geändert\";\n"
                           "\"none\" = \"%s zu viel\";\n");
    const auto opened = Bundle::containing(bundle / "Contents/Info.plist");
    ASSERT_TRUE(opened);
    const std::pair<const char*, const char*> cases[] = {
        {"%s is here", "%s ist da"},  {"%s lost", "%s lost"},
        {"%s changed", "%s changed"}, {"none", "none"},
        {"missing %s", "missing %s"},
    };
    for (const auto& [key, text] : cases) {
        EXPECT_EQ(copyLocalizedStringFromBundle(*opened, key, 1), text) << key;
    }
    // A language without a table.
    EXPECT_EQ(copyLocalizedStringFromBundle(*opened, "%s is here", 3), "%s is here");
}

// Every shipped table holds the English keys, each translated with the
// key's own placeholders.
TEST_F(BuiltBundle, ShippedTablesCoverEveryKeyWithItsPlaceholders) {
    const fs::path resources = kBuiltBundle / "Contents/Resources";
    const auto english = StringsTable::load(resources / "strings_en.strings");
    const auto englishDefault = StringsTable::load(resources / "English.lproj/Localizable.strings");
    ASSERT_TRUE(english && englishDefault);
    std::vector<std::pair<fs::path, const StringsTable*>> tables;
    std::vector<StringsTable> loaded;
    loaded.reserve(2 * kLanguageFolders.size());
    for (int language = 0; language < 8; ++language) {
        for (const fs::path& file :
             {resources / (stringsTableName(language) + ".strings"),
              resources / (kLanguageFolders[language] + ".lproj") / "Localizable.strings"}) {
            auto table = StringsTable::load(file);
            ASSERT_TRUE(table) << file;
            loaded.push_back(std::move(*table));
            const StringsTable& reference =
                file.filename() == "Localizable.strings" ? *englishDefault : *english;
            EXPECT_EQ(loaded.back().size(), reference.size()) << file;
            for (const auto& [key, value] : reference.entries()) {
                EXPECT_EQ(key, value) << "English text differs from its key";
                const std::string* translation = loaded.back().find(key);
                ASSERT_NE(translation, nullptr) << file << ": " << key;
                EXPECT_EQ(messagePlaceholders(*translation), messagePlaceholders(key))
                    << file << ": " << key;
            }
        }
    }
}

TEST_F(BuiltBundle, LookupsFollowTheDialogLanguage) {
    struct Case {
        const char* preference;
        const char* saveFailed;  // from the language's strings table
        const char* yes;         // from its default table
        const char* refused;     // the helper's refusal, explained
    };
    const Case cases[] = {
        {"sv-SE", "Det gick inte att spara DSN-informationen.", "Ja", "Den privilegierade"},
        {"fr", "Impossible d’enregistrer les informations du DSN.", "Oui", "Le programme d’aide"},
        {"pt", "Could not save DSN information.", "Yes", "The privileged helper refused"},
    };
    for (const Case& c : cases) {
        Languages languages({c.preference});
        EXPECT_EQ(copyLocalizedString("Could not save DSN information."), c.saveFailed);
        EXPECT_TRUE(privileged_request::helperExplanation("ERROR 5370", true, copyLocalizedString)
                        .starts_with(c.refused))
            << c.preference;
        EXPECT_EQ(copyDefaultLocalizedString("Yes"), c.yes);
        EXPECT_EQ(copyLocalizedString("No such message %s"), "No such message %s");
    }
}

// A stand-in for xdg-open that records the file it was asked to open.
class HelpPages : public BuiltBundle {
  protected:
    HelpPages() {
        fs::create_directories(sandbox_.root() / "bin");
        // Written aside and renamed, so the file is whole once it exists.
        OdbcSandbox::writeFile(xdgOpen_, "#!/bin/sh\necho \"$1\" > '" + opened_.string() +
                                             ".part' && /bin/mv '" + opened_.string() + ".part' '" +
                                             opened_.string() + "'\n");
        chmod(xdgOpen_.c_str(), 0755);
    }

    std::string waitForOpened() {
        for (int i = 0; i < 500 && !fs::exists(opened_); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return fs::exists(opened_) ? OdbcSandbox::readFile(opened_) : "";
    }

    OdbcSandbox sandbox_;
    fs::path xdgOpen_ = sandbox_.root() / "bin" / "xdg-open";
    fs::path opened_ = sandbox_.root() / "opened";
};

TEST_F(HelpPages, PagesOpenFromTheLanguageFolder) {
    ScopedEnv path("PATH", (sandbox_.root() / "bin").string());
    const std::pair<int, const char*> cases[] = {
        {0, "English.lproj"}, {1, "de.lproj"},      {5, "ja.lproj"},
        {7, "English.lproj"}, {4, "English.lproj"}, {42, "English.lproj"},
    };
    for (const auto& [language, folder] : cases) {
        fs::remove(opened_);
        EXPECT_EQ(openHelpPage(language, "login"), 0) << language;
        EXPECT_EQ(waitForOpened(),
                  (kBuiltBundle / "Contents/Resources" / folder / "login.htm").string() + "\n")
            << language;
    }
    fs::remove(opened_);
    for (const char* missing : {"absent", "", "../English.lproj/login"}) {
        EXPECT_EQ(openHelpPage(0, missing), ENOENT) << missing;
    }
    EXPECT_FALSE(fs::exists(opened_));
}

TEST_F(HelpPages, MissingOpenerIsLoggedNotFatal) {
    ScopedEnv path("PATH", (sandbox_.root() / "empty").string());
    SystemLog::Capture log;

    EXPECT_EQ(openHelpPage(1, "login"), ENOENT);

    ASSERT_EQ(log.texts().size(), 1u);
    EXPECT_NE(log.texts()[0].find("xdg-open"), std::string::npos);
}

}  // namespace
