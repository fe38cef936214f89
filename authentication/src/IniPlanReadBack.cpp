#include "authentication/src/IniPlanReadBack.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "platform/IniFile.h"
#include "platform/IniSyntax.h"
#include "platform/IniWriter.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataSources = "ODBC Data Sources";
constexpr const char* kDrivers = "ODBC Drivers";

// One thing the plan leaves in a file.
struct Expectation {
    enum class Kind { Value, AnyValue, NoKey, NoSection };
    Kind kind;
    fs::path file;
    std::string section;
    std::string key;  // not for NoSection
    std::string value;

    bool about(const fs::path& otherFile, const std::string& otherSection) const {
        return file == otherFile && IniSyntax::sameName(section, otherSection);
    }
};

using Kind = Expectation::Kind;

// The plan's steps folded in order: a later step on a name replaces what
// an earlier one left there, as the writer's edits do.
class Expectations {
  public:
    void key(const fs::path& file, const std::string& section, const std::string& key, Kind kind,
             const std::string& value = {}) {
        // A key written into a removed section brings the section back;
        // one removed from it leaves the section gone.
        std::erase_if(list_, [&](const Expectation& earlier) {
            return earlier.about(file, section) &&
                   (earlier.kind == Kind::NoSection ? kind != Kind::NoKey
                                                    : IniSyntax::sameName(earlier.key, key));
        });
        list_.push_back({kind, file, section, key, value});
    }
    // The section begins anew (a DSN registered again) or goes.
    void forgetSection(const fs::path& file, const std::string& section) {
        std::erase_if(list_, [&](const Expectation& e) { return e.about(file, section); });
    }
    void noSection(const fs::path& file, const std::string& section) {
        forgetSection(file, section);
        list_.push_back({Kind::NoSection, file, section, {}, {}});
    }
    const std::vector<Expectation>& list() const { return list_; }

  private:
    std::vector<Expectation> list_;
};

void fold(const IniStep& step, const IniWriter& files, IniPlan::Scope scope, Expectations& out) {
    const OdbcPaths::Scope where =
        scope == IniPlan::Scope::User ? OdbcPaths::Scope::User : OdbcPaths::Scope::System;
    const fs::path odbcIni = files.pathFor("odbc.ini", where).value_or(fs::path());
    const fs::path odbcinstIni = files.pathFor("odbcinst.ini", where).value_or(fs::path());
    switch (step.kind) {
        case IniStep::Kind::RegisterDsn:
            // Without a driver named, the DSN keeps the one it was listed with.
            out.key(odbcIni, kDataSources, step.section,
                    step.driver.empty() ? Kind::AnyValue : Kind::Value, step.driver);
            out.forgetSection(odbcIni, step.section);
            out.key(odbcIni, step.section, "Driver",
                    step.library.empty() ? Kind::AnyValue : Kind::Value, step.library);
            return;
        case IniStep::Kind::WriteValue:
            out.key(files.pathFor(step.file.c_str(), where).value_or(fs::path()), step.section,
                    step.key, step.value ? Kind::Value : Kind::NoKey, step.value.value_or(""));
            return;
        case IniStep::Kind::RemoveDsn:
            out.key(odbcIni, kDataSources, step.section, Kind::NoKey);
            out.noSection(odbcIni, step.section);
            return;
        case IniStep::Kind::RemoveDriver:
            out.key(odbcinstIni, kDrivers, step.section, Kind::NoKey);
            out.noSection(odbcinstIni, step.section);
            return;
    }
}

bool holds(const IniFile& ini, const Expectation& expected) {
    if (expected.kind == Kind::NoSection) {
        return !ini.hasSection(expected.section);
    }
    const std::optional<std::string> value = ini.value(expected.section, expected.key);
    switch (expected.kind) {
        case Kind::Value:
            return value == expected.value;
        case Kind::AnyValue:
            return value && !value->empty();
        default:
            return !value;
    }
}

}  // namespace

IniPlanReadBack::Held IniPlanReadBack::Found::heldSince(const Found& before) const {
    if (present == planned && unreadable == 0) {
        return Held::All;
    }
    return present <= before.present ? Held::None : Held::Part;
}

std::string IniPlanReadBack::Found::describe() const {
    return std::to_string(present) + " of " + std::to_string(planned) +
           " planned entries in the files, " + std::to_string(unreadable) + " unreadable";
}

IniPlanReadBack::Found IniPlanReadBack::inFiles(const IniPlan& plan, const OdbcPaths& paths) {
    const IniWriter files(ODBC_BOTH_DSN, paths);
    Expectations expectations;
    for (const IniStep& step : plan.steps) {
        fold(step, files, plan.scope, expectations);
    }
    Found found;
    found.planned = expectations.list().size();
    std::map<fs::path, std::optional<IniFile>> read;
    for (const Expectation& expected : expectations.list()) {
        auto [file, first] = read.try_emplace(expected.file);
        IniFile ini;
        std::string why;
        if (first && IniFile::load(expected.file, ini, why) != IniFile::LoadResult::Refused) {
            file->second = std::move(ini);
        } else if (first) {
            ++found.unreadable;
        }
        if (file->second && holds(*file->second, expected)) {
            ++found.present;
        }
    }
    return found;
}
