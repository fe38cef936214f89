#include "driver/setup/LoginPrompt.h"

#include <cstring>
#include <string>

#include "driver/adapter/DsnKey.h"
#include "driver/core/StringOutput.h"
#include "driver/setup/LoginConnectionText.h"
#include "driver/setup/UiModule.h"
#include "platform/SystemLog.h"

int runLoginPrompt(const char* connectionText, char* userId, char* password, bool offerKeychain,
                   bool* keychain) {
    if (userId == nullptr || password == nullptr) {
        return 0;
    }
    const MorvanexUiTable* ui = UiModule::table();
    if (!MORVANEX_UI_HAS(MorvanexUiTable, ui, login)) {
        SystemLog::notice("Login panel not shown: no dialog module");
        return 0;
    }
    const std::string dsn =
        LoginConnectionText::fromUtf8(connectionText != nullptr ? connectionText : "")
            .value(dsn_keys::Dsn.narrow());
    const bool offered = offerKeychain && keychain != nullptr;
    // The module fills copies: the caller's buffers change only on OK.
    char user[kLoginFieldSize];
    char secret[kLoginFieldSize];
    copyTerminated(user, sizeof user, std::string_view(userId, strnlen(userId, kLoginFieldSize)));
    copyTerminated(secret, sizeof secret,
                   std::string_view(password, strnlen(password, kLoginFieldSize)));
    MorvanexLoginFields fields{
        .size = sizeof(MorvanexLoginFields),
        .dsn = dsn.c_str(),
        .userId = user,
        .userIdSize = sizeof user,
        .password = secret,
        .passwordSize = sizeof secret,
        .offerKeychain = offered,
        .keychain = offered && *keychain,
    };
    const MorvanexUiHost host = UiModule::host();
    const int result = ui->login(&host, &fields);
    if (result == 1) {
        copyTerminated(userId, kLoginFieldSize, std::string_view(user, strnlen(user, sizeof user)));
        copyTerminated(password, kLoginFieldSize,
                       std::string_view(secret, strnlen(secret, sizeof secret)));
        if (offered) {
            *keychain = fields.keychain != 0;
        }
    } else if (result != 0) {
        SystemLog::notice("Login panel not shown: " + UiModule::resultName(result));
    }
    explicit_bzero(secret, sizeof secret);
    return result == 1 ? 1 : 0;
}
