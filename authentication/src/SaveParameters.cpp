#include "authentication/src/SaveParameters.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "authentication/src/HelperStatus.h"
#include "authentication/src/RequestSummary.h"
#include "authentication/src/RequestValidation.h"
#include "platform/IniSyntax.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/SystemLog.h"

using namespace request_validation;
namespace status = helper_status;
namespace contract = privileged_request;

namespace {

constexpr size_t kMaxLoggedText = 255;
constexpr const char* kOdbcIni = "odbc.ini";
constexpr const char* kOdbcinstIni = "odbcinst.ini";

enum class Preference { Text, AbsolutePath, TraceTarget, List };
struct PreferenceRow {
    const char* key;
    Preference kind;
};
// The driver's own keys, in the order they are written.
constexpr PreferenceRow kPreferences[] = {
    {"TraceFile", Preference::TraceTarget},  {"TraceLevel", Preference::Text},
    {"TNS_ADMIN", Preference::AbsolutePath}, {"RecentServers", Preference::List},
    {"RecentDatabases", Preference::List},
};

std::string limited(std::string text) {
    if (text.size() > kMaxLoggedText) {
        text.resize(kMaxLoggedText);
    }
    return text;
}

const PreferenceRow* preferenceRow(std::string_view key) {
    for (const PreferenceRow& row : kPreferences) {
        if (key == row.key) {
            return &row;
        }
    }
    return nullptr;
}

std::optional<IniPlan::Scope> scopeOf(const std::string& type) {
    if (IniSyntax::sameName(type, contract::kUserType)) {
        return IniPlan::Scope::User;
    }
    if (IniSyntax::sameName(type, contract::kSystemType)) {
        return IniPlan::Scope::System;
    }
    return std::nullopt;
}

IniStep writeStep(std::string section, std::string key, std::optional<std::string> value,
                  const char* file) {
    IniStep step;
    step.kind = IniStep::Kind::WriteValue;
    step.section = std::move(section);
    step.key = std::move(key);
    step.value = std::move(value);
    step.file = file;
    return step;
}

IniStep removeStep(IniStep::Kind kind, std::string section) {
    IniStep step;
    step.kind = kind;
    step.section = std::move(section);
    return step;
}

bool isDsnItem(const Item& item) {
    return IniSyntax::sameName(item.key, "DSN");
}

// Root's programs load what a system file names as a library: the path
// is written as they will resolve it. Nothing when refused.
std::optional<std::string> settledLibrary(IniPlan::Scope scope, const std::string& library,
                                          PlanApplier& applier) {
    if (scope != IniPlan::Scope::System) {
        return library;
    }
    std::string written;
    std::string problem;
    const DriverRegistry registered = [&applier](const std::string& name) {
        return applier.systemDriverLibrary(name).has_value();
    };
    if (checkLibrary(library, registered, written, problem) != 0) {
        SystemLog::error("Library refused: " + limited(problem));
        return std::nullopt;
    }
    return written;
}

// The Driver entry of a DSN registered with `driver`, a driver's name (a
// path is no driver). A system DSN's library is the one the system
// odbcinst.ini names, read once here and written as read; a user's is
// found by the writer as the driver manager finds it. Nothing when refused.
std::optional<std::string> registeredLibrary(IniPlan::Scope scope, const std::string& driver,
                                             PlanApplier& applier) {
    if (!isAcceptableName(driver) || driver.find('/') != std::string::npos) {
        return std::nullopt;
    }
    if (scope != IniPlan::Scope::System) {
        return std::string();
    }
    std::optional<std::string> library = applier.systemDriverLibrary(driver);
    if (!library || !isAcceptableValue(*library)) {
        SystemLog::error("Driver refused: not registered in the system odbcinst.ini");
        return std::nullopt;
    }
    return library;
}

// A file root's programs will write, resolved; empty stays empty.
std::optional<std::string> settledRootLogFile(const std::string& path) {
    std::string written;
    std::string problem;
    if (!path.empty() && checkRootLogFile(path, written, problem) != 0) {
        SystemLog::error("Log file refused: " + limited(problem));
        return std::nullopt;
    }
    return written;
}

// Whether `item` may be written; a path root's programs will use becomes
// the path they will resolve.
bool settleItem(IniPlan::Scope scope, Item& item, PlanApplier& applier) {
    if (!isAcceptableKey(item.key)) {
        return false;
    }
    if (!item.value) {
        return true;  // a deletion
    }
    if (!isAcceptableValue(*item.value)) {
        return false;
    }
    // Root's programs would write those logs where others read them.
    if (scope == IniPlan::Scope::System && namesWrittenFileSwitch(item.key)) {
        SystemLog::error("Log switch refused: the adapted driver logs no system DSN");
        return false;
    }
    std::optional<std::string> settled = item.value;
    if (namesLibrary(item.key)) {
        settled = settledLibrary(scope, *item.value, applier);
    } else if (scope == IniPlan::Scope::System && namesWrittenFile(item.key)) {
        settled = settledRootLogFile(*item.value);
    }
    item.value = settled;
    return settled.has_value();
}

// The DSN items of an Add or Configure: the first item names the DSN, no
// other does, and every key and value may be written.
int checkDsnItems(IniPlan::Scope scope, std::vector<Item>& items, PlanApplier& applier) {
    const auto dsnItems = std::count_if(items.begin(), items.end(), isDsnItem);
    if (dsnItems == 0) {
        return status::kMissingKey;
    }
    if (dsnItems > 1 || !isDsnItem(items.front()) || !items.front().value ||
        !isAcceptableDsnName(*items.front().value)) {
        return status::kContentRefused;
    }
    const bool allAllowed =
        std::all_of(items.begin() + 1, items.end(),
                    [scope, &applier](Item& item) { return settleItem(scope, item, applier); });
    return allAllowed ? status::kDone : status::kContentRefused;
}

void addItemWrites(const std::vector<Item>& items, const std::string& dsn, IniPlan& plan) {
    for (const Item& item : items) {
        if (!isDsnItem(item)) {
            plan.steps.push_back(writeStep(dsn, item.key, item.value, kOdbcIni));
        }
    }
}

// Add: register, then write. Configure: write in place, or, under a new
// name, register the new DSN first and remove the old one last.
int planDsnWrites(const HelperRequest& request, const std::string& command,
                  std::vector<Item>& items, const std::string& driver, IniPlan& plan,
                  PlanApplier& applier) {
    if (const int checked = checkDsnItems(plan.scope, items, applier); checked != status::kDone) {
        return checked;
    }
    const std::string dsn = *items.front().value;
    const bool add = IniSyntax::sameName(command, contract::kAddRequest);
    const std::string original = renamedFrom(request, dsn).value_or("");
    const bool rename = !original.empty();
    if (rename && !isAcceptableDsnName(original)) {
        return status::kContentRefused;
    }
    if (add || rename) {
        if (add && driver.empty()) {
            return status::kMissingKey;
        }
        // The driver becomes the DSN's registration and its Driver entry.
        std::optional<std::string> library;
        if (!driver.empty() && !(library = registeredLibrary(plan.scope, driver, applier))) {
            return status::kContentRefused;
        }
        IniStep registration;
        registration.kind = IniStep::Kind::RegisterDsn;
        registration.section = dsn;
        registration.driver = driver;
        registration.library = library.value_or("");
        registration.driverOf = original;
        plan.steps.push_back(std::move(registration));
    }
    addItemWrites(items, dsn, plan);
    if (rename) {
        plan.steps.push_back(removeStep(IniStep::Kind::RemoveDsn, original));
    }
    return status::kDone;
}

// A preference list: its first element is stored, an empty one deletes it.
int planListValue(const HelperRequest& preferences, const std::string& section,
                  const std::string& key, IniPlan& plan) {
    if (!preferences.contains(key)) {
        return status::kDone;
    }
    const auto list = preferences.stringArray(key);
    if (!list) {
        return status::kContentRefused;
    }
    if (list->empty()) {
        return status::kDone;
    }
    const std::string& first = list->front();
    if (!isAcceptableValue(first)) {
        return status::kContentRefused;
    }
    plan.steps.push_back(writeStep(section, key,
                                   first.empty() ? std::nullopt : std::optional<std::string>(first),
                                   kOdbcinstIni));
    return status::kDone;
}

// The value to write for a preference; nothing when it is refused.
std::optional<std::string> settledPreference(Preference kind, const std::string& value) {
    if (!isAcceptableValue(value)) {
        return std::nullopt;
    }
    switch (kind) {
        case Preference::TraceTarget:
            // Empty turns tracing off.
            return value == "stderr" ? value : settledRootLogFile(value);
        case Preference::AbsolutePath:
            return value.empty() || value.front() == '/' ? std::optional(value) : std::nullopt;
        case Preference::Text:
        case Preference::List:
            return value;
    }
    return std::nullopt;
}

}  // namespace

