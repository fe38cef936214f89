#pragma once

#include <optional>
#include <string>
#include <vector>

#include "admin/PaneDialogs.h"

// Answers the panes' questions from a script and keeps what they showed.
class ScriptedDialogs : public PaneDialogs {
  public:
    bool confirmAnswer = true;
    std::optional<std::string> driverAnswer;
    std::vector<std::string> questions;
    std::vector<std::string> alerts;
    std::vector<std::string> forms;  // "dsn|driver|mode"

    bool confirm(const std::string&, const std::string& message) override {
        questions.push_back(message);
        return confirmAnswer;
    }
    void alert(const std::string&, const std::string& message) override {
        alerts.push_back(message);
    }
    std::optional<std::string> pickDriver() override { return driverAnswer; }
    void runDsnForm(const std::string& dsn, const std::string& driver,
                    IniAccess::Mode mode) override {
        forms.push_back(dsn + "|" + driver + "|" + std::to_string(mode));
    }
    void* windowHandle() override { return this; }
};
