// Quillmark from the keyboard and as a desktop program, offscreen over the
// ini sandbox: the driver picker and the forms answer Return, Escape, Tab
// and a double-click; the DSN tables fit their texts on one line; the
// application quits at once on Ctrl+Q or a closed window, printing nothing.
// ctest-timeout: 120
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "admin/AppController.h"
#include "admin/AuthListener.h"
#include "admin/DriverFormDialog.h"
#include "admin/DriverListDialog.h"
#include "admin/DsnFormDialog.h"
#include "admin/MainWindow.h"
#include "tests/quillmark/OffscreenWindows.h"
#include "tests/quillmark/ScriptedDialogs.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

using Scope = OdbcSandbox::Scope;
using Keys = std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>;

constexpr auto kNone = Qt::NoModifier;

// Shows the window, makes it the active one and types into whatever has
// the focus, as a user would.
void showAndType(QWidget* window, const Keys& keys) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    for (const auto& [key, modifiers] : keys) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target != nullptr ? target : window, key, modifiers);
    }
}

enum class Ending { Accepted, Rejected, StillOpen };

Ending endingOf(const QDialog* panel) {
    if (panel->isVisible()) {
        return Ending::StillOpen;
    }
    return panel->result() == QDialog::Accepted ? Ending::Accepted : Ending::Rejected;
}

class QuillmarkKeyboard : public ::testing::Test, protected OffscreenWindows {
  protected:
    static void SetUpTestSuite() { OffscreenWindows::start(); }
    static void TearDownTestSuite() { OffscreenWindows::stop(); }
    void SetUp() override {
        sandbox.addDriver("Alpha", {{"Driver", QUILLMARK_RECORDING_SETUP}});
        sandbox.addDriver("Recorder", {{"Driver", QUILLMARK_RECORDING_SETUP}});
        sandbox.addDsn("Sales", "Recorder", {{"Description", "Quarterly figures"}});
    }
    void TearDown() override { AuthListener::stopAndWait(); }

    OdbcSandbox sandbox;
    ScriptedDialogs dialogs;
    PrivilegedRequest::Sender refuse = [](const std::string&) { return std::string("ERROR 5370"); };
};

TEST_F(QuillmarkKeyboard, DriverPickerFromTheKeyboard) {
    struct Case {
        const char* what;
        Keys keys;
        std::optional<std::string> chosen;
    };
    const Case cases[] = {
        {"Return takes the first row", {{Qt::Key_Return, kNone}}, "Alpha"},
        {"Down then Return", {{Qt::Key_Down, kNone}, {Qt::Key_Return, kNone}}, "Recorder"},
        {"Escape cancels", {{Qt::Key_Escape, kNone}}, std::nullopt},
        {"Tab reaches Cancel", {{Qt::Key_Tab, kNone}, {Qt::Key_Return, kNone}}, std::nullopt},
        {"Tab twice reaches OK",
         {{Qt::Key_Tab, kNone}, {Qt::Key_Tab, kNone}, {Qt::Key_Space, kNone}},
         "Alpha"},
    };
    AppController app(dialogs, refuse);
    QWidget parent;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DriverListDialog picker(&parent);
        ASSERT_TRUE(picker.prepare(app.environment()));
        auto* ok = child<QPushButton>(picker.panel(), "okButton");
        EXPECT_TRUE(ok->isDefault());
        EXPECT_TRUE(ok->isEnabled());
        showAndType(picker.panel(), c.keys);
        EXPECT_EQ(picker.chosen(), c.chosen);
        EXPECT_FALSE(picker.panel()->isVisible());
    }

    DriverListDialog picker(&parent);
    ASSERT_TRUE(picker.prepare(app.environment()));
    showAndType(picker.panel(), {});
    save(picker.panel(), "driver-picker.png");
    auto* view = child<QTableView>(picker.panel(), "view");
    const QRect second = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, kNone, second.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, kNone, second.center());
    EXPECT_EQ(picker.chosen(), "Recorder");
}

