#include "driver/setup/ui/SetupControllerMORVANEX.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>

#include "driver/setup/ui/CocoaAlertMORVANEX.h"
#include "driver/setup/ui/CocoaLoginMORVANEX.h"

namespace {

// Panel n's title, English key of the host's strings.
constexpr const char* kPanelTitles[] = {
    "Introduction",
    "Enter the data source name and description",
    "Enter the database information",
    "Conclusion",
};
constexpr int kFirstPanel = MORVANEX_WIZARD_INTRODUCTION;
constexpr int kLastPanel = MORVANEX_WIZARD_CONCLUSION;
static_assert(std::size(kPanelTitles) == kLastPanel - kFirstPanel + 1);

QString utf8(const char* text) {
    return QString::fromUtf8(text != nullptr ? text : "");
}

// The controls' texts as UTF-8, kept alive while the model reads them.
struct Snapshot {
    QByteArray dsn, description, adaptedDsn, queryLogTime, queryLogFile;
    MorvanexWizardValues values{};

    void point() {
        values.dsn = dsn.constData();
        values.description = description.constData();
        values.adaptedDsn = adaptedDsn.constData();
        values.queryLogTime = queryLogTime.constData();
        values.queryLogFile = queryLogFile.constData();
    }
};

QPixmap picture(const MorvanexUiHost* host, const char* name) {
    if (host == nullptr || host->resourcesPath == nullptr) {
        return {};
    }
    // A missing picture leaves its view empty.
    return QPixmap(utf8(host->resourcesPath) + QLatin1Char('/') + QLatin1String(name) +
                   QLatin1String(".png"));
}

}  // namespace

SetupControllerMORVANEX::SetupControllerMORVANEX(const MorvanexUiHost* host,
                                                 const MorvanexWizardModel* model)
    : host_(host),
      model_(model),
      form_(host, QStringLiteral("SetupWindow"), "window"),
      theWindow_(form_.outlet<QDialog>("theWindow")),
      imageView_(form_.outlet<QLabel>("imageView")),
      dots_{form_.outlet<QLabel>("introductionDot"), form_.outlet<QLabel>("dataSourceDot"),
            form_.outlet<QLabel>("databaseDot"), form_.outlet<QLabel>("conclusionDot")},
      panelTitle_(form_.outlet<QLabel>("panelTitle")),
      panel_(form_.outlet<QStackedWidget>("panel")),
      panels_{form_.outlet<QWidget>("introductionPanel"), form_.outlet<QWidget>("dataSourcePanel"),
              form_.outlet<QWidget>("databasePanel"), form_.outlet<QWidget>("conclusionPanel")},
      advancedLanguageSheet_(form_.outlet<QDialog>("advancedLanguageSheet")),
      testResultsSheet_(form_.outlet<QDialog>("testResultsSheet")),
      cancelButton_(form_.outlet<QPushButton>("cancelButton")),
      previousButton_(form_.outlet<QPushButton>("previousButton")),
      continueOrDoneButton_(form_.outlet<QPushButton>("continueOrDoneButton")),
      finishOrTestButton_(form_.outlet<QPushButton>("finishOrTestButton")),
      aboutButton_(form_.outlet<QPushButton>("aboutButton")),
      checkUpdatesButton_(form_.outlet<QPushButton>("checkUpdatesButton")),
      dsnName_(form_.outlet<QLineEdit>("dsnName")),
      descriptionField_(form_.outlet<QLineEdit>("descriptionField")),
      adaptedDSNField_(form_.outlet<QComboBox>("adaptedDSNField")),
      advancedLanguageLabel_(form_.outlet<QLabel>("advancedLanguageLabel")),
      advancedLanguageButton_(form_.outlet<QPushButton>("advancedLanguageButton")),
      readOnlyCheckbox_(form_.outlet<QCheckBox>("readOnlyCheckbox")),
      logLongQueries_(form_.outlet<QCheckBox>("logLongQueries")),
      logFileLabel_(form_.outlet<QLabel>("logFileLabel")),
      logFileName_(form_.outlet<QLineEdit>("logFileName")),
      chooseButton_(form_.outlet<QPushButton>("chooseButton")),
      queryTimeLabel_(form_.outlet<QLabel>("queryTimeLabel")),
      logQueryTime_(form_.outlet<QLineEdit>("logQueryTime")),
      autoDetectCheckbox_(form_.outlet<QCheckBox>("autoDetectCheckbox")),
      wideAPICheckbox_(form_.outlet<QCheckBox>("wideAPICheckbox")),
      unicodeTypesCheckbox_(form_.outlet<QCheckBox>("unicodeTypesCheckbox")),
      encodingsLabel_(form_.outlet<QLabel>("encodingsLabel")),
      encodingsMenu_(form_.outlet<QComboBox>("encodingsMenu")),
      advancedLanguageOKButton_(form_.outlet<QPushButton>("advancedLanguageOKButton")),
      advancedLanguageCancelButton_(form_.outlet<QPushButton>("advancedLanguageCancelButton")),
      summaryField_(form_.outlet<QLabel>("summaryField")),
      testResults_(form_.outlet<QPlainTextEdit>("testResults")),
      testProgress_(form_.outlet<QProgressBar>("testProgress")),
      testResultsOKButton_(form_.outlet<QPushButton>("testResultsOKButton")) {
    if (!form_.ok() || model_ == nullptr) {
        return;
    }
    for (QDialog* sheet : {advancedLanguageSheet_, testResultsSheet_}) {
        sheet->setWindowFlags(sheet->windowFlags() | Qt::Sheet);
        sheet->setWindowModality(Qt::WindowModal);
    }
    bindActions();
    // The values first: opening on the last panel reads the controls for
    // its summary, and a wizard that comes back must find them as left.
    setFields();
    awakeFromNib();
}

