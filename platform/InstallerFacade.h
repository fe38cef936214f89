#pragma once

#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class IniWriter;

// The installer in one place. Reads, the configuration mode, errors and
// SQLConfigDataSource go to iODBC's installer library, bound with
// dlopen/dlsym so that a host which loaded another installer library cannot
// capture our calls. Writes and removals never reach it (its writer corrupts
// its heap on larger files): IniWriter does them on the same files. Like the
// library, every profile call leaves the configuration mode at "both":
// callers that need a mode set it before every call.
#define MORVANEX_INSTALLER_FUNCTIONS(X) \
    X(SQLGetPrivateProfileString)       \
    X(SQLGetPrivateProfileStringW)      \
    X(SQLValidDSN)                      \
    X(SQLSetConfigMode)                 \
    X(SQLGetConfigMode)                 \
    X(SQLPostInstallerError)            \
    X(SQLInstallerError)                \
    X(SQLGetInstalledDrivers)           \
    X(SQLConfigDataSource)              \
    X(SQLConfigDataSourceW)

class InstallerFacade {
  public:
    // The process-wide facade.
    static InstallerFacade& instance();

    // One user action. The writes and removals made on this thread while
    // it lasts go into one IniWriter: each file is locked when first
    // edited, and commit() replaces each changed file once: every one is
    // written aside first, so that one which cannot be written fails the
    // action before any changes; then they are put in place one after
    // another (IniWriter::commit). Reads on this thread see the pending
    // edits. A transaction begun inside another joins it. Dropped without
    // commit(), it writes nothing; after a failed call, commit() fails.
    class Transaction {
      public:
        Transaction();
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

        // FALSE as a failed write would be (posted as an installer error).
        bool commit();
        // Why the action failed (path and cause); empty while it has not.
        std::string failure() const;

      private:
        bool committed_ = false;
    };

    // Test seam: while set, a call whose function name makes the predicate
    // answer true fails as iODBC would report a refused write (FALSE, 0 or
    // SQL_ERROR) without reaching the library.
    using Refusal = std::function<bool(std::string_view function)>;
    void setRefusal(Refusal refusal);

    // True when the installer library was loaded and every function bound.
    bool available() const { return handle_ != nullptr; }

    int getPrivateProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue, LPSTR out,
                                int outSize, LPCSTR file);
    int getPrivateProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue, LPWSTR out,
                                 int outSize, LPCWSTR file);
    BOOL writePrivateProfileString(LPCSTR section, LPCSTR entry, LPCSTR value, LPCSTR file);
    BOOL writePrivateProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR value, LPCWSTR file);
    BOOL writeDSNToIni(LPCSTR dsn, LPCSTR driver);
    BOOL writeDSNToIniW(LPCWSTR dsn, LPCWSTR driver);
    BOOL removeDSNFromIni(LPCSTR dsn);
    BOOL removeDSNFromIniW(LPCWSTR dsn);
    BOOL validDSN(LPCSTR dsn);
    BOOL setConfigMode(UWORD mode);
    BOOL getConfigMode(UWORD* mode);
    RETCODE postInstallerError(DWORD code, LPSTR message);
    RETCODE installerError(WORD index, DWORD* code, LPSTR message, WORD messageMax,
                           WORD* messageLength);
    BOOL getInstalledDrivers(LPSTR buffer, WORD bufferMax, WORD* bufferOut);
    BOOL removeDriver(LPCSTR driver, BOOL removeDsns, LPDWORD usageCount);
    BOOL configDataSource(HWND parent, WORD request, LPCSTR driver, LPCSTR attributes);
    BOOL configDataSourceW(HWND parent, WORD request, LPCWSTR driver, LPCWSTR attributes);

    InstallerFacade(const InstallerFacade&) = delete;
    InstallerFacade& operator=(const InstallerFacade&) = delete;

  private:
    InstallerFacade();

    bool refused(std::string_view function) const;
    template <typename Fn, typename Result, typename... Args>
    Result call(std::string_view name, Fn fn, Result failure, Args... args) const;
    // Runs one write for the current mode: in the thread's transaction, or
    // on a writer of its own, saved at once; a failure is posted as an
    // installer error.
    BOOL write(std::string_view name, const std::function<bool(IniWriter&)>& edit);
    // A read through the library, in which a file the thread's transaction
    // changed is read as its pending text; `read` gets the file to read
    // (null: the caller's). Nothing when the read sees no pending file.
    std::optional<int> readPending(const char* file,
                                   const std::function<int(const char* replaced)>& read);
    void post(DWORD code, const std::string& message);

    void* handle_ = nullptr;
    mutable std::mutex refusalMutex_;
    Refusal refusal_;
    // The library keeps a posted message's pointer, not its text.
    std::mutex postedMutex_;
    std::deque<std::string> posted_;
#define MORVANEX_DECLARE_POINTER(name) decltype(&::name) p_##name = nullptr;
    MORVANEX_INSTALLER_FUNCTIONS(MORVANEX_DECLARE_POINTER)
#undef MORVANEX_DECLARE_POINTER
};
