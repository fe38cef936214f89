// The DSN wizard as the setup entry opens it: the driver's own model lent
// to the built dialog module, clicked through offscreen, with a picture of
// each panel under the build folder.
// ctest-timeout: 120
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>

#include <atomic>
#include <filesystem>
#include <thread>

#include "driver/setup/ConfigDsn.h"
#include "driver/setup/LoginPrompt.h"
#include "driver/setup/SetupDialogs.h"
#include "platform/InstallerFacade.h"
#include "tests/setup/FakeDriverCalls.h"
#include "tests/setup/FakePrivilegedRunner.h"
#include "tests/setup/RelayTestServer.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"
#include "tests/ui/UiTestSupport.h"

namespace {

using ui_test::click;
using ui_test::savePicture;
using ui_test::whenModal;

template <typename Widget>
Widget* child(QWidget* parent, const char* name) {
    auto* widget = parent->findChild<Widget*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        ADD_FAILURE() << "no widget " << name;
        throw std::runtime_error(name);
    }
    return widget;
}

int panelShown(QWidget* window) {
    return child<QStackedWidget>(window, "panel")->currentIndex() + 1;
}

// Runs `action` on the modal dialog of that name once `ready` holds for it.
void whenShown(const char* name, std::function<bool(QWidget*)> ready,
               std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->objectName() == QLatin1String(name) && ready(modal)) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

void typeInto(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

// Return or Escape as the user types it: to the focused control, which
// passes on what it does not take.
void press(QWidget* window, Qt::Key key) {
    QWidget* focused = window->focusWidget();
    QTest::keyClick(focused != nullptr && focused->isVisible() ? focused : window, key);
}

int xIn(QWidget* window, QWidget* widget) {
    return widget->mapTo(window, QPoint(0, 0)).x();
}

// The layout as it stands once pending relayouts are done.
void settle(QWidget* window) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window->layout()->activate();
}

// The alert panel, once it shows over whatever is open.
void whenAlertShown(std::function<void(QWidget*)> action) {
    whenShown(
        "loginWindow",
        [](QWidget* alert) { return alert->findChild<QLabel*>("secondaryField") != nullptr; },
        std::move(action));
}

// Every control's value in one line: the fields, then the boxes and the
// encoding's index.
std::string controlsOf(QWidget* window) {
    QStringList shown;
    for (const char* field : {"dsnName", "descriptionField", "logQueryTime", "logFileName"}) {
        shown << child<QLineEdit>(window, field)->text();
    }
    shown << child<QComboBox>(window, "adaptedDSNField")->currentText();
    for (const char* box :
         {"readOnlyCheckbox", "autoDetectCheckbox", "wideAPICheckbox", "logLongQueries"}) {
        shown << QString::number(child<QCheckBox>(window, box)->isChecked());
    }
    shown << QString::number(child<QComboBox>(window, "encodingsMenu")->currentIndex());
    return shown.join('|').toStdString();
}

// Types `name` and something other than the opening value into every
// control of a new wizard, as a user would, and walks to its last panel.
const std::string kTypedAfterName = "|Main ledger|250|/var/tmp/q.log|pg15|1|0|1|1|1";
void typeEverything(QWidget* window, const QString& name) {
    click(window, "continueOrDoneButton");
    typeInto(child<QLineEdit>(window, "dsnName"), name);
    typeInto(child<QLineEdit>(window, "descriptionField"), "Main ledger");
    click(window, "continueOrDoneButton");
    typeInto(child<QComboBox>(window, "adaptedDSNField")->lineEdit(), "pg15");
    for (const char* boxName : {"readOnlyCheckbox", "logLongQueries"}) {
        auto* box = child<QCheckBox>(window, boxName);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    }
    typeInto(child<QLineEdit>(window, "logQueryTime"), "250");
    typeInto(child<QLineEdit>(window, "logFileName"), "/var/tmp/q.log");
    whenModal([](QWidget* sheet) {
        QTest::mouseClick(child<QCheckBox>(sheet, "autoDetectCheckbox"), Qt::LeftButton);
        QTest::mouseClick(child<QCheckBox>(sheet, "wideAPICheckbox"), Qt::LeftButton);
        child<QComboBox>(sheet, "encodingsMenu")->setCurrentIndex(1);
        click(sheet, "advancedLanguageOKButton");
    });
    click(window, "advancedLanguageButton");
    click(window, "continueOrDoneButton");
}