SetupControllerMORVANEX::~SetupControllerMORVANEX() {
    // No result may be delivered to a controller that is gone.
    if (form_.ok() && model_ != nullptr) {
        model_->cancelTest(model_->context);
    }
}

void SetupControllerMORVANEX::bindActions() {
    const auto on = [this](QPushButton* button, void (SetupControllerMORVANEX::*action)()) {
        QObject::connect(button, &QPushButton::clicked, this, action);
    };
    on(cancelButton_, &SetupControllerMORVANEX::cancel);
    on(continueOrDoneButton_, &SetupControllerMORVANEX::clickContinueOrDone);
    on(previousButton_, &SetupControllerMORVANEX::previous);
    on(finishOrTestButton_, &SetupControllerMORVANEX::clickFinishOrTest);
    on(advancedLanguageButton_, &SetupControllerMORVANEX::clickAdvancedLanguage);
    // Escape on the language sheet is its Cancel too.
    QObject::connect(advancedLanguageCancelButton_, &QPushButton::clicked, advancedLanguageSheet_,
                     &QDialog::reject);
    QObject::connect(advancedLanguageSheet_, &QDialog::rejected, this,
                     &SetupControllerMORVANEX::clickAdvancedLanguageCancel);
    on(chooseButton_, &SetupControllerMORVANEX::clickChooseLogFile);
    QObject::connect(advancedLanguageOKButton_, &QPushButton::clicked, advancedLanguageSheet_,
                     &QDialog::accept);
    QObject::connect(testResultsOKButton_, &QPushButton::clicked, testResultsSheet_,
                     &QDialog::accept);
    QObject::connect(aboutButton_, &QPushButton::clicked, this,
                     [this] { model_->about(model_->context); });
    QObject::connect(checkUpdatesButton_, &QPushButton::clicked, this,
                     [this] { model_->checkUpdates(model_->context); });
    for (QCheckBox* box : {autoDetectCheckbox_, wideAPICheckbox_, unicodeTypesCheckbox_}) {
        QObject::connect(box, &QCheckBox::clicked, this,
                         &SetupControllerMORVANEX::updateEncodingOptions);
    }
    QObject::connect(logLongQueries_, &QCheckBox::clicked, this,
                     &SetupControllerMORVANEX::updateQueryLogOptions);
    QObject::connect(dsnName_, &QLineEdit::textEdited, this,
                     &SetupControllerMORVANEX::controlTextDidChange);
    // The user's edits and picks only: filling the box must not send half
    // filled controls to the model.
    QObject::connect(adaptedDSNField_, &QComboBox::activated, this,
                     &SetupControllerMORVANEX::controlTextDidChange);
    if (QLineEdit* edit = adaptedDSNField_->lineEdit()) {
        QObject::connect(edit, &QLineEdit::textEdited, this,
                         &SetupControllerMORVANEX::controlTextDidChange);
    }
}