TEST_F(QuillmarkKeyboard, FormsAnswerReturnAndEscape) {
    struct Case {
        const char* what;
        bool driverForm;
        const char* name;
        Qt::Key key;
        Ending ending;
    };
    const Case cases[] = {
        {"DSN form: Return is OK", false, "Sales2", Qt::Key_Return, Ending::Accepted},
        {"DSN form: Return without a name", false, "", Qt::Key_Return, Ending::StillOpen},
        {"DSN form: Escape", false, "Sales3", Qt::Key_Escape, Ending::Rejected},
        {"driver form: Return is OK", true, "Added", Qt::Key_Return, Ending::Accepted},
        {"driver form: Return without a name", true, "", Qt::Key_Return, Ending::StillOpen},
        {"driver form: Escape", true, "Dropped", Qt::Key_Escape, Ending::Rejected},
    };
    QWidget parent;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DsnFormDialog dsnForm(&parent, dialogs, refuse);
        DriverFormDialog driverForm(&parent, dialogs, refuse);
        QDialog* panel = nullptr;
        QLineEdit* name = nullptr;
        if (c.driverForm) {
            ASSERT_TRUE(driverForm.prepare(""));
            panel = driverForm.panel();
            child<QLineEdit>(panel, "driverPathField")->setText("/lib/added.so");
            child<QRadioButton>(panel, "userRadio")->setChecked(true);
            name = child<QLineEdit>(panel, "nameField");
        } else {
            ASSERT_TRUE(dsnForm.prepare("Sales", "Recorder", IniAccess::User));
            panel = dsnForm.panel();
            name = child<QLineEdit>(panel, "dsnField");
        }
        name->setText(QString::fromLatin1(c.name));
        name->setFocus();
        showAndType(panel, {{c.key, kNone}});
        EXPECT_EQ(endingOf(panel), c.ending);
        const std::string file = OdbcSandbox::readFile(
            c.driverForm ? sandbox.odbcinstIni(Scope::User) : sandbox.odbcIni(Scope::User));
        const bool saved = file.find("[" + std::string(c.name) + "]") != std::string::npos;
        EXPECT_EQ(saved, c.ending == Ending::Accepted) << file;
        panel->hide();
    }
}

TEST_F(QuillmarkKeyboard, DsnTablesFitTheirTexts) {
    const std::string description =
        "Figures of every quarter since the company began, kept for the auditors";
    sandbox.addDsn("Ledger", "Recorder", {{"Description", description}});
    MainWindow main(refuse);
    ASSERT_TRUE(main.load());
    main.window()->resize(1100, 420);
    showAndType(main.window(), {});
    auto* view = child<QTableView>(main.window(), "userDSNView");
    ASSERT_NE(view, nullptr);
    const QFontMetrics metrics(view->font());
    const int textWidth = metrics.horizontalAdvance(QString::fromStdString(description));
    EXPECT_GE(view->horizontalHeader()->sectionSize(1), textWidth);
    EXPECT_TRUE(view->horizontalHeader()->stretchLastSection());
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        EXPECT_LT(view->rowHeight(row), 2 * metrics.lineSpacing()) << row;
    }
    EXPECT_FALSE(view->wordWrap());
    save(main.window(), "main-user-dsn-wide.png");

    // Sized once: what the user dragged outlives a reload, longer texts too.
    view->horizontalHeader()->resizeSection(0, 150);
    const int described = view->horizontalHeader()->sectionSize(1);
    sandbox.addDsn("A-much-longer-name-than-any-other", "Recorder", {});
    main.reloadAll();
    EXPECT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(view->horizontalHeader()->sectionSize(0), 150);
    EXPECT_EQ(view->horizontalHeader()->sectionSize(1), described);
}

// A key typed on a list's first row: where the focus goes, the pane shown,
// the confirmation asked (answered by a key) and the setup entry's call.
TEST_F(QuillmarkKeyboard, ListsAnswerTheKeyboard) {
    sandbox.addDsn("Ledger", "Recorder", {{"Description", "Figures"}});
    const std::filesystem::path record = sandbox.root() / "setup-record";
    const ScopedEnv recordEnv("QUILLMARK_SETUP_RECORD", record.string());
    const std::string asked = "Are you sure you want to remove the DSN \"Ledger\"?|";
    const std::string configured = "2|Recorder|window|DSN=Ledger;Description=Figures;\n";
    const std::string gone = "3|Recorder|window|DSN=Ledger;Driver=Recorder;Description=Figures;\n";
    using Case = std::tuple<int, Qt::Key, Qt::KeyboardModifiers, Qt::Key, std::string>;
    const Case cases[] = {
        {0, Qt::Key_Tab, kNone, Qt::Key_unknown, "userDSNAddButton|0||"},
        {0, Qt::Key_Return, kNone, Qt::Key_unknown, "userDSNView|0||" + configured},
        {0, Qt::Key_C, Qt::AltModifier, Qt::Key_unknown, "userDSNView|0||" + configured},
        {0, Qt::Key_Delete, kNone, Qt::Key_Return, "userDSNView|0|" + asked + gone},
        {2, Qt::Key_R, Qt::AltModifier, Qt::Key_Escape,
         "driversView|2|Are you sure you want to remove the driver \"Alpha\"?|"},
        {0, Qt::Key_PageDown, Qt::ControlModifier, Qt::Key_unknown, "systemDSNView|1||"},
    };
    for (const auto& [pane, key, modifiers, answer, expected] : cases) {
        std::filesystem::remove(record);
        MainWindow main(refuse);
        ASSERT_TRUE(main.load());
        main.panes()->setCurrentIndex(pane);
        auto* list = main.panes()->currentWidget()->findChild<QTableView*>();
        list->selectRow(0);
        list->setFocus();
        std::string confirmation;
        QTimer watch;  // answers the confirmation once it shows
        QObject::connect(&watch, &QTimer::timeout, [&, answer = answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                confirmation = box->text().toStdString();
                QTest::keyClick(box->focusWidget(), answer);
            }
        });
        watch.start(10);
        showAndType(main.window(), {{key, modifiers}});
        QTest::qWait(300);  // a mnemonic clicks its button a moment later
        const QWidget* focused = main.window()->focusWidget();
        if (qobject_cast<const QPushButton*>(focused) != nullptr) {
            save(main.window(), "main-focus-by-tab.png");
        }
        EXPECT_EQ(focused->objectName().toStdString() + "|" +
                      std::to_string(main.panes()->currentIndex()) + "|" + confirmation + "|" +
                      (std::filesystem::exists(record) ? OdbcSandbox::readFile(record) : ""),
                  expected);
    }
}

