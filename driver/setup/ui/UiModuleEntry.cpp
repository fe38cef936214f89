// The module's one export: the table of its dialogs.
#include <QApplication>
#include <QStyle>

#include <functional>

#include "driver/setup/UiModuleTable.h"
#include "driver/setup/ui/AboutControllerMORVANEX.h"
#include "driver/setup/ui/CocoaAlertMORVANEX.h"
#include "driver/setup/ui/CocoaLoginMORVANEX.h"
#include "driver/setup/ui/CurlTransport.h"
#include "driver/setup/ui/GuiThread.h"
#include "driver/setup/ui/SetupControllerMORVANEX.h"

namespace {

// No exception crosses back into the driver: a dialog that throws counts
// as not shown.
int guardedDialog(const MorvanexUiHost* host, const std::function<int()>& dialog) {
    try {
        return GuiThread::run(host, dialog);
    } catch (...) {
        logToHost(host, "Dialog failed");
        return MORVANEX_UI_NOT_SHOWN;
    }
}

// A dialog over a table the driver lent: shown only when the table is whole.
int dialogOver(const MorvanexUiHost* host, bool whole, const char* refusal,
               const std::function<int()>& dialog) {
    if (!whole) {
        logToHost(host, refusal);
        return MORVANEX_UI_NOT_SHOWN;
    }
    return guardedDialog(host, dialog);
}

void copyField(const QString& text, char* out, size_t size) {
    if (out == nullptr || size == 0) {
        return;
    }
    QByteArray bytes = text.toUtf8();
    // Cut at a character boundary so that the field stays valid UTF-8.
    qsizetype n = std::min<qsizetype>(bytes.size(), static_cast<qsizetype>(size) - 1);
    while (n > 0 && n < bytes.size() && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) {
        --n;
    }
    std::memcpy(out, bytes.constData(), static_cast<size_t>(n));
    out[n] = '\0';
    bytes.fill('\0');
}

int alert(const MorvanexUiHost* host, const char* title, const char* message,
          const char* secondButton) {
    return guardedDialog(host, [=] {
        CocoaAlertMORVANEX panel(host);
        if (!panel.loaded()) {
            return MORVANEX_UI_NOT_SHOWN;
        }
        panel.setTitle(QString::fromUtf8(title != nullptr ? title : ""));
        panel.setSecondaryMsg(QString::fromUtf8(message != nullptr ? message : ""));
        if (secondButton != nullptr && secondButton[0] != '\0') {
            panel.setSecondaryButton(QString::fromUtf8(secondButton));
        }
        panel.setImage(
            QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(64));
        return panel.beginModalForLoginWindow();
    });
}

int about(const MorvanexUiHost* host, const MorvanexAboutModel* model) {
    return dialogOver(host, MORVANEX_UI_COVERS(MorvanexAboutModel, model, context),
                      "About window not shown: the driver's model is missing or too old", [=] {
                          AboutControllerMORVANEX controller(host, model);
                          return controller.beginModalForAboutWindow();
                      });
}

int login(const MorvanexUiHost* host, MorvanexLoginFields* fields) {
    return dialogOver(
        host, MORVANEX_UI_COVERS(MorvanexLoginFields, fields, keychain),
        "Login panel not shown: the driver's fields are missing or too old", [=] {
            CocoaLoginMORVANEX panel(host);
            if (!panel.loaded()) {
                return MORVANEX_UI_NOT_SHOWN;
            }
            panel.setDSN(QString::fromUtf8(fields->dsn != nullptr ? fields->dsn : ""));
            panel.setUserID(QString::fromUtf8(fields->userId));
            panel.setPassword(QString::fromUtf8(fields->password));
            panel.showKeychain(fields->offerKeychain != 0);
            panel.setKeychain(fields->offerKeychain != 0 && fields->keychain != 0);
            panel.beginModalForLoginWindow();
            if (!panel.getIsAccepted()) {
                return 0;
            }
            copyField(panel.getUserID(), fields->userId, fields->userIdSize);
            copyField(panel.getPassword(), fields->password, fields->passwordSize);
            fields->keychain = fields->offerKeychain != 0 && panel.getKeychain() ? 1 : 0;
            return 1;
        });
}

int wizard(const MorvanexUiHost* host, const MorvanexWizardModel* model) {
    return dialogOver(host, MORVANEX_UI_HAS(MorvanexWizardModel, model, checkUpdates),
                      "DSN wizard not shown: the driver's model is too old", [=] {
                          SetupControllerMORVANEX controller(host, model);
                          return controller.runModal();
                      });
}

int httpPost(const MorvanexUiHost*, const MorvanexHttpRequest* request, MorvanexHttpReply* reply) {
    try {
        return CurlTransport::post(request, reply);
    } catch (...) {
        return 1;
    }
}

const MorvanexUiTable kTable = {
    .abiVersion = MORVANEX_UI_ABI_VERSION,
    .size = sizeof(MorvanexUiTable),
    .alert = &alert,
    .about = &about,
    .login = &login,
    .httpPost = &httpPost,
    .freeReply = &CurlTransport::freeReply,
    .wizard = &wizard,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MorvanexUiTable* morvanex_ui_table(
    uint32_t abiVersion) {
    return abiVersion == MORVANEX_UI_ABI_VERSION ? &kTable : nullptr;
}
