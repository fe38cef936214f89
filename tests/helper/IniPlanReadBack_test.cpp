// What a killed writer's files are taken to hold of its plan: the plan's
// last word on each name, read back from the files, whole, none or part.
#include <gtest/gtest.h>

#include <filesystem>

#include "authentication/src/IniPlanReadBack.h"
#include "tests/support/OdbcSandbox.h"

namespace {

using Held = IniPlanReadBack::Held;
using Scope = OdbcSandbox::Scope;

IniStep step(IniStep::Kind kind, std::string section, std::string key = {},
             std::optional<std::string> value = {}) {
    IniStep made;
    made.kind = kind;
    made.section = std::move(section);
    made.key = std::move(key);
    made.value = std::move(value);
    made.file = "odbc.ini";
    return made;
}

TEST(IniPlanReadBack, FilesAgainstPlans) {
    IniStep renamed = step(IniStep::Kind::RegisterDsn, "New");
    renamed.driverOf = "Old";
    IniStep readded = step(IniStep::Kind::RegisterDsn, "A");
    readded.driver = "Drv";
    readded.library = "/lib/a.so";
    const IniPlan rename{IniPlan::Scope::System,
                         {renamed, step(IniStep::Kind::WriteValue, "New", "Port", "5432"),
                          step(IniStep::Kind::WriteValue, "New", "Server", std::nullopt),
                          step(IniStep::Kind::RemoveDsn, "Old")}};
    const IniPlan removeThenAdd{IniPlan::Scope::System,
                                {step(IniStep::Kind::RemoveDsn, "A"), readded}};
    const char* old = "[ODBC Data Sources]\nOld = Drv\n[Old]\nDriver = /x.so\nServer = s\n";
    const char* none = "";
    // Each: the plan, the file before and after it (nullptr: a folder in
    // the file's place), and what the change came to.
    const struct {
        const IniPlan& plan;
        const char* before;
        const char* after;
        Held held;
    } rows[] = {
        {rename, old, "[ODBC Data Sources]\nnew = Drv\n[NEW]\nDriver = /x.so\nport = 5432\n",
         Held::All},
        {rename, old, old, Held::None},
        {rename, old, "[ODBC Data Sources]\nOld = Drv\nNew = Drv\n[New]\nDriver = /x.so\n",
         Held::Part},
        {rename, old, "[ODBC Data Sources]\nNew = Drv\n[New]\nDriver = /x.so\nPort = 5433\n",
         Held::Part},
        {rename, old, "[ODBC Data Sources]\nNew = Drv\n[New]\nDriver =\nPort = 5432\n", Held::Part},
        {removeThenAdd, none, "[ODBC Data Sources]\nA = Drv\n[A]\nDriver = /lib/a.so\n", Held::All},
        {removeThenAdd, none, "[ODBC Data Sources]\nA = Drv\n[A]\nDriver = /lib/b.so\n",
         Held::Part},
        {removeThenAdd, none, none, Held::None},
        {removeThenAdd, none, nullptr, Held::None},
    };
    OdbcSandbox sandbox;
    const std::filesystem::path file = sandbox.odbcIni(Scope::System);
    const auto found = [&](const IniPlan& plan, const char* text) {
        std::filesystem::remove(file);
        text != nullptr ? OdbcSandbox::writeFile(file, text)
                        : static_cast<void>(std::filesystem::create_directory(file));
        return IniPlanReadBack::inFiles(plan, OdbcPaths::current());
    };
    for (const auto& row : rows) {
        const IniPlanReadBack::Found before = found(row.plan, row.before);
        const IniPlanReadBack::Found after = found(row.plan, row.after);
        EXPECT_EQ(after.heldSince(before), row.held)
            << (row.after ? row.after : "(a folder)") << ": " << after.describe();
        EXPECT_EQ(after.unreadable, row.after ? 0u : 1u);
    }
}

}  // namespace