void SetupControllerMORVANEX::awakeFromNib() {
    imageView_->setPixmap(picture(host_, "vwlogo_background"));
    const QPixmap inactive = picture(host_, "inactive_dot");
    for (QLabel* dot : dots_) {
        dot->setPixmap(inactive);
    }
    activeDot_ = picture(host_, "active_dot");
    deselectedDot_ = picture(host_, "deselected_dot");
    const int first = MORVANEX_UI_HAS(MorvanexWizardModel, model_, firstPanel)
                          ? model_->firstPanel(model_->context)
                          : kFirstPanel;
    displayPanel(first >= kFirstPanel && first <= kLastPanel ? first : kFirstPanel);
}

void SetupControllerMORVANEX::setFields() {
    for (std::size_t i = 0; const char* name = model_->encodingName(model_->context, i); ++i) {
        encodingsMenu_->addItem(utf8(name));
    }
    showValues();
    updateEncodingOptions();
    updateQueryLogOptions();
    getDSNList();
}

int SetupControllerMORVANEX::runModal() {
    if (!form_.ok() || model_ == nullptr) {
        return MORVANEX_UI_NOT_SHOWN;
    }
    wasAccepted_ = false;
    theWindow_->exec();
    return wasAccepted_ ? 1 : 0;
}

void SetupControllerMORVANEX::pushValues() {
    Snapshot s;
    s.dsn = dsnName_->text().toUtf8();
    s.description = descriptionField_->text().toUtf8();
    s.adaptedDsn = adaptedDSNField_->currentText().toUtf8();
    s.queryLogTime = logQueryTime_->text().toUtf8();
    s.queryLogFile = logFileName_->text().toUtf8();
    s.values.readOnly = readOnlyCheckbox_->isChecked();
    s.values.autoDetect = autoDetectCheckbox_->isChecked();
    s.values.wideApi = wideAPICheckbox_->isChecked();
    s.values.unicodeTypes = unicodeTypesCheckbox_->isChecked();
    s.values.encoding = encodingsMenu_->currentIndex() == 1 ? 1 : 0;
    s.values.queryLogOn = logLongQueries_->isChecked();
    s.point();
    model_->setValues(model_->context, &s.values);
}

void SetupControllerMORVANEX::showValues() {
    MorvanexWizardValues v{};
    model_->values(model_->context, &v);
    dsnName_->setText(utf8(v.dsn));
    descriptionField_->setText(utf8(v.description));
    adaptedDSNField_->setEditText(utf8(v.adaptedDsn));
    readOnlyCheckbox_->setChecked(v.readOnly != 0);
    logLongQueries_->setChecked(v.queryLogOn != 0);
    logFileName_->setText(utf8(v.queryLogFile));
    logQueryTime_->setText(utf8(v.queryLogTime));
    showLanguageValues();
}

void SetupControllerMORVANEX::showLanguageValues() {
    MorvanexWizardValues v{};
    model_->values(model_->context, &v);
    autoDetectCheckbox_->setChecked(v.autoDetect != 0);
    wideAPICheckbox_->setChecked(v.wideApi != 0);
    unicodeTypesCheckbox_->setChecked(v.unicodeTypes != 0);
    encodingsMenu_->setCurrentIndex(v.encoding == 1 ? 1 : 0);
}

void SetupControllerMORVANEX::displayPanel(int n) {
    // Leaving any panel asks the model; only the data source panel can refuse.
    if (currentPanelID_ >= kFirstPanel) {
        pushValues();
        if (model_->mayLeave(model_->context, currentPanelID_) == 0) {
            showAlert(form_.localize(QStringLiteral("The DSN name you have entered is invalid.")));
            return;
        }
    }
    if (n == currentPanelID_ || n < kFirstPanel || n > kLastPanel) {
        return;
    }
    if (currentPanelID_ >= kFirstPanel) {
        dots_[currentPanelID_ - kFirstPanel]->setPixmap(deselectedDot_);
    }
    const auto at = static_cast<std::size_t>(n - kFirstPanel);
    panel_->setCurrentWidget(panels_[at]);
    dots_[at]->setPixmap(activeDot_);
    panelTitle_->setText(form_.localize(QLatin1String(kPanelTitles[at])));
    if (n == MORVANEX_WIZARD_DATA_SOURCE) {
        dsnName_->setFocus();
    }
    currentPanelID_ = n;
    showButtons();
    keepFocusShown();
    if (n == kLastPanel) {
        displaySummary();
    }
}