std::string attributeText(const std::optional<std::string>& list) {
    std::string text = list.value_or("(none)");
    std::replace(text.begin(), text.end(), '\0', '|');
    return text;
}

class SetupWindow : public ::testing::Test {
  protected:
    OdbcSandbox sandbox_;
    ScopedEnv language_{"LANGUAGE", "en"};
    ScopedEnv platform_{"QT_QPA_PLATFORM", "offscreen"};
    ScopedEnv module_{"MORVANEX_TEST_UI_MODULE", MORVANEX_UI_TEST_MODULE};
    ScopedEnv bundles_{"MORVANEX_BUNDLE_PATH", std::string(MORVANEX_BINARY_DIR) + "/bundles"};
    std::unique_ptr<SetupDialogs> dialogs_ = SetupDialogs::forHost(DriverCalls{});

    void TearDown() override { InstallerFacade::instance().setRefusal(nullptr); }
};

// Overwrite declined, or a system DSN nobody would write: the alert says
// why (beside the fixed text, what the helper's answer means), and the
// wizard comes back on its last panel with every control as it was left.
TEST_F(SetupWindow, AfterADeclinedOverwriteOrAFailedSaveEveryValueIsBack) {
    std::filesystem::create_directories(sandbox_.root() / "run");
    sandbox_.addDriver("morvanex", {{"Driver", "/nonexistent/morvanex.so"}});
    sandbox_.addDsn("x", "morvanex", {{"DriverDSN", "old"}}, OdbcSandbox::Scope::User);
    InstallerFacade::instance().setRefusal(
        [](std::string_view function) { return function.rfind("SQLWrite", 0) == 0; });
    struct Case {
        const char* label;
        const char* name;
        std::optional<std::string> relayReply;  // Quillmark's answer; none: it does not run
        PrivilegedRunner::Outcome pkexec;       // the bundle's helper run through pkexec
        const char* said;
        WORD request = ODBC_ADD_DSN;  // configuring: DSN Old, renamed to `name`
    };
    const Case cases[] = {
        {"declined", "x", std::nullopt, {}, "x is already a data source name. Overwrite?"},
        {"rename-declined", "x", std::nullopt, {}, "x is already a", ODBC_CONFIG_DSN},
        {"helper-refused", "Sales", "ERROR 5370", {}, "helper refused the change. Only root, or"},
        {"helper-failed", "Sales", "ERROR 5366", {}, "change. It answered: ERROR 5366"},
        {"no-pkexec", "Sales", std::nullopt, {ENOENT, -1, ""}, "could not be reached. An admin"},
    };
    const std::string fixed =
        "permissions for the file: " + sandbox_.odbcIni(OdbcSandbox::Scope::System).string() +
        "\n\nThe privileged helper ";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const bool declined = c.name == std::string("x");
        FakePrivilegedRunner runner;
        runner.outcome = c.pkexec;
        std::optional<RelayTestServer> relay;
        if (c.relayReply) {
            relay.emplace(RelayTestServer::Behaviour::Reply, *c.relayReply);
        }
        std::string message;
        std::string back;
        whenShown(
            "theWindow", [](QWidget*) { return true; },
            [&](QWidget* window) {
                typeEverything(window, c.name);
                whenAlertShown([&](QWidget* alert) {
                    message = child<QLabel>(alert, "secondaryField")->text().toStdString();
                    savePicture(alert, std::string("wizard-alert-") + c.label);
                    const bool asked = child<QPushButton>(alert, "secondBtn")->isVisible();
                    click(alert, declined && asked ? "secondBtn" : "okButton");
                    whenShown(
                        "theWindow", [](QWidget* again) { return panelShown(again) == 4; },
                        [&](QWidget* again) {
                            back = controlsOf(again);
                            savePicture(again, std::string("wizard-back-") + c.label);
                            click(again, "cancelButton");
                        });
                });
                click(window, "continueOrDoneButton");
            });
        InstallerFacade::instance().setConfigMode(declined ? ODBC_USER_DSN : ODBC_SYSTEM_DSN);
        // Cancelled after the failed save, the request fails.
        const wchar_t* named = c.request == ODBC_ADD_DSN ? L"DSN=x\0" : L"DSN=Old\0";
        EXPECT_EQ(ConfigDsn(*dialogs_).run(c.request, L"morvanex", named), declined);
        EXPECT_EQ(back, c.name + kTypedAfterName);
        EXPECT_NE(message.find(c.said), std::string::npos) << message;
        EXPECT_EQ(message.find(fixed) != std::string::npos, !declined) << message;
        EXPECT_EQ(runner.calls.size(), c.relayReply || declined ? 0u : 1u);
    }
}

