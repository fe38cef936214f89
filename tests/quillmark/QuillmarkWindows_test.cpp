// Quillmark's windows rendered offscreen over the ini sandbox: every pane
// of the main window lists what the files hold, the forms load their
// entries and keep OK to their rules; a PNG of each under the build folder.
// ctest-timeout: 120
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

#include <memory>
#include <string>
#include <tuple>

#include "admin/AuthListener.h"
#include "admin/DriverFormDialog.h"
#include "admin/DsnFormDialog.h"
#include "admin/MainWindow.h"
#include "platform/InstallerFacade.h"
#include "tests/quillmark/OffscreenWindows.h"
#include "tests/quillmark/ScriptedDialogs.h"
#include "tests/support/OdbcSandbox.h"
#include "tests/support/ScopedEnv.h"

namespace {

using Scope = OdbcSandbox::Scope;

class QuillmarkWindows : public ::testing::Test, protected OffscreenWindows {
  protected:
    static void SetUpTestSuite() { OffscreenWindows::start(); }
    static void TearDownTestSuite() { OffscreenWindows::stop(); }
    void SetUp() override {
        sandbox.addDriver("Recorder", {{"Driver", QUILLMARK_RECORDING_SETUP}, {"Threads", "2"}});
        sandbox.addDsn("Sales", "Recorder",
                       {{"Description", "Quarterly figures"}, {"Server", "db1"}});
        sandbox.addDsn("Données€", "Recorder", {{"Description", "accents"}});
        sandbox.addDsn("Warehouse", "Recorder", {{"Description", "stock"}, {"Port", "5432"}},
                       Scope::System);
        sandbox.setKey(sandbox.odbcIni(Scope::User), "ODBC", "Trace", "1");
        sandbox.setKey(sandbox.odbcIni(Scope::User), "ODBC", "TraceFile", "/tmp/odbc.trace");
    }
    void TearDown() override {
        AuthListener::stopAndWait();
        InstallerFacade::instance().setRefusal(nullptr);
    }