void SetupControllerMORVANEX::keepFocusShown() {
    // Focus left with the panel it was in (Return in its last field; a
    // clicked button keeps it), so it goes to the default button, shown.
    const QWidget* focused = theWindow_->focusWidget();
    if (!theWindow_->isVisible() ||
        (focused != nullptr && focused->isVisible() && focused->focusPolicy() != Qt::NoFocus)) {
        return;
    }
    QPushButton* next =
        continueOrDoneButton_->isEnabled() ? continueOrDoneButton_ : previousButton_;
    next->setFocus(Qt::OtherFocusReason);
    theWindow_->setAttribute(Qt::WA_KeyboardFocusChange);
}

void SetupControllerMORVANEX::showButtons() {
    MorvanexWizardButtons buttons{};
    model_->buttons(model_->context, currentPanelID_, &buttons);
    previousButton_->setEnabled(buttons.previous != 0);
    continueOrDoneButton_->setEnabled(buttons.continueOrDone != 0);
    finishOrTestButton_->setEnabled(buttons.finishOrTest != 0);
    const bool last = buttons.lastPanel != 0;
    continueOrDoneButton_->setText(
        form_.localize(last ? QStringLiteral("Done") : QStringLiteral("Continue")));
    finishOrTestButton_->setText(
        form_.localize(last ? QStringLiteral("Test") : QStringLiteral("Finish")));
}

void SetupControllerMORVANEX::showAlert(const QString& title) {
    CocoaAlertMORVANEX alert(host_, theWindow_);
    if (!alert.loaded()) {
        return;
    }
    alert.setTitle(title);
    alert.setSecondaryMsg(QString());
    alert.setImage(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(64));
    alert.beginModalForLoginWindow();
}

void SetupControllerMORVANEX::cancel() {
    wasAccepted_ = false;
    theWindow_->done(0);
}

void SetupControllerMORVANEX::clickContinueOrDone() {
    if (currentPanelID_ < kLastPanel) {
        displayPanel(currentPanelID_ + 1);
        return;
    }
    pushValues();
    if (!mayFinish()) {
        return;
    }
    wasAccepted_ = true;
    theWindow_->done(0);
}

bool SetupControllerMORVANEX::mayFinish() {
    MorvanexWizardButtons buttons{};
    model_->buttons(model_->context, kLastPanel, &buttons);
    if (buttons.continueOrDone != 0) {
        return true;
    }
    const char* missing = dsnName_->text().isEmpty() ? "Enter a data source name."
                          : model_->mayLeave(model_->context, MORVANEX_WIZARD_DATA_SOURCE) == 0
                              ? "The DSN name you have entered is invalid."
                              : "Enter an adapted DSN.";
    showAlert(form_.localize(QLatin1String(missing)));
    showButtons();
    return false;
}

void SetupControllerMORVANEX::previous() {
    displayPanel(currentPanelID_ - 1);
}

void SetupControllerMORVANEX::clickFinishOrTest() {
    if (currentPanelID_ < kLastPanel) {
        displayPanel(kLastPanel);
    } else {
        runTest();
    }
}

void SetupControllerMORVANEX::controlTextDidChange() {
    pushValues();
    showButtons();
}

void SetupControllerMORVANEX::updateEncodingOptions() {
    pushValues();
    MorvanexWizardEncoding options{};
    model_->encodingOptions(model_->context, &options);
    showLanguageValues();
    wideAPICheckbox_->setEnabled(options.wideApiEnabled != 0);
    unicodeTypesCheckbox_->setEnabled(options.unicodeTypesEnabled != 0);
    // A disabled label is drawn in the faint colour.
    encodingsLabel_->setEnabled(options.encodingEnabled != 0);
    encodingsMenu_->setEnabled(options.encodingEnabled != 0);
}