int SaveValue(const HelperRequest& preferences, const std::string& section, const std::string& key,
              IniPlan& plan) {
    if (!preferences.contains(key)) {
        return status::kDone;
    }
    const PreferenceRow* row = preferenceRow(key);
    auto value = preferences.string(key);
    if (row == nullptr || !value || !(value = settledPreference(row->kind, *value))) {
        return status::kContentRefused;
    }
    plan.steps.push_back(
        writeStep(section, key, value->empty() ? std::nullopt : std::optional<std::string>(*value),
                  kOdbcinstIni));
    return status::kDone;
}

int DoConfigureDSN(const HelperRequest& request, PlanApplier& applier) {
    SystemLog::notice("Configure DSN");
    const auto connection = request.string(contract::kConnectionStringKey);
    const auto type = request.string(contract::kTypeKey);
    const auto command = request.string(contract::kRequestKey);
    const auto driver = request.string(contract::kDriverKey);
    if (!connection || !type || !command || !driver || !request.string(contract::kPathKey)) {
        return status::kMissingKey;
    }
    // "Path" is the client's idea of where the user's files are; the files
    // are always the requesting user's own.
    const std::optional<IniPlan::Scope> scope = scopeOf(*type);
    if (!scope) {
        return status::kContentRefused;
    }
    IniPlan plan;
    plan.scope = *scope;
    if (IniSyntax::sameName(*command, contract::kRemoveRequest)) {
        if (!isAcceptableDsnName(*connection)) {
            return status::kContentRefused;
        }
        plan.steps.push_back(removeStep(IniStep::Kind::RemoveDsn, *connection));
        return applier.apply(plan);
    }
    if (!IniSyntax::sameName(*command, contract::kAddRequest) &&
        !IniSyntax::sameName(*command, contract::kConfigureRequest)) {
        return status::kUnknownCommand;
    }
    auto items = splitConnectionString(*connection);
    if (!items) {
        return status::kContentRefused;
    }
    if (const int planned = planDsnWrites(request, *command, *items, *driver, plan, applier);
        planned != status::kDone) {
        return planned;
    }
    return plan.steps.empty() ? status::kDone : applier.apply(plan);
}

