#pragma once

#include <QObject>
#include <QPixmap>
#include <QString>

#include <array>

#include "driver/setup/ui/FormLoader.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

// The DSN wizard's window (form "SetupWindow"): four panels in a stacked
// widget, the language settings and test results sheets. It only binds
// widgets to the driver's model: every rule is the model's, asked through
// the wizard table.
class SetupControllerMORVANEX : public QObject {
  public:
    SetupControllerMORVANEX(const MorvanexUiHost* host, const MorvanexWizardModel* model);
    ~SetupControllerMORVANEX() override;

    bool loaded() const { return form_.ok(); }
    QDialog* theWindow() const { return theWindow_; }
    int currentPanelID() const { return currentPanelID_; }

    // Runs the window modally: 1 Done, 0 Cancel, MORVANEX_UI_NOT_SHOWN
    // when the form did not load.
    int runModal();

  private:
    static constexpr std::size_t kPanelCount =
        MORVANEX_WIZARD_CONCLUSION - MORVANEX_WIZARD_INTRODUCTION + 1;

    // Opens on the model's first panel; the controls show its values by then.
    void awakeFromNib();
    void setFields();
    void bindActions();

    void displayPanel(int panel);
    // The navigation buttons as the model answers for the current panel.
    void showButtons();
    // Puts the focus on a navigation button when it was left on nothing.
    void keepFocusShown();
    void cancel();
    void clickContinueOrDone();
    // Done as the model answers for its button; refused, the wizard stays
    // on its panel and says what is missing.
    bool mayFinish();
    void previous();
    void clickFinishOrTest();
    void clickAdvancedLanguage();
    void clickAdvancedLanguageCancel();
    void clickChooseLogFile();
    void controlTextDidChange();
    void updateEncodingOptions();
    void updateQueryLogOptions();
    void getDSNList();
    void displaySummary();
    void showAlert(const QString& title);

    // The controls' values to the model, and the model's to the controls.
    void pushValues();
    void showValues();
    void showLanguageValues();

    void runTest();
    void testComplete(const QString& text);
    void appendTestResults(const QString& text);
    static void deliverTestResult(void* receiver, const char* text);

    const MorvanexUiHost* host_;
    const MorvanexWizardModel* model_;
    FormLoader form_;
    QDialog* theWindow_ = nullptr;
    QLabel* imageView_ = nullptr;
    std::array<QLabel*, kPanelCount> dots_{};
    QLabel* panelTitle_ = nullptr;
    QStackedWidget* panel_ = nullptr;
    std::array<QWidget*, kPanelCount> panels_{};
    QDialog* advancedLanguageSheet_ = nullptr;
    QDialog* testResultsSheet_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* previousButton_ = nullptr;
    QPushButton* continueOrDoneButton_ = nullptr;
    QPushButton* finishOrTestButton_ = nullptr;
    QPushButton* aboutButton_ = nullptr;
    QPushButton* checkUpdatesButton_ = nullptr;
    QLineEdit* dsnName_ = nullptr;
    QLineEdit* descriptionField_ = nullptr;
    QComboBox* adaptedDSNField_ = nullptr;
    QLabel* advancedLanguageLabel_ = nullptr;
    QPushButton* advancedLanguageButton_ = nullptr;
    QCheckBox* readOnlyCheckbox_ = nullptr;
    QCheckBox* logLongQueries_ = nullptr;
    QLabel* logFileLabel_ = nullptr;
    QLineEdit* logFileName_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QLabel* queryTimeLabel_ = nullptr;
    QLineEdit* logQueryTime_ = nullptr;
    QCheckBox* autoDetectCheckbox_ = nullptr;
    QCheckBox* wideAPICheckbox_ = nullptr;
    QCheckBox* unicodeTypesCheckbox_ = nullptr;
    QLabel* encodingsLabel_ = nullptr;
    QComboBox* encodingsMenu_ = nullptr;
    QPushButton* advancedLanguageOKButton_ = nullptr;
    QPushButton* advancedLanguageCancelButton_ = nullptr;
    QLabel* summaryField_ = nullptr;
    // Scrolls: a driver message may run to thousands of characters.
    QPlainTextEdit* testResults_ = nullptr;
    QProgressBar* testProgress_ = nullptr;
    QPushButton* testResultsOKButton_ = nullptr;
    QPixmap activeDot_;
    QPixmap deselectedDot_;
    int currentPanelID_ = 0;
    bool wasAccepted_ = false;
};
