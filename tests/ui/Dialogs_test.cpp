// The dialog module's windows, offscreen: every form binds its outlets,
// the alert, about and login dialogs answer through the module's table,
// and each leaves a picture under the build folder.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <fstream>
#include <regex>

#include "driver/setup/ui/AboutControllerMORVANEX.h"
#include "driver/setup/ui/CocoaAlertMORVANEX.h"
#include "driver/setup/ui/CocoaLoginMORVANEX.h"
#include "tests/ui/UiTestSupport.h"

namespace {

using ui_test::click;
using ui_test::RecordingHost;
using ui_test::savePicture;
using ui_test::whenModal;

bool loads(const char* form, const MorvanexUiHost* host) {
    const std::string name = form;
    if (name == "CocoaAlert") {
        return CocoaAlertMORVANEX(host).loaded();
    }
    if (name == "AboutWindow") {
        return AboutControllerMORVANEX(host, nullptr).loaded();
    }
    return CocoaLoginMORVANEX(host).loaded();
}

TEST(Forms, EveryFormBindsItsOutletsAndAMissingOneFailsLoudly) {
    struct Case {
        const char* form;
        const char* what;
        const char* outlet;
    };
    const Case cases[] = {
        {"CocoaAlert", "alert", "secondBtn"},
        {"AboutWindow", "window", "logPathField"},
        {"CocoaLogin", "login", "keychainCheckbox"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        RecordingHost shipped;
        EXPECT_TRUE(loads(c.form, &shipped.host));
        EXPECT_TRUE(shipped.log.empty());

        // The same form with one outlet renamed, and no form at all.
        RecordingHost broken;
        const std::string temp = std::string(getenv("HOME")) + "/" + c.form;
        std::filesystem::create_directories(temp);
        std::ifstream in(shipped.resources + "/" + c.form + ".ui");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        text = std::regex_replace(text, std::regex(std::string("name=\"") + c.outlet + "\""),
                                  "name=\"renamed\"");
        std::ofstream(temp + "/" + c.form + ".ui") << text;
        broken.useResources(temp);
        EXPECT_FALSE(loads(c.form, &broken.host));
        ASSERT_FALSE(broken.log.empty());
        EXPECT_EQ(broken.log.back(),
                  std::string("Error loading nib for ") + c.what + ": no outlet " + c.outlet);

        RecordingHost missing;
        missing.useResources(temp + "/none");
        EXPECT_FALSE(loads(c.form, &missing.host));
        ASSERT_EQ(missing.log.size(), 1u);
        EXPECT_EQ(missing.log[0], std::string("Error loading nib for ") + c.what);
    }
}

TEST(Alert, ButtonsAndResponses) {
    struct Case {
        const char* picture;
        const char* secondButton;
        const char* press;
        bool secondShown;
        int response;
        std::string message = "Make sure your user account has both read and write permissions.";
    };
    const Case cases[] = {
        {"alert-one-button", nullptr, "okButton", false, 0},
        {"alert-empty-second", "", "okButton", false, 0},
        {"alert-two-buttons", "Cancel", "secondBtn", true, 1},
        {"alert-two-buttons-ok", "Cancel", "okButton", true, 0},
        // The panel grows to show a long message whole.
        {"alert-long-message", nullptr, "okButton", false, 0, "First.\n\n" + std::string(500, 'w')},
    };
    const MorvanexUiTable* table = ui_test::moduleTable();
    ASSERT_NE(table, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        RecordingHost host;
        bool secondShown = !c.secondShown;
        QString title;
        int iconWidth = 0;
        int textWidth = 0;
        bool textWhole = false;
        whenModal([&](QWidget* dialog) {
            secondShown = dialog->findChild<QPushButton*>("secondBtn")->isVisible();
            title = dialog->findChild<QLabel*>("titleField")->text();
            // A narrow icon column leaves the width to the text.
            iconWidth = dialog->findChild<QLabel*>("imageField")->width();
            auto* text = dialog->findChild<QLabel*>("secondaryField");
            textWidth = text->width();
            textWhole = text->height() >= text->heightForWidth(textWidth);
            savePicture(dialog, c.picture);
            click(dialog, c.press);
        });
        EXPECT_EQ(table->alert(&host.host, "Could not save DSN information.", c.message.c_str(),
                               c.secondButton),
                  c.response);
        EXPECT_EQ(secondShown, c.secondShown);
        EXPECT_EQ(title, "Could not save DSN information.");
        EXPECT_GT(textWidth, 3 * iconWidth);
        EXPECT_TRUE(textWhole);
    }
}

// The about window's view of a trace switch, recording what reached it.
struct FakeSwitch {
    std::vector<std::uint32_t> clicks;
    bool tracing = false;
    int sheetOnClick = -1;

    static int traceLine(void* self, char* out, size_t size) {
        auto* fake = static_cast<FakeSwitch*>(self);
        std::snprintf(out, size, "%s", fake->tracing ? "(NETWORK) /tmp/morvanex.log" : "");
        return fake->tracing ? 1 : 0;
    }
    static int clickLogo(void* self, uint32_t modifiers, char* title, size_t titleSize,
                         char* message, size_t messageSize) {
        auto* fake = static_cast<FakeSwitch*>(self);
        fake->clicks.push_back(modifiers);
        fake->tracing = !fake->tracing;
        if (static_cast<int>(fake->clicks.size()) != fake->sheetOnClick) {
            return 0;
        }
        std::snprintf(title, titleSize, "%s", "Modifier keys Control Alt Shift detected");
        std::snprintf(message, messageSize, "%s", "You sneaky thing!");
        return 1;
    }
};

TEST(About, LogoClicksCarryTheirModifiersAndTheTraceLineFollows) {
    const MorvanexUiTable* table = ui_test::moduleTable();
    RecordingHost host;
    FakeSwitch fake;
    fake.sheetOnClick = 2;
    const std::string logoPath = std::string(MORVANEX_FORMS_DIR) + "/about_logo.png";
    const MorvanexAboutModel model{
        .size = sizeof(MorvanexAboutModel),
        .version = "1.0.0",
        .logoPath = logoPath.c_str(),
        .traceLine = &FakeSwitch::traceLine,
        .clickLogo = &FakeSwitch::clickLogo,
        .context = &fake,
    };
    bool hiddenAtStart = false;
    bool shownAfterClick = false;
    QString sheetTitle;
    whenModal([&](QWidget* about) {
        auto* logo = about->findChild<QLabel*>("logo");
        auto* line = about->findChild<QLabel*>("logPathField");
        hiddenAtStart = !line->isVisible();
        EXPECT_FALSE(logo->pixmap().isNull());
        EXPECT_EQ(about->findChild<QLabel*>("versionField")->text(), "1.0.0");
        QTest::mouseClick(logo, Qt::LeftButton, Qt::AltModifier | Qt::ShiftModifier);
        shownAfterClick = line->isVisible() && line->text() == "(NETWORK) /tmp/morvanex.log";
        savePicture(about, "about-tracing");
        // The second click shows the sheet, modal to the about window.
        whenModal([&](QWidget* sheet) {
            sheetTitle = sheet->findChild<QLabel*>("titleField")->text();
            savePicture(sheet, "about-sheet");
            click(sheet, "okButton");
            whenModal([&](QWidget* window) { click(window, "okButton"); });
        });
        QTest::mouseClick(logo, Qt::LeftButton,
                          Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    });
    EXPECT_EQ(table->about(&host.host, &model), 0);
    EXPECT_TRUE(hiddenAtStart);
    EXPECT_TRUE(shownAfterClick);
    EXPECT_EQ(sheetTitle, "Modifier keys Control Alt Shift detected");
    const std::vector<std::uint32_t> expected = {
        MORVANEX_UI_ALT | MORVANEX_UI_SHIFT,
        MORVANEX_UI_CONTROL | MORVANEX_UI_ALT | MORVANEX_UI_SHIFT};
    EXPECT_EQ(fake.clicks, expected);
}

TEST(Login, FieldsGoInAndComeOutOnOkOnly) {
    struct Case {
        const char* picture;
        int offerKeychain;
        const char* press;
        int result;
        const char* user;
        const char* password;
        int keychain;
    };
    const Case cases[] = {
        {"login-keychain-ok", 1, "okButton", 1, "sam{;}", "pass;word", 1},
        {"login-cancel", 1, "cancelButton", 0, "last", "", 0},
        {"login-no-keychain", 0, "okButton", 1, "sam{;}", "pass;word", 0},
    };
    const MorvanexUiTable* table = ui_test::moduleTable();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        RecordingHost host;
        char user[256] = "last";
        char password[256] = "";
        MorvanexLoginFields fields{
            .size = sizeof(MorvanexLoginFields),
            .dsn = "Sales ÄÖ",
            .userId = user,
            .userIdSize = sizeof user,
            .password = password,
            .passwordSize = sizeof password,
            .offerKeychain = c.offerKeychain,
            .keychain = 0,
        };
        bool keychainShown = false;
        whenModal([&](QWidget* dialog) {
            EXPECT_EQ(dialog->findChild<QLabel*>("dsnField")->text(), "Sales ÄÖ");
            EXPECT_EQ(dialog->findChild<QLineEdit*>("userIDField")->text(), "last");
            auto* box = dialog->findChild<QCheckBox*>("keychainCheckbox");
            keychainShown = box->isVisible();
            dialog->findChild<QLineEdit*>("userIDField")->setText("sam{;}");
            dialog->findChild<QLineEdit*>("passwordField")->setText("pass;word");
            box->setChecked(true);
            click(dialog, "helpButton");
            savePicture(dialog, c.picture);
            click(dialog, c.press);
        });
        EXPECT_EQ(table->login(&host.host, &fields), c.result);
        EXPECT_EQ(keychainShown, c.offerKeychain != 0);
        EXPECT_STREQ(user, c.user);
        EXPECT_STREQ(password, c.password);
        EXPECT_EQ(fields.keychain, c.keychain);
        EXPECT_EQ(host.helpPages, std::vector<std::string>{"login"});
    }
}

// A table whose size does not reach the fields the module reads is
// refused before any of them is touched.
TEST(Tables, ShortTablesAreNotShown) {
    const MorvanexUiTable* table = ui_test::moduleTable();
    RecordingHost host;
    char user[8] = "kept";
    MorvanexLoginFields login{
        .size = offsetof(MorvanexLoginFields, keychain),
        .dsn = "Sales",
        .userId = user,
        .userIdSize = sizeof user,
        .password = nullptr,
        .passwordSize = 0,
        .offerKeychain = 0,
        .keychain = 0,
    };
    EXPECT_EQ(table->login(&host.host, &login), MORVANEX_UI_NOT_SHOWN);
    EXPECT_STREQ(user, "kept");
    const MorvanexAboutModel about{
        .size = offsetof(MorvanexAboutModel, context),
        .version = "1",
        .logoPath = nullptr,
        .traceLine = nullptr,
        .clickLogo = nullptr,
        .context = nullptr,
    };
    EXPECT_EQ(table->about(&host.host, &about), MORVANEX_UI_NOT_SHOWN);
    EXPECT_EQ(host.log.size(), 2u);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ui_test::setPrivateEnvironment();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
