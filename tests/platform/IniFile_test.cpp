#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/IniFile.h"
#include "platform/LockedIniFile.h"
#include "platform/InstallerFacade.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/TrustedTestFolder.h"

namespace {

namespace fs = std::filesystem;

using Edit = std::function<void(IniFile&)>;

Edit set(const char* section, const char* key, const char* value) {
    return [=](IniFile& ini) {
        ASSERT_EQ(ini.setValue(section, key, value), IniSyntax::Problem::None);
    };
}

// Each file keeps every byte but the edited line.
TEST(IniFile, EditsTouchOnlyTheirLine) {
    struct Case {
        const char* name;
        const char* before;
        Edit edit;
        const char* after;
    };
    const Case cases[] = {
        {"comments and blank lines", "; top\n[A]\n# note\nk = 1\n\n[B]\nx=2\n", set("a", "K", "9"),
         "; top\n[A]\n# note\nk = 9\n\n[B]\nx=2\n"},
        {"odd spacing and an inline comment", "[A]\n  \t\nkey\t=   old   ; why\n",
         set("A", "key", "new"), "[A]\n  \t\nkey\t=   new   ; why\n"},
        {"a comment right after an empty value", "[A]\nk = ;c\n", set("A", "k", "v"),
         "[A]\nk = v ;c\n"},
        {"a comment that begins the value", "[A]\nk=;c\nj =#note\n",
         [](IniFile& ini) {
             set("A", "k", "v")(ini);
             set("A", "j", "w")(ini);
         },
         "[A]\nk=v ;c\nj =w #note\n"},
        {"quoted values and continuation lines", "[A]\nq = \"a ; b\"\nlong = one\n  two\nz = 1\n",
         set("A", "z", "2"), "[A]\nq = \"a ; b\"\nlong = one\n  two\nz = 2\n"},
        {"CRLF, new key before the next section's comment",
         "[A]\r\nk = 1\r\n\r\n; about B\r\n[B]\r\n", set("A", "n", "v"),
         "[A]\r\nk = 1\r\nn = v\r\n\r\n; about B\r\n[B]\r\n"},
        {"no final newline", "[A]\nk = 1", set("A", "n", ""), "[A]\nk = 1\nn = "},
        {"no final newline, new section", "[A]\nk = 1", set("B", "n", "v"),
         "[A]\nk = 1\n\n[B]\nn = v"},
        {"empty file", "", set("B", "n", "v"), "[B]\nn = v\n"},
        {"a lone CR ends a line but never a new one", "; x\r[A]\nk = 1\n\n[B]\n",
         set("A", "n", "v"), "; x\r[A]\nk = 1\nn = v\n\n[B]\n"},
        {"a key of an indented line is not a key", "[A]\n k = 1\n", set("A", "k", "2"),
         "[A]\n k = 1\nk = 2\n"},
        {"remove a key and its repeat", "[A]\nk = 1\nK = 2\nm = 3\n",
         [](IniFile& ini) { EXPECT_TRUE(ini.removeKey("a", "k")); }, "[A]\nm = 3\n"},
        {"remove a middle section", "[A]\na = 1\n\n[B]\nb = 2\n\n; about C\n[C]\nc = 3\n",
         [](IniFile& ini) { EXPECT_TRUE(ini.removeSection("b")); },
         "[A]\na = 1\n\n; about C\n[C]\nc = 3\n"},
        {"remove the last section and a repeat", "[B]\nx = 0\n[A]\na = 1\n\n[B]\nb = 2\n",
         [](IniFile& ini) { EXPECT_TRUE(ini.removeSection("B")); }, "[A]\na = 1\n"},
        {"removing what is not there", "[A]\na = 1",
         [](IniFile& ini) {
             EXPECT_FALSE(ini.removeSection("B"));
             EXPECT_FALSE(ini.removeKey("A", "b"));
         },
         "[A]\na = 1"},
    };
    for (const Case& c : cases) {
        IniFile ini = IniFile::parse(c.before);
        c.edit(ini);
        EXPECT_EQ(ini.text(), c.after) << c.name;
        EXPECT_EQ(ini.changed(), std::string(c.before) != c.after) << c.name;
    }
}

TEST(IniFile, ReadsAsTheDriverManagerDoes) {
    const IniFile ini = IniFile::parse(
        "k = outside\n[ODBC]\nA = 1 ;c\nB= x#y\nC =\t\"q ; r\"  # c\n D = cont\n[odbc]\nA = 2\n");
    const struct {
        const char* key;
        std::optional<std::string> value;
    } rows[] = {
        {"a", "1"}, {"B", "x#y"}, {"C", "\"q ; r\""}, {"D", std::nullopt}, {"k", std::nullopt}};
    for (const auto& row : rows) {
        EXPECT_EQ(ini.value("ODBC", row.key), row.value) << row.key;
    }
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"ODBC", "odbc"}));
    EXPECT_EQ(ini.keys("Odbc"), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(IniFile, RefusesWhatWouldNotReadBack) {
    const struct {
        const char* section;
        const char* key;
        std::string value;
    } rows[] = {{"A", "k", "two\nlines"}, {"A", "k", std::string("n\0ul", 4)},
                {"A]", "k", "v"},         {"A", "k=", "v"},
                {"A", ";k", "v"},         {" A", "k", "v"},
                {"A", "", "v"},           {"", "k", "v"}};
    for (const auto& row : rows) {
        IniFile ini = IniFile::parse("[A]\nk = 1\n");
        EXPECT_NE(ini.setValue(row.section, row.key, row.value), IniSyntax::Problem::None)
            << row.section << row.key;
        EXPECT_EQ(ini.text(), "[A]\nk = 1\n");
        EXPECT_FALSE(ini.changed());
    }
}

TEST(IniFile, LoadsOnlyRegularFilesNeverThroughALink) {
    OdbcSandbox sandbox;
    const fs::path real = sandbox.root() / "real.ini";
    OdbcSandbox::writeFile(real, "[A]\nk = 1\n");
    fs::create_symlink(real, sandbox.root() / "link.ini");
    ASSERT_EQ(::mkfifo((sandbox.root() / "fifo.ini").c_str(), 0600), 0);
    const struct {
        const char* name;
        IniFile::LoadResult result;
    } rows[] = {{"real.ini", IniFile::LoadResult::Loaded},
                {"link.ini", IniFile::LoadResult::Refused},
                {"fifo.ini", IniFile::LoadResult::Refused},
                {"", IniFile::LoadResult::Refused},
                {"absent.ini", IniFile::LoadResult::Missing}};
    for (const auto& row : rows) {
        IniFile ini;
        std::string why;
        EXPECT_EQ(IniFile::load(sandbox.root() / row.name, ini, why), row.result) << row.name;
        EXPECT_EQ(why.empty(), row.result != IniFile::LoadResult::Refused) << row.name;
    }
}

// Root follows a link only on a way that is root's alone: a user's link, or
// root's link in a user's folder, at any step, reaches nothing.
TEST(IniFile, RootFollowsOnlyItsOwnLinks) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "the rule of root's processes";
    }
    TrustedTestFolder root;
    const fs::path etc = root.path() / "etc";
    fs::create_directories(etc);
    OdbcSandbox::writeFile(etc / "odbc.ini", "[A]\nk = 1\n");
    fs::create_directory(root.path() / "users");
    for (const char* link : {"own", "users/own", "user", "user-file"}) {
        fs::create_symlink(std::string(link) == "user-file" ? etc / "odbc.ini" : etc,
                           root.path() / link);
    }
    ASSERT_EQ(lchown((root.path() / "user").c_str(), 65534, 65534), 0);
    ASSERT_EQ(lchown((root.path() / "user-file").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown((root.path() / "users").c_str(), 65534, 65534), 0);
    const std::pair<const char*, IniFile::LoadResult> rows[] = {
        {"own/odbc.ini", IniFile::LoadResult::Loaded},
        {"users/own/odbc.ini", IniFile::LoadResult::Refused},
        {"user/odbc.ini", IniFile::LoadResult::Refused},
        {"user-file", IniFile::LoadResult::Refused},
        {"user/absent.ini", IniFile::LoadResult::Refused},
    };
    for (const auto& [path, result] : rows) {
        IniFile ini;
        std::string why;
        EXPECT_EQ(IniFile::load(root.path() / path, ini, why), result) << path << ": " << why;
        bool missing = false;
        const auto file = LockedIniFile::open(root.path() / path, true,
                                              descriptor_io::deadlineAfter(std::chrono::seconds(5)),
                                              why, missing);
        EXPECT_EQ(file != nullptr, result == IniFile::LoadResult::Loaded) << path << ": " << why;
    }
}