void SetupControllerMORVANEX::updateQueryLogOptions() {
    pushValues();
    const bool on = model_->queryLogOptionsEnabled(model_->context) != 0;
    // A disabled label greys with its field.
    for (QWidget* widget : std::initializer_list<QWidget*>{
             logFileLabel_, logFileName_, chooseButton_, queryTimeLabel_, logQueryTime_}) {
        widget->setEnabled(on);
    }
}

void SetupControllerMORVANEX::getDSNList() {
    const QString kept = adaptedDSNField_->currentText();
    adaptedDSNField_->clear();
    for (std::size_t i = 0; const char* name = model_->adaptedDsnName(model_->context, i); ++i) {
        adaptedDSNField_->addItem(utf8(name));
    }
    // The model put the first name into an empty field already.
    adaptedDSNField_->setEditText(kept);
}

void SetupControllerMORVANEX::displaySummary() {
    pushValues();
    QString text = utf8(model_->summary(model_->context));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    summaryField_->setText(text);
}

void SetupControllerMORVANEX::clickAdvancedLanguage() {
    advancedLanguageSheet_->exec();
}

void SetupControllerMORVANEX::clickAdvancedLanguageCancel() {
    model_->restoreLanguageSettings(model_->context);
    showLanguageValues();
    updateEncodingOptions();
}

void SetupControllerMORVANEX::clickChooseLogFile() {
    QFileDialog panel(theWindow_, form_.localize(QStringLiteral("Choose a log file name.")));
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setLabelText(QFileDialog::Accept, form_.localize(QStringLiteral("Choose")));
    panel.setWindowModality(Qt::WindowModal);
    const QString current = logFileName_->text();
    const QFileInfo proposed(
        current.isEmpty() ? QDir::homePath() + QStringLiteral("/Documents/query.log") : current);
    panel.setDirectory(proposed.absolutePath());
    panel.selectFile(proposed.fileName());
    if (panel.exec() == QDialog::Accepted && !panel.selectedFiles().isEmpty()) {
        logFileName_->setText(panel.selectedFiles().constFirst());
    }
}

void SetupControllerMORVANEX::runTest() {
    pushValues();
    testResults_->setPlainText(utf8(model_->testStartText(model_->context)));
    testProgress_->show();
    testResultsSheet_->show();

    CocoaLoginMORVANEX login(host_);
    bool accepted = false;
    if (login.loaded()) {
        login.setDSN(dsnName_->text());
        login.showKeychain(false);
        login.beginModalForLoginWindow();
        accepted = login.getIsAccepted();
    }
    QByteArray user = login.loaded() ? login.getUserID().toUtf8() : QByteArray();
    QByteArray password = login.loaded() ? login.getPassword().toUtf8() : QByteArray();
    const char* text = nullptr;
    const int started = model_->startTest(model_->context, accepted ? user.constData() : nullptr,
                                          accepted ? password.constData() : nullptr,
                                          &deliverTestResult, this, &text);
    password.fill('\0');
    if (started == 0) {
        testProgress_->hide();
        appendTestResults(utf8(text));
    }
    // Back from the login prompt the keys must reach this window (Return
    // and Space on OK, Escape), not the wizard it blocks.
    testResultsOKButton_->setFocus();
    testResultsSheet_->activateWindow();
    testResultsSheet_->exec();
    // A result still on its way is not wanted any more.
    model_->cancelTest(model_->context);
}

void SetupControllerMORVANEX::deliverTestResult(void* receiver, const char* text) {
    // On the test's thread: queue the text for the dialog's thread, where a
    // controller that is gone by then drops it.
    auto* self = static_cast<SetupControllerMORVANEX*>(receiver);
    QMetaObject::invokeMethod(
        self, [self, result = utf8(text)] { self->testComplete(result); }, Qt::QueuedConnection);
}

void SetupControllerMORVANEX::testComplete(const QString& text) {
    testProgress_->hide();
    appendTestResults(text);
}

void SetupControllerMORVANEX::appendTestResults(const QString& text) {
    testResults_->moveCursor(QTextCursor::End);
    testResults_->insertPlainText(text);
}
