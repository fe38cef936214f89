#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/setup/ConnectionTest.h"
#include "driver/setup/SetupModel.h"
#include "driver/setup/UiModuleTable.h"

// Lends one SetupModel to the dialog module's wizard as the C table of
// MorvanexWizardModel. Lives for one wizard run; a connection test still
// running when it goes keeps its own copy of what it uses, and its result
// is dropped.
class WizardModelBridge {
  public:
    WizardModelBridge(SetupModel& model, const DriverCalls& calls);
    ~WizardModelBridge();
    WizardModelBridge(const WizardModelBridge&) = delete;
    WizardModelBridge& operator=(const WizardModelBridge&) = delete;

    const MorvanexWizardModel& table() const { return table_; }

  private:
    static WizardModelBridge& self(void* context) {
        return *static_cast<WizardModelBridge*>(context);
    }

    static void values(void* context, MorvanexWizardValues* out);
    static void setValues(void* context, const MorvanexWizardValues* in);
    static void buttons(void* context, int panel, MorvanexWizardButtons* out);
    static int mayLeave(void* context, int panel);
    static void encodingOptions(void* context, MorvanexWizardEncoding* out);
    static int queryLogOptionsEnabled(void* context);
    static void restoreLanguageSettings(void* context);
    static const char* adaptedDsnName(void* context, size_t index);
    static const char* encodingName(void* context, size_t index);
    static const char* summary(void* context);
    static const char* testStartText(void* context);
    static int startTest(void* context, const char* userId, const char* password,
                         MorvanexTestDelivery deliver, void* receiver, const char** text);
    static void cancelTest(void* context);
    static void about(void* context);
    static void checkUpdates(void* context);
    static int firstPanel(void* context);

    int beginTest(const char* userId, const char* password, MorvanexTestDelivery deliver,
                  void* receiver, const char** text);

    SetupModel& model_;
    DriverCalls calls_;
    MorvanexWizardModel table_;
    std::vector<std::string> encodings_;
    // Texts handed out, valid until the next call.
    std::string text_;
    std::unique_ptr<ConnectionTest::Ticket> test_;
};