// Done that would save no name is refused on its panel with the reason,
// however the button came to be pressed.
TEST_F(SetupWindow, DoneWithoutANameStaysOnItsPanel) {
    SetupModel model(std::nullopt, "");
    model.reopenAt(SetupModel::Conclusion);
    QString said;
    int afterDone = 0;
    whenShown(
        "theWindow", [](QWidget*) { return true; },
        [&](QWidget* window) {
            auto* done = child<QPushButton>(window, "continueOrDoneButton");
            EXPECT_FALSE(done->isEnabled());
            whenAlertShown([&](QWidget* alert) {
                said = child<QLabel>(alert, "titleField")->text();
                savePicture(alert, "wizard-done-refused");
                click(alert, "okButton");
            });
            done->setEnabled(true);  // as a button left enabled would be pressed
            click(window, "continueOrDoneButton");
            afterDone = window->isVisible() ? panelShown(window) : 0;
            click(window, "cancelButton");
        });
    EXPECT_EQ(runSetupDialog(*dialogs_, model).outcome, SetupDialogs::Outcome::Cancelled);
    EXPECT_EQ(said, "Enter a data source name.");
    EXPECT_EQ(afterDone, 4);
}

TEST_F(SetupWindow, AddWalksThePanelsAndHandsBackTheList) {
    sandbox_.addDsn("pgB", "x", {}, OdbcSandbox::Scope::System);
    sandbox_.addDsn("pga", "x", {}, OdbcSandbox::Scope::System);
    std::vector<int> panels;
    bool continueNeedsName = false;
    QString invalidTitle;
    int panelAfterInvalid = 0;
    QString offeredFirst;
    bool languageRestored = false;
    QString results;
    QString summary;
    whenModal([&](QWidget* window) {
        savePicture(window, "wizard-add-1");
        panels.push_back(panelShown(window));
        click(window, "continueOrDoneButton");
        panels.push_back(panelShown(window));
        continueNeedsName = !child<QPushButton>(window, "continueOrDoneButton")->isEnabled();
        auto* name = child<QLineEdit>(window, "dsnName");
        QTest::keyClicks(name, "Sales;1");
        whenModal([&](QWidget* alert) {
            invalidTitle = child<QLabel>(alert, "titleField")->text();
            click(alert, "okButton");
        });
        click(window, "continueOrDoneButton");
        panelAfterInvalid = panelShown(window);
        typeInto(name, "Sales");
        QTest::keyClicks(child<QLineEdit>(window, "descriptionField"), "Main ledger");
        savePicture(window, "wizard-add-2");
        click(window, "continueOrDoneButton");
        panels.push_back(panelShown(window));

        auto* adapted = child<QComboBox>(window, "adaptedDSNField");
        offeredFirst = adapted->currentText();
        typeInto(adapted->lineEdit(), "pg15");
        // The language sheet's Cancel puts back the opening values.
        whenModal([&](QWidget* sheet) {
            QTest::mouseClick(child<QCheckBox>(sheet, "autoDetectCheckbox"), Qt::LeftButton);
            QTest::mouseClick(child<QCheckBox>(sheet, "wideAPICheckbox"), Qt::LeftButton);
            savePicture(sheet, "wizard-language-sheet");
            click(sheet, "advancedLanguageCancelButton");
        });
        click(window, "advancedLanguageButton");
        auto* wide = child<QCheckBox>(window, "wideAPICheckbox");
        languageRestored = child<QCheckBox>(window, "autoDetectCheckbox")->isChecked() &&
                           !wide->isChecked() && !wide->isEnabled();
        savePicture(window, "wizard-add-3");
        click(window, "continueOrDoneButton");
        panels.push_back(panelShown(window));
        summary = child<QLabel>(window, "summaryField")->text();
        savePicture(window, "wizard-add-4");

        // Test with no user ID: nothing starts.
        whenModal([&](QWidget* login) { click(login, "okButton"); });
        whenShown(
            "testResultsSheet",
            [](QWidget* sheet) {
                return child<QPlainTextEdit>(sheet, "testResults")
                    ->toPlainText()
                    .endsWith("Test cancelled.");
            },
            [&](QWidget* sheet) {
                results = child<QPlainTextEdit>(sheet, "testResults")->toPlainText();
                savePicture(sheet, "wizard-test-results");
                click(sheet, "testResultsOKButton");
            });
        click(window, "finishOrTestButton");
        click(window, "continueOrDoneButton");
    });
    const SetupDialogResult result = runSetupDialog(*dialogs_, std::nullopt, "");
    EXPECT_EQ(result.outcome, SetupDialogs::Outcome::Accepted);
    EXPECT_EQ(panels, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(continueNeedsName);
    EXPECT_EQ(invalidTitle, "The DSN name you have entered is invalid.");
    EXPECT_EQ(panelAfterInvalid, 2);
    EXPECT_EQ(offeredFirst, "pga");
    EXPECT_TRUE(languageRestored);
    EXPECT_TRUE(
        summary.contains("Data Source Name: Sales\nDescription: Main ledger\n"
                         "Adapted DSN: pg15\n"))
        << summary.toStdString();
    EXPECT_EQ(results,
              "Attempting to connect to adapted DSN pg15 ...\n\nUser ID is required for test.\n\n"
              "Test cancelled.");
    EXPECT_EQ(attributeText(result.attributes),
              "DSN=Sales|Description=Main ledger|DriverDSN=pg15|ReadOnly=|AutoDetectEncoding=|"
              "WideAPI=|UnicodeTextTypes=|MultiByteEncoding=|QueryLog_On=|QueryLogTime=|"
              "QueryLogFile=||");
}

TEST_F(SetupWindow, ConfigureShowsTheDsnAndReturnsTheChange) {
    sandbox_.addDsn("Orders", "morvanex",
                    {{"Description", "old"},
                     {"DriverDSN", "pg"},
                     {"ReadOnly", "Yes"},
                     {"WideAPI", "Yes"},
                     {"QueryLog_On", "Yes"},
                     {"QueryLogTime", "250"},
                     {"QueryLogFile", "/var/tmp/q.log"}},
                    OdbcSandbox::Scope::User);
    struct Shown {
        const char* field;
        QString text;
    };
    const Shown expected[] = {{"dsnName", "Orders"},
                              {"descriptionField", "old"},
                              {"logQueryTime", "250"},
                              {"logFileName", "/var/tmp/q.log"}};
    std::vector<QString> shown;
    bool boxes = false;
    whenModal([&](QWidget* window) {
        for (const Shown& e : expected) {
            shown.push_back(child<QLineEdit>(window, e.field)->text());
        }
        boxes = child<QCheckBox>(window, "readOnlyCheckbox")->isChecked() &&
                child<QCheckBox>(window, "logLongQueries")->isChecked() &&
                child<QCheckBox>(window, "wideAPICheckbox")->isChecked() &&
                !child<QCheckBox>(window, "autoDetectCheckbox")->isChecked() &&
                child<QComboBox>(window, "adaptedDSNField")->currentText() == "pg";
        click(window, "continueOrDoneButton");
        typeInto(child<QLineEdit>(window, "descriptionField"), "new");
        click(window, "finishOrTestButton");
        savePicture(window, "wizard-configure-4");
        click(window, "continueOrDoneButton");
    });
    const SetupDialogResult result = runSetupDialog(*dialogs_, "Orders", "");
    EXPECT_EQ(result.outcome, SetupDialogs::Outcome::Accepted);
    for (std::size_t i = 0; i < std::size(expected) && i < shown.size(); ++i) {
        EXPECT_EQ(shown[i], expected[i].text) << expected[i].field;
    }
    EXPECT_TRUE(boxes);
    EXPECT_EQ(attributeText(result.attributes),
              "DSN=Orders|Description=new|DriverDSN=pg|ReadOnly=Yes|AutoDetectEncoding=|"
              "WideAPI=Yes|UnicodeTextTypes=|MultiByteEncoding=|QueryLog_On=Yes|"
              "QueryLogTime=250|QueryLogFile=/var/tmp/q.log||");
}

TEST_F(SetupWindow, CancelAndUnchangedDoneHandBackNothing) {
    sandbox_.addDsn("Kept", "morvanex", {{"DriverDSN", "pg"}}, OdbcSandbox::Scope::User);
    struct Case {
        std::vector<const char*> presses;
        SetupDialogs::Outcome outcome;
    };
    const Case cases[] = {
        {{"continueOrDoneButton", "cancelButton"}, SetupDialogs::Outcome::Cancelled},
        {{"continueOrDoneButton", "finishOrTestButton", "continueOrDoneButton"},
         SetupDialogs::Outcome::Accepted}};
    for (const Case& c : cases) {
        whenModal([&](QWidget* window) {
            for (const char* press : c.presses) {
                click(window, press);
            }
        });
        const SetupDialogResult result = runSetupDialog(*dialogs_, "Kept", "");
        EXPECT_EQ(result.outcome, c.outcome) << c.presses.back();
        EXPECT_FALSE(result.attributes) << c.presses.back();
    }
}

TEST_F(SetupWindow, WithNoSystemDsnTheAdaptedNameIsTypedAndReturnWalksOn) {
    // The only DSN there is a user DSN: nothing is offered as adapted DSN.
    sandbox_.addDsn("mine", "x", {}, OdbcSandbox::Scope::User);
    struct Seen {
        int panel;
        bool next, finish;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
    QString offered = "(not seen)";
    whenModal([&](QWidget* window) {
        auto* next = child<QPushButton>(window, "continueOrDoneButton");
        auto* finish = child<QPushButton>(window, "finishOrTestButton");
        const auto returnAfterLooking = [&] {
            seen.push_back({panelShown(window), next->isEnabled(), finish->isEnabled()});
            press(window, Qt::Key_Return);
        };
        returnAfterLooking();
        returnAfterLooking();  // no name yet: stays
        QTest::keyClicks(child<QLineEdit>(window, "dsnName"), "Sales");
        returnAfterLooking();
        auto* adapted = child<QComboBox>(window, "adaptedDSNField");
        offered = adapted->currentText();
        returnAfterLooking();  // no adapted DSN yet: stays
        adapted->lineEdit()->setFocus();
        QTest::keyClicks(adapted->lineEdit(), "mine");
        returnAfterLooking();
        returnAfterLooking();  // Done
    });
    const SetupDialogResult result = runSetupDialog(*dialogs_, std::nullopt, "");
    const std::vector<Seen> expected = {{1, true, false},  {2, false, false}, {2, true, true},
                                        {3, false, false}, {3, true, true},   {4, true, true}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(offered, "");
    EXPECT_EQ(result.outcome, SetupDialogs::Outcome::Accepted);
    EXPECT_NE(attributeText(result.attributes).find("|DriverDSN=mine|"), std::string::npos)
        << attributeText(result.attributes);
}

TEST_F(SetupWindow, EscapeCancelsOnEveryPanel) {
    sandbox_.addDsn("Kept", "morvanex", {{"DriverDSN", "pg"}}, OdbcSandbox::Scope::User);
    bool languageRestored = false;
    for (int panel = 1; panel <= 4; ++panel) {
        whenModal([&](QWidget* window) {
            while (panelShown(window) < panel) {
                click(window, "continueOrDoneButton");
            }
            typeInto(child<QLineEdit>(window, "descriptionField"), "changed");
            if (panel == 3) {
                // Escape on the language sheet puts back what it opened with.
                whenModal([&](QWidget* sheet) {
                    QTest::mouseClick(child<QCheckBox>(sheet, "autoDetectCheckbox"),
                                      Qt::LeftButton);
                    press(sheet, Qt::Key_Escape);
                });
                click(window, "advancedLanguageButton");
                languageRestored = child<QCheckBox>(window, "autoDetectCheckbox")->isChecked();
            }
            press(window, Qt::Key_Escape);
        });
        const SetupDialogResult result = runSetupDialog(*dialogs_, "Kept", "");
        EXPECT_EQ(result.outcome, SetupDialogs::Outcome::Cancelled) << panel;
        EXPECT_FALSE(result.attributes) << panel;
    }
    EXPECT_TRUE(languageRestored);
}

// Return in panel 3's last field leaves the focus, drawn, on Done; the test
// results close on Return, Space or Escape typed where the system sends them.
TEST_F(SetupWindow, LastPanelAndTestResultsAnswerTheKeyboard) {
    sandbox_.addDsn("Kept", "morvanex", {{"DriverDSN", "pg"}, {"QueryLog_On", "Yes"}},
                    OdbcSandbox::Scope::User);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
        std::string seen;
        whenModal([&](QWidget* window) {
            click(window, "continueOrDoneButton");
            click(window, "continueOrDoneButton");
            child<QLineEdit>(window, "logQueryTime")->setFocus();
            press(window, Qt::Key_Return);
            seen = window->focusWidget()->objectName().toStdString() +
                   (window->testAttribute(Qt::WA_KeyboardFocusChange) ? " shown" : "");
            savePicture(window, "wizard-keyboard-4");
            whenModal([&](QWidget* login) { click(login, "okButton"); });
            whenShown(
                "testResultsSheet",
                [](QWidget* sheet) {
                    return child<QPlainTextEdit>(sheet, "testResults")->toPlainText().endsWith(".");
                },
                [&](QWidget* sheet) {
                    QTest::qWait(100);
                    if (QWidget* target = QApplication::focusWidget()) {
                        QTest::keyClick(target, key);
                    }
                    seen += sheet->isVisible() ? ", results open" : ", results closed";
                    click(sheet, "testResultsOKButton");
                });
            click(window, "finishOrTestButton");
            click(window, "cancelButton");
        });
        runSetupDialog(*dialogs_, "Kept", "");
        EXPECT_EQ(seen, "continueOrDoneButton shown, results closed") << key;
    }
}

TEST_F(SetupWindow, LeftColumnAndCancelStayPutAndTheRightColumnTakesAResize) {
    sandbox_.addDsn("Kept", "morvanex", {{"DriverDSN", "pg"}}, OdbcSandbox::Scope::User);
    struct Place {
        int image, cancel, side, content;
    };
    std::vector<Place> normal;
    std::vector<Place> wide;
    std::vector<std::pair<bool, bool>> logFileEnabled;  // label, field
    constexpr int kWider = 300;
    whenModal([&](QWidget* window) {
        auto* image = child<QLabel>(window, "imageView");
        auto* cancel = child<QPushButton>(window, "cancelButton");
        auto* side = child<QWidget>(window, "sideColumn");
        auto* content = child<QStackedWidget>(window, "panel");
        const auto measure = [&](std::vector<Place>& into) {
            settle(window);
            into.push_back(
                {xIn(window, image), xIn(window, cancel), side->width(), content->width()});
        };
        for (int panel = 1; panel <= 4; ++panel) {
            measure(normal);
            click(window, panel < 4 ? "continueOrDoneButton" : "previousButton");
        }
        window->resize(window->width() + kWider, window->height() + 100);
        for (int panel = 3; panel >= 1; --panel) {
            measure(wide);
            if (panel == 3) {
                savePicture(window, "wizard-resized-3");
                auto* box = child<QCheckBox>(window, "logLongQueries");
                for (int i = 0; i < 2; ++i) {
                    // On the box itself: a widened check box is not hit in its middle.
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
                    logFileEnabled.emplace_back(
                        child<QLabel>(window, "logFileLabel")->isEnabled(),
                        child<QLineEdit>(window, "logFileName")->isEnabled());
                }
            }
            click(window, "previousButton");
        }
        click(window, "cancelButton");
    });
    runSetupDialog(*dialogs_, "Kept", "");
    ASSERT_EQ(normal.size(), 4u);
    ASSERT_EQ(wide.size(), 3u);
    for (const std::vector<Place>* places : {&normal, &wide}) {
        for (const Place& p : *places) {
            EXPECT_EQ(p.image, normal[0].image);
            EXPECT_EQ(p.cancel, normal[0].cancel);
            EXPECT_EQ(p.side, normal[0].side);
            EXPECT_EQ(p.content, places->front().content);
        }
    }
    EXPECT_EQ(wide[0].content, normal[0].content + kWider);
    const std::vector<std::pair<bool, bool>> greying = {{true, true}, {false, false}};
    EXPECT_EQ(logFileEnabled, greying);
}

TEST_F(SetupWindow, TestResultArrivesWhileShownAndIsDroppedOnceClosed) {
    sandbox_.addDsn("Kept", "morvanex", {{"DriverDSN", "pg"}}, OdbcSandbox::Scope::User);
    const auto dialogs = SetupDialogs::forHost(fake_driver::calls);
    struct Case {
        bool holdUntilClosed;
        QString shown;
    };
    const Case cases[] = {
        {false,
         "Attempting to connect to adapted DSN pg ...\n\nAdapted driver version: info566 "
         "info567\n\nDatabase version: info568 info569\n\nTest completed successfully."},
        {true, "Attempting to connect to adapted DSN pg ...\n\n"},
    };
    for (const Case& c : cases) {
        fake_driver::answer(SQL_SUCCESS);
        fake_driver::hold(c.holdUntilClosed);
        QString shown;
        whenModal([&](QWidget* window) {
            click(window, "continueOrDoneButton");
            // Typed but never moved off: the test must still see it.
            QTest::keyClicks(child<QLineEdit>(window, "descriptionField"), "typed");
            click(window, "finishOrTestButton");
            whenModal([&](QWidget* login) {
                QTest::keyClicks(child<QLineEdit>(login, "userIDField"), "sam");
                QTest::keyClicks(child<QLineEdit>(login, "passwordField"), "se;cret");
                click(login, "okButton");
            });
            whenShown(
                "testResultsSheet",
                [&](QWidget* sheet) {
                    // A held test has begun once the fake saw its text; the
                    // sheet runs modally from then on.
                    return c.holdUntilClosed ? !fake_driver::connectionText().empty()
                                             : child<QPlainTextEdit>(sheet, "testResults")
                                                   ->toPlainText()
                                                   .endsWith("successfully.");
                },
                [&](QWidget* sheet) {
                    shown = child<QPlainTextEdit>(sheet, "testResults")->toPlainText();
                    click(sheet, "testResultsOKButton");
                });
            click(window, "finishOrTestButton");
            click(window, "continueOrDoneButton");
        });
        const SetupDialogResult result = runSetupDialog(*dialogs, "Kept", "");
        // The worker ends after the window is gone; its result goes nowhere.
        fake_driver::hold(false);
        EXPECT_TRUE(fake_driver::waitForFrees(2, std::chrono::seconds(10)));
        QCoreApplication::processEvents();
        EXPECT_EQ(result.outcome, SetupDialogs::Outcome::Accepted);
        EXPECT_EQ(shown, c.shown);
        const std::string connectedWith = fake_driver::connectionText();
        EXPECT_NE(connectedWith.find("Description=typed;"), std::string::npos) << connectedWith;
        EXPECT_NE(connectedWith.find("UID=sam;PWD={se;cret};"), std::string::npos) << connectedWith;
    }
}

// The login prompt's Help button as the driver serves it: without a
// program to open the page, an alert says so.
TEST_F(SetupWindow, LoginHelpWithoutAnOpenerSaysSo) {
    const std::filesystem::path bin = sandbox_.root() / "bin";
    const std::filesystem::path opened = sandbox_.root() / "opened";
    std::filesystem::create_directories(sandbox_.root() / "empty");
    OdbcSandbox::writeFile(bin / "xdg-open",
                           "#!/bin/sh\necho \"$1\" > '" + opened.string() + "'\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    struct Case {
        const char* path;
        QString alert;
    };
    const Case cases[] = {
        {"empty", "The help page could not be opened."},
        {"bin", ""},
    };
    for (const Case& c : cases) {
        ScopedEnv path("PATH", (sandbox_.root() / c.path).string());
        QString alert;
        whenModal([&](QWidget* login) {
            // Any dialog over the login prompt is the alert.
            auto* watch = new QTimer(login);
            watch->setInterval(10);
            QObject::connect(watch, &QTimer::timeout, [&, watch, login] {
                QWidget* modal = QApplication::activeModalWidget();
                if (modal != nullptr && modal != login) {
                    watch->stop();
                    alert = child<QLabel>(modal, "titleField")->text();
                    savePicture(modal, "login-help-alert");
                    click(modal, "okButton");
                }
            });
            watch->start();
            click(login, "helpButton");
            click(login, "cancelButton");
        });
        char user[kLoginFieldSize] = "";
        char password[kLoginFieldSize] = "";
        EXPECT_EQ(runLoginPrompt("DSN=Sales", user, password, false, nullptr), 0) << c.path;
        EXPECT_EQ(alert, c.alert) << c.path;
    }
    for (int i = 0; i < 500 && !std::filesystem::exists(opened); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(std::filesystem::exists(opened));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ui_test::setPrivateEnvironment();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
