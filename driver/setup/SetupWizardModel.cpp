#include "driver/setup/SetupWizardModel.h"

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

SetupModel::Panel panelOf(int panel) {
    return panel >= SetupModel::Introduction && panel <= SetupModel::Conclusion
               ? static_cast<SetupModel::Panel>(panel)
               : SetupModel::Introduction;
}

}  // namespace

SetupWizardModel::SetupWizardModel(SetupModel& model, const DriverCalls& calls)
    : model_(model), calls_(calls), encodings_(SetupModel::encodingsMenu()) {
    table_.size = sizeof table_;
    table_.context = this;
    table_.values = &values;
    table_.setValues = &setValues;
    table_.buttons = &buttons;
    table_.mayLeave = &mayLeave;
    table_.encodingOptions = &encodingOptions;
    table_.queryLogOptionsEnabled = &queryLogOptionsEnabled;
    table_.restoreLanguageSettings = &restoreLanguageSettings;
    table_.adaptedDsnName = &adaptedDsnName;
    table_.encodingName = &encodingName;
    table_.summary = &summary;
    table_.testStartText = &testStartText;
    table_.startTest = &startTest;
    table_.cancelTest = &cancelTest;
    table_.about = &about;
    table_.checkUpdates = &checkUpdates;
}

SetupWizardModel::~SetupWizardModel() = default;

void SetupWizardModel::values(void* context, MorvanexWizardValues* out) {
    if (out == nullptr) {
        return;
    }
    const SetupModel::Values& v = self(context).model_.values();
    *out = MorvanexWizardValues{v.dsn.c_str(),         v.description.c_str(),
                                v.adaptedDsn.c_str(),  v.readOnly,
                                v.autoDetect,          v.wideApi,
                                v.unicodeTypes,        v.encoding,
                                v.queryLogOn,          v.queryLogTime.c_str(),
                                v.queryLogFile.c_str()};
}

void SetupWizardModel::setValues(void* context, const MorvanexWizardValues* in) {
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

void SetupWizardModel::buttons(void* context, int panel, MorvanexWizardButtons* out) {
    if (out == nullptr) {
        return;
    }
    const SetupModel::Buttons b = self(context).model_.buttons(panelOf(panel));
    *out = MorvanexWizardButtons{b.previous, b.continueOrDone, b.finishOrTest, b.lastPanel};
}

int SetupWizardModel::mayLeave(void* context, int panel) {
    return self(context).model_.mayLeave(panelOf(panel)) ? 1 : 0;
}

void SetupWizardModel::encodingOptions(void* context, MorvanexWizardEncoding* out) {
    const SetupModel::EncodingOptions e = self(context).model_.updateEncodingOptions();
    if (out != nullptr) {
        *out = MorvanexWizardEncoding{e.wideApiEnabled, e.unicodeTypesEnabled, e.encodingEnabled};
    }
}

int SetupWizardModel::queryLogOptionsEnabled(void* context) {
    return self(context).model_.queryLogOptionsEnabled() ? 1 : 0;
}

void SetupWizardModel::restoreLanguageSettings(void* context) {
    self(context).model_.restoreLanguageSettings();
}

const char* SetupWizardModel::adaptedDsnName(void* context, size_t index) {
    const std::vector<std::string>& names = self(context).model_.adaptedDsnList();
    return index < names.size() ? names[index].c_str() : nullptr;
}

const char* SetupWizardModel::encodingName(void* context, size_t index) {
    const std::vector<std::string>& names = self(context).encodings_;
    return index < names.size() ? names[index].c_str() : nullptr;
}

const char* SetupWizardModel::summary(void* context) {
    SetupWizardModel& wizard = self(context);
    return guarded("the summary", "", [&] {
        wizard.text_ = wizard.model_.summary();
        return wizard.text_.c_str();
    });
}

const char* SetupWizardModel::testStartText(void* context) {
    SetupWizardModel& wizard = self(context);
    return guarded("the test's text", "", [&] {
        wizard.text_ = ConnectionTest::startText(wizard.model_.values().adaptedDsn);
        return wizard.text_.c_str();
    });
}

int SetupWizardModel::startTest(void* context, const char* userId, const char* password,
                                MorvanexTestDelivery deliver, void* receiver, const char** text) {
    SetupWizardModel& wizard = self(context);
    return guarded("the connection test", 0,
                   [&] { return wizard.beginTest(userId, password, deliver, receiver, text); });
}

int SetupWizardModel::beginTest(const char* userId, const char* password,
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

void SetupWizardModel::cancelTest(void* context) {
    self(context).test_.reset();
}

void SetupWizardModel::about(void*) {
    guardedVoid("the about window", [] { runAboutWindow(); });
}

void SetupWizardModel::checkUpdates(void*) {
    guardedVoid("the update check", [] { checkForUpdates(); });
}