    OdbcSandbox sandbox;
    ScriptedDialogs dialogs;
    PrivilegedRequest::Sender refuse = [](const std::string&) { return std::string("ERROR 5370"); };
};

TEST_F(QuillmarkWindows, MainWindowPanes) {
    MainWindow main(refuse);
    ASSERT_TRUE(main.load());
    main.window()->resize(720, 420);
    main.window()->show();
    struct Pane {
        const char* view;
        int rows;
        const char* picture;
    };
    const Pane panes[] = {{"userDSNView", 2, "main-user-dsn.png"},
                          {"systemDSNView", 1, "main-system-dsn.png"},
                          {"driversView", 1, "main-drivers.png"},
                          {nullptr, 0, "main-tracing.png"}};
    for (int tab = 0; tab < 4; ++tab) {
        SCOPED_TRACE(tab);
        main.panes()->setCurrentIndex(tab);
        if (panes[tab].view != nullptr) {
            auto* view = child<QTableView>(main.window(), panes[tab].view);
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(view->model()->rowCount(), panes[tab].rows);
        }
        save(main.window(), panes[tab].picture);
    }
    EXPECT_EQ(child<QTableView>(main.window(), "userDSNView")->model()->index(0, 0).data(),
              QStringLiteral("Données€"));
    auto* configure = child<QPushButton>(main.window(), "userDSNConfigButton");
    EXPECT_FALSE(configure->isEnabled());
    child<QTableView>(main.window(), "userDSNView")->selectRow(1);
    EXPECT_TRUE(configure->isEnabled());

    auto* tracing = child<QCheckBox>(main.window(), "enableTracing");
    EXPECT_TRUE(tracing->isChecked());
    EXPECT_EQ(child<QLineEdit>(main.window(), "logFileField")->text(), "/tmp/odbc.trace");
    tracing->setChecked(false);
    EXPECT_FALSE(child<QPushButton>(main.window(), "logFileButton")->isEnabled());
}

TEST_F(QuillmarkWindows, DsnFormLoadsAndSaves) {
    QWidget parent;
    DsnFormDialog form(&parent, dialogs, refuse);
    ASSERT_TRUE(form.prepare("Sales", "Recorder", IniAccess::User));
    QDialog* panel = form.panel();
    EXPECT_EQ(child<QLineEdit>(panel, "descriptionField")->text(), "Quarterly figures");
    EXPECT_EQ(child<QTableView>(panel, "view")->model()->rowCount(), 1);
    child<QPushButton>(panel, "addKeywordButton")->click();
    panel->resize(520, 400);
    save(panel, "dsn-form.png");
    auto* name = child<QLineEdit>(panel, "dsnField");
    auto* ok = child<QPushButton>(panel, "okButton");
    name->clear();
    EXPECT_FALSE(ok->isEnabled());
    name->setText("Sales2");
    EXPECT_TRUE(ok->isEnabled());
    ok->click();
    const IniAccess user(IniAccess::User);
    EXPECT_EQ(user.valueOr("Sales2", "Keyword"), "Value");
    EXPECT_EQ(user.valueOr("Sales2", "Server"), "db1");
    EXPECT_TRUE(user.keys("Sales")->empty());
    EXPECT_TRUE(dialogs.alerts.empty());
}

// Adding a DSN under an existing name (in any case) asks first; declined,
// nothing is written and the form stays open as typed. Configuring a DSN
// under its own name asks nothing.
TEST_F(QuillmarkWindows, DsnFormAsksBeforeReplacingAnother) {
    using Case = std::tuple<const char*, const char*, bool, bool>;  // from, to, yes, asked
    const Case cases[] = {
        {"", "SALES", false, true}, {"", "Sales", true, true}, {"Sales", "sales", false, false}};
    std::string sales = "Quarterly figures";
    for (const auto& [from, to, yes, asked] : cases) {
        dialogs.questions.clear();
        dialogs.confirmAnswer = yes;
        DsnFormDialog form(nullptr, dialogs, refuse);
        ASSERT_TRUE(form.prepare(from, "Recorder", IniAccess::User));
        form.panel()->show();
        const QString typed = QStringLiteral("typed as ") + to + (yes ? " yes" : "");
        child<QLineEdit>(form.panel(), "dsnField")->setText(to);
        child<QLineEdit>(form.panel(), "descriptionField")->setText(typed);
        child<QPushButton>(form.panel(), "okButton")->click();
        EXPECT_EQ(dialogs.questions.size(), asked ? 1u : 0u) << to;
        sales = !asked || yes ? typed.toStdString() : sales;
        EXPECT_EQ(form.panel()->isVisible() &&
                      child<QLineEdit>(form.panel(), "descriptionField")->text() == typed,
                  asked && !yes)
            << to;
        EXPECT_EQ(IniAccess(IniAccess::User).valueOr("Sales", "Description"), sales) << to;
    }
}

TEST_F(QuillmarkWindows, DriverFormRules) {
    QWidget parent;
    DriverFormDialog existing(&parent, dialogs, refuse);
    ASSERT_TRUE(existing.prepare("Recorder"));
    QDialog* panel = existing.panel();
    EXPECT_FALSE(child<QRadioButton>(panel, "systemRadio")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(panel, "systemRadio")->isChecked());
    EXPECT_EQ(child<QTableView>(panel, "view")->model()->rowCount(), 1);
    panel->resize(560, 440);
    save(panel, "driver-form.png");

    DriverFormDialog fresh(&parent, dialogs, refuse);
    ASSERT_TRUE(fresh.prepare(""));
    QDialog* blank = fresh.panel();
    auto* ok = child<QPushButton>(blank, "okButton");
    EXPECT_FALSE(ok->isEnabled());
    child<QLineEdit>(blank, "nameField")->setText("Added");
    child<QLineEdit>(blank, "setupPathField")->setText("/lib/setup.so");
    EXPECT_FALSE(ok->isEnabled());
    child<QLineEdit>(blank, "driverPathField")->setText("/lib/added.so");
    EXPECT_TRUE(ok->isEnabled());
    child<QRadioButton>(blank, "userRadio")->setChecked(true);
    ok->click();
    EXPECT_NE(OdbcSandbox::readFile(sandbox.odbcinstIni(Scope::User)).find("[Added]"),
              std::string::npos);
    // Saved neither here nor by the helper: alerted, each form stays open.
    DsnFormDialog dsn(nullptr, dialogs, refuse);
    ASSERT_TRUE(dsn.prepare("Warehouse", "Recorder", IniAccess::System));
    InstallerFacade::instance().setRefusal(
        [](std::string_view f) { return !f.starts_with("SQLGet"); });
    for (QDialog* form : {panel, dsn.panel()}) {
        form->show();
        child<QPushButton>(form, "okButton")->click();
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_EQ(dialogs.alerts.size(), 2u);
}

}  // namespace