int DoConfigureDriver(const HelperRequest& request, PlanApplier& applier) {
    const auto command = request.string(contract::kRequestKey);
    const auto type = request.string(contract::kTypeKey);
    const auto name = request.string(contract::kDriverNameKey);
    if (!command || !type || !name) {
        return status::kMissingKey;
    }
    const std::optional<IniPlan::Scope> scope = scopeOf(*type);
    if (!scope || !isAcceptableName(*name)) {
        return status::kContentRefused;
    }
    IniPlan plan;
    plan.scope = *scope;
    if (IniSyntax::sameName(*command, contract::kRemoveRequest)) {
        plan.steps.push_back(removeStep(IniStep::Kind::RemoveDriver, *name));
        return applier.apply(plan);
    }
    if (!IniSyntax::sameName(*command, contract::kAddRequest) &&
        !IniSyntax::sameName(*command, contract::kConfigureRequest)) {
        return status::kUnknownCommand;
    }
    const auto driverPath = request.string(contract::kDriverPathKey);
    const auto setupPath = request.string(contract::kSetupPathKey);
    if (!driverPath || driverPath->empty() || !setupPath) {
        return status::kMissingKey;
    }
    if (!isAcceptableValue(*driverPath) || !isAcceptableValue(*setupPath)) {
        return status::kContentRefused;
    }
    // Every program that loads a system driver runs what these name: they
    // are written as those programs will resolve them.
    std::string driverLibrary = *driverPath;
    std::string setupLibrary = *setupPath;
    if (*scope == IniPlan::Scope::System) {
        std::string problem;
        if (checkLibraryPath(*driverPath, driverLibrary, problem) != 0 ||
            (!setupPath->empty() && checkLibraryPath(*setupPath, setupLibrary, problem) != 0)) {
            SystemLog::error("Driver refused: " + limited(problem));
            return status::kContentRefused;
        }
    }
    const std::string original = renamedFrom(request, *name).value_or("");
    const bool rename = !original.empty();
    if (rename && !isAcceptableName(original)) {
        return status::kContentRefused;
    }
    plan.steps.push_back(writeStep("ODBC Drivers", *name, "Installed", kOdbcinstIni));
    plan.steps.push_back(writeStep(*name, "Driver", driverLibrary, kOdbcinstIni));
    plan.steps.push_back(writeStep(*name, "Setup", setupLibrary, kOdbcinstIni));
    if (rename) {
        plan.steps.push_back(removeStep(IniStep::Kind::RemoveDriver, original));
    }
    return applier.apply(plan);
}

