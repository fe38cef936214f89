#include "driver/setup/WizardModelBridge.h"

#include <optional>

#include "driver/setup/AboutWindow.h"
#include "driver/setup/LocalizedStrings.h"
#include "driver/setup/UpdateCheck.h"
#include "platform/SystemLog.h"

namespace {

// The callbacks run inside the module's event loop: no exception may cross
// back into it. A failed callback answers `fallback`.
template <typename Result, typename Body>
Result guarded(const char* what, Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        try {
            SystemLog::error(std::string("DSN wizard: ") + what + " failed");
        } catch (...) {
        }
        return fallback;
    }
}

template <typename Body>
void guardedVoid(const char* what, Body body) noexcept {
    guarded(what, 0, [&] {
        body();
        return 0;
    });
}

std::string text(const char* value) {
    return value != nullptr ? value : "";
}

// On the test's thread, where nothing may escape.
void deliverResult(MorvanexTestDelivery deliver, void* receiver,
                   const ConnectionTestResult& result) noexcept {
    try {
        const std::string shown = ConnectionTest::resultText(result);
        deliver(receiver, shown.c_str());
    } catch (...) {
        SystemLog::error("DSN wizard: the test's result could not be shown");
    }
}

// The module names the model's panels.
constexpr bool samePanel(SetupModel::Panel panel, MorvanexWizardPanel named) {
    return static_cast<int>(panel) == static_cast<int>(named);
}
static_assert(samePanel(SetupModel::Introduction, MORVANEX_WIZARD_INTRODUCTION) &&
              samePanel(SetupModel::DataSource, MORVANEX_WIZARD_DATA_SOURCE) &&
              samePanel(SetupModel::Database, MORVANEX_WIZARD_DATABASE) &&
              samePanel(SetupModel::Conclusion, MORVANEX_WIZARD_CONCLUSION));

SetupModel::Panel panelOf(int panel) {
    return panel >= SetupModel::Introduction && panel <= SetupModel::Conclusion
               ? static_cast<SetupModel::Panel>(panel)
               : SetupModel::Introduction;
}

}  // namespace

WizardModelBridge::WizardModelBridge(SetupModel& model, const DriverCalls& calls)
    : model_(model),
      calls_(calls),
      table_{
          .size = sizeof(MorvanexWizardModel),
          .context = this,
          .values = &values,
          .setValues = &setValues,
          .buttons = &buttons,
          .mayLeave = &mayLeave,
          .encodingOptions = &encodingOptions,
          .queryLogOptionsEnabled = &queryLogOptionsEnabled,
          .restoreLanguageSettings = &restoreLanguageSettings,
          .adaptedDsnName = &adaptedDsnName,
          .encodingName = &encodingName,
          .summary = &summary,
          .testStartText = &testStartText,
          .startTest = &startTest,
          .cancelTest = &cancelTest,
          .about = &about,
          .checkUpdates = &checkUpdates,
          .firstPanel = &firstPanel,
      },
      encodings_(SetupModel::encodingsMenu()) {}

WizardModelBridge::~WizardModelBridge() = default;

void WizardModelBridge::values(void* context, MorvanexWizardValues* out) {
    if (out == nullptr) {
        return;
    }
    const SetupModel::Values& v = self(context).model_.values();
    *out = MorvanexWizardValues{
        .dsn = v.dsn.c_str(),
        .description = v.description.c_str(),
        .adaptedDsn = v.adaptedDsn.c_str(),
        .readOnly = v.readOnly,
        .autoDetect = v.autoDetect,
        .wideApi = v.wideApi,
        .unicodeTypes = v.unicodeTypes,
        .encoding = v.encoding,
        .queryLogOn = v.queryLogOn,
        .queryLogTime = v.queryLogTime.c_str(),
        .queryLogFile = v.queryLogFile.c_str(),
    };
}

void WizardModelBridge::setValues(void* context, const MorvanexWizardValues* in) {
    if (in == nullptr) {
        return;
    }
    guardedVoid("taking the values", [&] {
        // Built whole first: the texts may point into the model's own.
        SetupModel::Values v;
        v.dsn = text(in->dsn);
        v.description = text(in->description);
        v.adaptedDsn = text(in->adaptedDsn);
        v.readOnly = in->readOnly != 0;
        v.autoDetect = in->autoDetect != 0;
        v.wideApi = in->wideApi != 0;
        v.unicodeTypes = in->unicodeTypes != 0;
        v.encoding = in->encoding == 1 ? 1 : 0;
        v.queryLogOn = in->queryLogOn != 0;
        v.queryLogTime = text(in->queryLogTime);
        v.queryLogFile = text(in->queryLogFile);
        self(context).model_.values() = std::move(v);
    });
}

