#pragma once

#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/setup/SetupDialogs.h"

// The driver's setup entry: adds, configures and removes a DSN for the
// installer's SQLConfigDataSourceW. Writes go through the installer; a
// refused write is handed to the administrator as a privileged request.
class ConfigDsn {
  public:
    // One attribute item, kept wide as the installer takes it.
    struct Item {
        std::wstring key;
        std::wstring value;
    };
    using Items = std::vector<Item>;

    explicit ConfigDsn(SetupDialogs& dialogs) : dialogs_(dialogs) {}

    BOOL run(WORD request, LPCWSTR driver, LPCWSTR attributes);

    // The setup entry's whole body: no exception of any kind leaves it. One
    // ends the request as any other failure does, FALSE with an installer
    // error.
    template <typename Body>
    static BOOL guarded(Body&& body) noexcept {
        try {
            return std::forward<Body>(body)();
        } catch (const std::bad_alloc&) {
            return failedWith(ODBC_ERROR_OUT_OF_MEM);
        } catch (...) {
            return failedWith(ODBC_ERROR_GENERAL_ERR);
        }
    }

    // The items of a NUL-separated wide list ended by an empty item; an item
    // without "=" has an empty value.
    static Items parseWideList(LPCWSTR list);
    // The same from the wizard's UTF-8 list.
    static Items parseUtf8List(const std::string& list);
    // The value of the first "DSN" item (compared with case), if any.
    static std::optional<std::wstring> dsnName(const Items& items);

  private:
    static BOOL failedWith(DWORD installerError) noexcept;
    BOOL remove(const Items& items, UWORD mode);
    BOOL add(LPCWSTR driver, const Items& items, UWORD mode);
    BOOL configure(LPCWSTR driver, const Items& items, bool hasList, UWORD mode);
    // What the wizard over `model` was closed with: Done with a list to
    // save, Done with nothing changed, Cancel, or no wizard at all.
    enum class Closed { Save, Unchanged, Cancelled, NotShown };
    Closed runWizard(SetupModel& model, Items& list);
    // True when no existing DSN of that name is to be kept; the scope to
    // remove it from afterwards, if any, in `existing`.
    bool confirmOverwrite(const std::wstring& name, std::optional<UWORD>& existing);
    bool refuseWhenSandboxed(const char* title, const char* message);
    // The failure alert for the file of `mode`, with what the helper's
    // reply means when it was asked.
    BOOL failure(const char* title, UWORD mode);
    BOOL wizardNotShown();

    // The installer writes, each followed by a privileged request when
    // refused; true when the change was made.
    bool removeDsn(const std::wstring& name, UWORD mode);
    bool addDsn(const Items& items, const std::wstring& driver, UWORD mode);
    bool configureDsn(const Items& items, const std::wstring& section, UWORD mode);
    bool sendRequest(const char* request, UWORD mode, const std::string& connectionString,
                     const std::string& driver, const std::string& path);

    SetupDialogs& dialogs_;
    // The helper's reply to the last privileged request; empty before one.
    std::string helperReply_;
};

// The installer's mode, both scopes read as system (and set so).
UWORD currentDsnConfigMode();
