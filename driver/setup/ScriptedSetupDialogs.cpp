#include "driver/setup/ScriptedSetupDialogs.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

namespace {

std::mutex scriptMutex;
std::string currentScript;
std::size_t nextLine = 0;

std::string decode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(
                static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

void journal(const std::string& line) {
    if (const char* path = std::getenv("MORVANEX_UI_JOURNAL"); path != nullptr && *path) {
        std::ofstream(path, std::ios::app) << line << "\n";
    }
}

void setValue(SetupModel::Values& values, const std::string& key, const std::string& value) {
    const bool yes = value == "Yes";
    if (key == "DSN") {
        values.dsn = value;
    } else if (key == "Description") {
        values.description = value;
    } else if (key == "DriverDSN") {
        values.adaptedDsn = value;
    } else if (key == "ReadOnly") {
        values.readOnly = yes;
    } else if (key == "QueryLog_On") {
        values.queryLogOn = yes;
    } else if (key == "QueryLogTime") {
        values.queryLogTime = value;
    } else if (key == "QueryLogFile") {
        values.queryLogFile = value;
    }
}

}  // namespace

std::string ScriptedSetupDialogs::nextAnswer(const std::string& dialog) {
    std::lock_guard lock(scriptMutex);
    if (currentScript != scriptPath_) {
        currentScript = scriptPath_;
        nextLine = 0;
    }
    std::ifstream in(scriptPath_);
    std::string line;
    for (std::size_t i = 0; std::getline(in, line); ++i) {
        if (i == nextLine) {
            ++nextLine;
            if (line.rfind(dialog + " ", 0) == 0) {
                return line.substr(dialog.size() + 1);
            }
            return {};
        }
    }
    return {};
}

SetupDialogs::Outcome ScriptedSetupDialogs::runWizard(SetupModel& model) {
    journal("wizard " + model.values().dsn + "|" + model.values().description + "|" +
            model.values().adaptedDsn);
    std::istringstream answer(nextAnswer("wizard"));
    std::string choice;
    answer >> choice;
    if (choice == "none") {
        return Outcome::NotShown;
    }
    if (choice != "accept") {
        return Outcome::Cancelled;
    }
    for (std::string setting; answer >> setting;) {
        const std::size_t equals = setting.find('=');
        setValue(model.values(), setting.substr(0, equals),
                 equals == std::string::npos ? "" : decode(setting.substr(equals + 1)));
    }
    model.updateEncodingOptions();
    return Outcome::Accepted;
}

int ScriptedSetupDialogs::alert(const std::string& title, const std::string& message,
                                const std::string& secondButton) {
    journal("alert " + title + "|" + message);
    const std::string answer = nextAnswer("alert");
    if (answer == "ok") {
        return 0;
    }
    return secondButton.empty() ? 0 : 1;
}