bool save(const fs::path& path, bool mayCreate, const char* value, std::string& why) {
    bool missing = false;
    const auto file = LockedIniFile::open(
        path, mayCreate, descriptor_io::deadlineAfter(std::chrono::seconds(5)), why, missing);
    return file && file->document().setValue("A", "k", value) == IniSyntax::Problem::None &&
           file->prepare(why) && file->install(why);
}

// The replacement keeps the original's mode, touches no file behind a link,
// and a reader that cached the old file by size and second sees the new
// one at once.
TEST(IniFile, SaveReplacesTheFileVisibly) {
    OdbcSandbox sandbox;
    const fs::path path = sandbox.root() / "data.ini";
    OdbcSandbox::writeFile(path, "[A]\nk = 1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    auto& installer = InstallerFacade::instance();
    char buffer[16] = {};
    installer.getPrivateProfileString("A", "k", "", buffer, sizeof buffer, path.c_str());
    ASSERT_STREQ(buffer, "1");

    std::string why;
    for (const char* value : {"2", "3", "4"}) {  // same size, same second
        ASSERT_TRUE(save(path, false, value, why)) << why;
        installer.getPrivateProfileString("A", "k", "", buffer, sizeof buffer, path.c_str());
        EXPECT_STREQ(buffer, value);
    }
    struct stat status {};
    ASSERT_EQ(::lstat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    for (const fs::directory_entry& entry : fs::directory_iterator(sandbox.root())) {
        EXPECT_EQ(entry.path().filename().string().rfind(".data.ini", 0), std::string::npos)
            << "copy left behind: " << entry.path();
    }

    // A file that was missing is created, but never over one that appeared.
    const fs::path fresh = sandbox.root() / "fresh.ini";
    EXPECT_FALSE(save(fresh, false, "v", why));
    bool missing = false;
    auto created = LockedIniFile::open(
        fresh, true, descriptor_io::deadlineAfter(std::chrono::seconds(5)), why, missing);
    ASSERT_TRUE(created) << why;
    ASSERT_EQ(created->document().setValue("A", "k", "v"), IniSyntax::Problem::None);
    fs::create_symlink(path, fresh);
    EXPECT_FALSE(created->prepare(why) && created->install(why));
    created.reset();
    EXPECT_EQ(OdbcSandbox::readFile(path), "[A]\nk = 4\n");
    fs::remove(fresh);
    ASSERT_TRUE(save(fresh, true, "v", why)) << why;
    ASSERT_EQ(::lstat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(OdbcSandbox::readFile(fresh), "[A]\nk = v\n");
}

}  // namespace