// A list reached with nothing selected selects its current row; after
// Configure and the listing it brings, the same DSN is still selected
// (found by name: a DSN added meanwhile may shift the rows), so Return
// configures it again. Add Keyword edits the new keyword at once.
TEST_F(QuillmarkKeyboard, SelectionOutlivesConfigureAndNewKeywordsAreEdited) {
    sandbox.addDsn("Ledger", "Recorder", {{"Description", "Figures"}});
    const std::filesystem::path record = sandbox.root() / "setup-record";
    const ScopedEnv recordEnv("QUILLMARK_SETUP_RECORD", record.string());
    MainWindow main(refuse);
    ASSERT_TRUE(main.load());
    auto* list = child<QTableView>(main.window(), "userDSNView");
    showAndType(main.window(), {});
    child<QPushButton>(main.window(), "userDSNAddButton")->setFocus();
    showAndType(main.window(), {{Qt::Key_Backtab, Qt::ShiftModifier}});
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
    list->selectRow(1);
    const QString chosen = list->model()->index(1, 0).data().toString();
    sandbox.addDsn("AAA-new", "Recorder", {});
    showAndType(main.window(), {{Qt::Key_Return, kNone}, {Qt::Key_Return, kNone}});
    const std::string line = "2|Recorder|window|DSN=" + chosen.toStdString() + ";";
    EXPECT_EQ(OdbcSandbox::readFile(record).substr(0, line.size()), line);
    EXPECT_NE(OdbcSandbox::readFile(record).find("\n" + line), std::string::npos);
    ASSERT_EQ(list->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list->selectionModel()->selectedRows()[0].data(), chosen);

    DsnFormDialog form(main.window(), dialogs, refuse);
    ASSERT_TRUE(form.prepare("Sales", "Recorder", IniAccess::User));
    showAndType(form.panel(), {});
    child<QPushButton>(form.panel(), "addKeywordButton")->click();
    QTest::keyClicks(form.panel()->focusWidget(), "Port");
    QTest::keyClick(form.panel()->focusWidget(), Qt::Key_Return);
    QApplication::processEvents();  // the edit ends in a queued call
    EXPECT_EQ(endingOf(form.panel()), Ending::StillOpen);
    EXPECT_EQ(child<QTableView>(form.panel(), "view")->model()->index(0, 0).data(), "Port");
}

TEST_F(QuillmarkKeyboard, QuitsAtOnceAndSilently) {
    struct Case {
        const char* what;
        std::function<void(QWidget*)> quit;
    };
    const Case cases[] = {
        {"Ctrl+Q",
         [](QWidget* window) { QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier); }},
        {"window closed", [](QWidget* window) { window->close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A relay running, as after a driver's setup entry was used.
        AuthListener::handleAuthRequests();
        ASSERT_TRUE(AuthListener::running());
        bool asked = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->objectName() == "MainWindow" && window->isVisible()) {
                    showAndType(window, {});
                    asked = true;
                    c.quit(window);
                    return;
                }
            }
        });
        // Ends a loop the quit did not reach (a relay that waits for
        // nothing but its wake-up), so that a failure cannot hang.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(7); });
        guard.start(20000);
        testing::internal::CaptureStdout();
        const int status = MainWindow::run(refuse);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(status, 0);
        ASSERT_TRUE(asked);
        EXPECT_FALSE(AuthListener::running());
    }
}

}  // namespace