void WizardModelBridge::buttons(void* context, int panel, MorvanexWizardButtons* out) {
    if (out == nullptr) {
        return;
    }
    const SetupModel::Buttons b = self(context).model_.buttons(panelOf(panel));
    *out = MorvanexWizardButtons{
        .previous = b.previous,
        .continueOrDone = b.continueOrDone,
        .finishOrTest = b.finishOrTest,
        .lastPanel = b.lastPanel,
    };
}

int WizardModelBridge::mayLeave(void* context, int panel) {
    return self(context).model_.mayLeave(panelOf(panel)) ? 1 : 0;
}

void WizardModelBridge::encodingOptions(void* context, MorvanexWizardEncoding* out) {
    const SetupModel::EncodingOptions e = self(context).model_.updateEncodingOptions();
    if (out != nullptr) {
        *out = MorvanexWizardEncoding{
            .wideApiEnabled = e.wideApiEnabled,
            .unicodeTypesEnabled = e.unicodeTypesEnabled,
            .encodingEnabled = e.encodingEnabled,
        };
    }
}

int WizardModelBridge::queryLogOptionsEnabled(void* context) {
    return self(context).model_.queryLogOptionsEnabled() ? 1 : 0;
}

void WizardModelBridge::restoreLanguageSettings(void* context) {
    self(context).model_.restoreLanguageSettings();
}

const char* WizardModelBridge::adaptedDsnName(void* context, size_t index) {
    const std::vector<std::string>& names = self(context).model_.adaptedDsnList();
    return index < names.size() ? names[index].c_str() : nullptr;
}

const char* WizardModelBridge::encodingName(void* context, size_t index) {
    const std::vector<std::string>& names = self(context).encodings_;
    return index < names.size() ? names[index].c_str() : nullptr;
}

const char* WizardModelBridge::summary(void* context) {
    WizardModelBridge& wizard = self(context);
    return guarded("the summary", "", [&] {
        wizard.text_ = wizard.model_.summary();
        return wizard.text_.c_str();
    });
}

const char* WizardModelBridge::testStartText(void* context) {
    WizardModelBridge& wizard = self(context);
    return guarded("the test's text", "", [&] {
        wizard.text_ = ConnectionTest::startText(wizard.model_.values().adaptedDsn);
        return wizard.text_.c_str();
    });
}

int WizardModelBridge::startTest(void* context, const char* userId, const char* password,
                                 MorvanexTestDelivery deliver, void* receiver, const char** text) {
    WizardModelBridge& wizard = self(context);
    return guarded("the connection test", 0,
                   [&] { return wizard.beginTest(userId, password, deliver, receiver, text); });
}

int WizardModelBridge::beginTest(const char* userId, const char* password,
                                 MorvanexTestDelivery deliver, void* receiver, const char** text) {
    static const char* const kNone = "";
    if (text != nullptr) {
        *text = kNone;
    }
    // A test still running for an earlier sheet no longer reports.
    test_.reset();
    std::optional<std::string> connection;
    if (userId == nullptr) {
        text_ = ConnectionTest::cancelledText();
    } else if (*userId == '\0') {
        text_ = ConnectionTest::userIdRequiredText() + ConnectionTest::cancelledText();
    } else {
        // The values on screen were set by the dialog's thread before this
        // call: the worker gets a copy and never reads the controls.
        connection = model_.testConnectionText(userId, password != nullptr ? password : "");
        if (!connection) {
            text_ = copyDefaultLocalizedString("The DSN settings are too long to be saved.") +
                    "\n\n" + ConnectionTest::cancelledText();
        }
    }
    if (!connection || deliver == nullptr) {
        if (text != nullptr) {
            *text = text_.c_str();
        }
        return 0;
    }
    test_ = ConnectionTest::start(calls_, std::move(*connection),
                                  [deliver, receiver](const ConnectionTestResult& result) {
                                      deliverResult(deliver, receiver, result);
                                  });
    return 1;
}

void WizardModelBridge::cancelTest(void* context) {
    self(context).test_.reset();
}

void WizardModelBridge::about(void*) {
    guardedVoid("the about window", [] { runAboutWindow(); });
}

void WizardModelBridge::checkUpdates(void*) {
    guardedVoid("the update check", [] { checkForUpdates(); });
}

int WizardModelBridge::firstPanel(void* context) {
    return self(context).model_.firstPanel();
}
