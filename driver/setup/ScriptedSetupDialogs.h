#pragma once

#include <string>

#include "driver/setup/SetupDialogs.h"

// Test builds only: answers the setup dialogs from a script instead of
// showing them. The script ($MORVANEX_UI_SCRIPT) holds one answer per line,
// used in order across calls (a new script path starts again at its first
// line):
//   alert ok | alert second
//   wizard accept KEY=VALUE ... | wizard cancel | wizard none
// KEY is an attribute key of the wizard (DSN, Description, DriverDSN,
// ReadOnly, QueryLog_On, QueryLogTime, QueryLogFile) and values are
// percent-encoded. "wizard none" answers as a host without a display. A
// missing line answers Cancel. $MORVANEX_UI_JOURNAL, when set, names a file
// that receives one line per dialog.
class ScriptedSetupDialogs final : public SetupDialogs {
  public:
    explicit ScriptedSetupDialogs(std::string scriptPath) : scriptPath_(std::move(scriptPath)) {}

    Outcome runWizard(SetupModel& model) override;
    int alert(const std::string& title, const std::string& message,
              const std::string& secondButton) override;

  private:
    std::string nextAnswer(const std::string& dialog);

    std::string scriptPath_;
};