int DoUpdatePreferences(const HelperRequest& request, PlanApplier& applier) {
    SystemLog::notice("Update preferences");
    const auto section = request.string(contract::kProductNameKey);
    const auto data = request.data(contract::kPreferencesKey);
    if (!section || !data) {
        return status::kMissingKey;
    }
    if (*section != contract::kDriverProductName) {
        return status::kContentRefused;
    }
    const HelperRequest::Parsed preferences = HelperRequest::parseXmlDictionary(*data);
    if (!preferences.request) {
        return status::kNotParsed;
    }
    if (!preferences.request->textsAreClean()) {
        return status::kContentRefused;
    }
    for (const std::string& key : preferences.request->keys()) {
        if (preferenceRow(key) == nullptr) {
            return status::kContentRefused;
        }
    }
    IniPlan plan;
    plan.scope = IniPlan::Scope::System;
    for (const PreferenceRow& row : kPreferences) {
        const int planned = row.kind == Preference::List
                                ? planListValue(*preferences.request, *section, row.key, plan)
                                : SaveValue(*preferences.request, *section, row.key, plan);
        if (planned != status::kDone) {
            return planned;
        }
    }
    return plan.steps.empty() ? status::kDone : applier.apply(plan);
}

int DoGetVersion() {
    return status::kDone;
}

int DoSaveParameters(const HelperRequest::Parsed& parsed, PlanApplier& applier) {
    if (!parsed.request) {
        SystemLog::error("Incorrect format: " + parsed.where + "\n");
        return status::kNotParsed;
    }
    const HelperRequest& request = *parsed.request;
    if (!request.textsAreClean()) {
        return status::kContentRefused;
    }
    if (request.string(contract::kCommandKey) ==
        std::optional<std::string>(contract::kConfigureDriverCommand)) {
        return DoConfigureDriver(request, applier);
    }
    const auto command = request.string(contract::kRequestKey);
    if (!command) {
        SystemLog::error("Unknown command\n");
        return status::kUnknownCommand;
    }
    if (IniSyntax::sameName(*command, contract::kUpdatePreferencesRequest)) {
        return DoUpdatePreferences(request, applier);
    }
    if (IniSyntax::sameName(*command, contract::kAddRequest) ||
        IniSyntax::sameName(*command, contract::kConfigureRequest) ||
        IniSyntax::sameName(*command, contract::kRemoveRequest)) {
        return DoConfigureDSN(request, applier);
    }
    if (IniSyntax::sameName(*command, contract::kGetVersionRequest)) {
        return DoGetVersion();
    }
    SystemLog::error("Unknown command: " + request_summary::loggableName(*command) + "\n");
    return status::kUnknownCommand;
}
