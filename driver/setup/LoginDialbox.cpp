#include "driver/setup/LoginDialbox.h"

#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "driver/adapter/DsnKey.h"
#include "driver/core/ConnectionText.h"
#include "driver/core/Keychain.h"
#include "driver/core/StringOutput.h"
#include "driver/core/SystemDriverPreferences.h"
#include "driver/core/TextEncoding.h"
#include "driver/setup/LoginConnectionText.h"
#include "driver/setup/LoginPrompt.h"
#include "driver/setup/UiModule.h"
#include "platform/InstallerFacade.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/SystemLog.h"

namespace {

constexpr int kDsnValueChars = 4096;
constexpr const wchar_t kOdbcIni[] = L"odbc.ini";

std::wstring widen(const std::string& text) {
    std::vector<wchar_t> wide(text.size() + 1, 0);
    utf8ToWide(text, wide.data(), static_cast<std::int64_t>(wide.size() * sizeof(wchar_t)));
    return wide.data();
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// A key of the DSN from the scope that defines it, read as UTF-8 whatever
// the process locale.
std::string dsnValue(const std::wstring& dsn, const wchar_t* key) {
    if (dsn.empty()) {
        return {};
    }
    selectDsnConfigModeW(dsn.c_str());
    std::vector<wchar_t> buffer(kDsnValueChars, 0);
    InstallerFacade::instance().getPrivateProfileStringW(dsn.c_str(), key, L"", buffer.data(),
                                                         kDsnValueChars, nullptr);
    buffer.back() = 0;
    return wideToUtf8(buffer.data(), SQL_NTS);
}

// Written into the scope that defines the DSN, where the next connect
// reads it (the installer's mode of the moment may name the other file).
void writeDsnValue(const std::wstring& dsn, const wchar_t* key, const std::string& value) {
    selectDsnConfigModeW(dsn.c_str());
    InstallerFacade::instance().writePrivateProfileStringW(dsn.c_str(), key, widen(value).c_str(),
                                                           kOdbcIni);
}

struct Login {
    std::string user;
    std::string password;
    bool accepted = false;
};

// The panel, pre-filled with the last user; on OK the keychain choice is
// stored with the DSN.
void askUser(const LoginConnectionText& connection, const std::wstring& dsn, Login& login) {
    SystemDriverPreferences preferences(kDriverBundleIdentifier,
                                        privileged_request::kDriverProductName,
                                        privileged_request::kDriverTeamIdentifier, "");
    char user[kLoginFieldSize];
    char password[kLoginFieldSize];
    copyTerminated(user, sizeof user, preferences.getLastUser());
    copyTerminated(password, sizeof password, login.password);
    bool keychain = false;
    const std::string text = connection.normalised({});
    if (runLoginPrompt(text.c_str(), user, password, true, &keychain) == 1) {
        login = {user, password, true};
        if (!dsn.empty()) {
            if (keychain) {
                storeKeychainPassword(kDriverShortName, wideToUtf8(dsn.c_str(), SQL_NTS),
                                      login.user, login.password, true);
            }
            // Both keys in one replacement of the file.
            InstallerFacade::Transaction action;
            writeDsnValue(dsn, dsn_keys::UseKeychain.wide(), keychain ? "Yes" : "");
            writeDsnValue(dsn, dsn_keys::UserId.wide(), keychain ? login.user : "");
            action.commit();
        }
    }
    explicit_bzero(password, sizeof password);
}

// Writes the text back when it fits with its terminator.
bool writeBack(const std::string& result, wchar_t* text, std::size_t capacity) {
    std::vector<wchar_t> wide(result.size() + 1, 0);
    utf8ToWide(result, wide.data(), static_cast<std::int64_t>(wide.size() * sizeof(wchar_t)));
    const std::size_t length = std::wcslen(wide.data());
    const bool fits = length + 1 <= capacity;
    if (fits) {
        std::wmemcpy(text, wide.data(), length + 1);
    }
    std::fill(wide.begin(), wide.end(), L'\0');
    return fits;
}

}  // namespace

int LoginDialbox::run(wchar_t* text, std::size_t capacity) {
    if (text == nullptr || capacity == 0) {
        return SQL_ERROR;
    }
    const LoginConnectionText connection = LoginConnectionText::fromWide(text, capacity);
    const std::wstring dsn = widen(connection.value(dsn_keys::Dsn.narrow()));
    if (upper(dsnValue(dsn, L"Type")) == "SQLITE") {
        return SQL_SUCCESS;
    }
    Login login{connection.value("UID"), connection.value("PWD")};
    if (!dsn.empty() && login.user.empty() &&
        upper(dsnValue(dsn, dsn_keys::UseKeychain.wide())) == "YES") {
        login.user = dsnValue(dsn, dsn_keys::UserId.wide());
        if (!login.user.empty()) {
            std::string stored;
            login.accepted =
                findKeychainPassword(kDriverShortName, wideToUtf8(dsn.c_str(), SQL_NTS), login.user,
                                     stored) == errSecSuccess;
            if (login.accepted) {
                login.password = stored;
            }
        }
    }
    if (!login.accepted && login.user.empty()) {
        askUser(connection, dsn, login);
    }
    std::string result;
    if (login.accepted) {
        result = connection.normalised({"UID", "PWD"}) + connectionTextItem("UID", login.user) +
                 connectionTextItem("PWD", login.password);
    } else {
        result = connection.normalised({});
    }
    const bool written = writeBack(result, text, capacity);
    std::fill(result.begin(), result.end(), '\0');
    if (!written) {
        SystemLog::error("Login prompt: the completed connection text does not fit its buffer");
        return SQL_ERROR;
    }
    return login.accepted ? SQL_SUCCESS : SQL_NO_DATA;
}
