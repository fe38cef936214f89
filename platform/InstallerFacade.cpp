#include "platform/InstallerFacade.h"

#include <dlfcn.h>
#include <sys/mman.h>

#include <memory>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "platform/DescriptorIo.h"
#include "platform/IniWriter.h"
#include "platform/OdbcPaths.h"
#include "platform/TextCodec.h"
#include "platform/UniqueFd.h"

namespace {

constexpr const char* kInstallerLibrary = "libiodbcinst.so.2";
// More than the library's error stack holds.
constexpr size_t kPostedKept = 16;

static_assert(sizeof(wchar_t) == 4, "the installer's wide text is UTF-32");

// A wide argument as UTF-8; a null one stays null, text that is not valid
// UTF-32 converts to nothing.
class Narrow {
  public:
    explicit Narrow(const wchar_t* wide) : null_(wide == nullptr) {
        if (wide == nullptr) {
            return;
        }
        const std::wstring_view text(wide);
        const std::string_view bytes(reinterpret_cast<const char*>(text.data()),
                                     text.size() * sizeof(wchar_t));
        const std::optional<std::u16string> units =
            TextCodec::forEncoding(kEncodingUtf32)->decode(bytes);
        if (!units) {
            return;
        }
        std::string utf8(units->size() * 3, '\0');
        const TextCodec::Encoded encoded =
            TextCodec::forEncoding(kEncodingUtf8)->encode(*units, utf8.data(), utf8.size());
        utf8.resize(encoded.bytes);
        text_ = std::move(utf8);
    }
    const char* get() const { return text_ ? text_->c_str() : nullptr; }
    bool valid() const { return null_ || text_.has_value(); }

  private:
    bool null_;
    std::optional<std::string> text_;
};

// The transaction of this thread: its writer exists from the first write.
struct Action {
    std::unique_ptr<IniWriter> writer;
    int depth = 0;
    bool failed = false;
    std::string why;
};
thread_local Action tAction;

void failAction(const std::string& why) {
    if (!tAction.failed) {
        tAction.failed = true;
        tAction.why = why;
    }
}

// A pending text the installer library can read by name, in memory only.
class Snapshot {
  public:
    explicit Snapshot(std::string_view text) : fd_(::memfd_create("pending-ini", MFD_CLOEXEC)) {
        if (fd_.valid() && descriptor_io::writeToFile(fd_.get(), text)) {
            path_ = "/proc/self/fd/" + std::to_string(fd_.get());
        }
    }
    const std::string& path() const { return path_; }  // empty when it could not be made

  private:
    UniqueFd fd_;
    std::string path_;
};

std::wstring widenAscii(const char* text) {
    return text == nullptr ? std::wstring() : std::wstring(text, text + std::strlen(text));
}

bool convertible(std::span<const Narrow> arguments) {
    for (const Narrow& argument : arguments) {
        if (!argument.valid()) {
            throw std::invalid_argument("text that is not valid UTF-32");
        }
    }
    return true;
}

}  // namespace

InstallerFacade& InstallerFacade::instance() {
    static InstallerFacade facade;
    return facade;
}

InstallerFacade::InstallerFacade() {
    // Kept loaded for the life of the process, like every library we open.
    handle_ = dlopen(kInstallerLibrary, RTLD_LAZY | RTLD_LOCAL);
    if (handle_ == nullptr) {
        return;
    }
#define MORVANEX_BIND_POINTER(name) \
    p_##name = reinterpret_cast<decltype(p_##name)>(dlsym(handle_, #name));
    MORVANEX_INSTALLER_FUNCTIONS(MORVANEX_BIND_POINTER)
#undef MORVANEX_BIND_POINTER
}

void InstallerFacade::setRefusal(Refusal refusal) {
    std::lock_guard lock(refusalMutex_);
    refusal_ = std::move(refusal);
}

bool InstallerFacade::refused(std::string_view function) const {
    std::lock_guard lock(refusalMutex_);
    return refusal_ && refusal_(function);
}

template <typename Fn, typename Result, typename... Args>
Result InstallerFacade::call(std::string_view name, Fn fn, Result failure, Args... args) const {
    if (fn == nullptr || refused(name)) {
        return failure;
    }
    return static_cast<Result>(fn(args...));
}

InstallerFacade::Transaction::Transaction() {
    ++tAction.depth;
}

InstallerFacade::Transaction::~Transaction() {
    if (!committed_) {
        failAction("the action was abandoned");
    }
    if (--tAction.depth == 0) {
        tAction = Action();  // lets go of every file
    }
}

bool InstallerFacade::Transaction::commit() {
    if (committed_) {
        return !tAction.failed;
    }
    committed_ = true;
    if (tAction.depth > 1 || tAction.failed || !tAction.writer) {
        return !tAction.failed;  // an outer transaction commits
    }
    const std::unique_ptr<IniWriter> writer = std::move(tAction.writer);
    if (writer->commit()) {
        return true;
    }
    failAction(writer->failure().message);
    instance().post(writer->failure().code, writer->failure().message);
    return false;
}

std::string InstallerFacade::Transaction::failure() const {
    return tAction.failed ? tAction.why : std::string();
}

std::optional<int> InstallerFacade::readPending(
    const char* file, const std::function<int(const char* replaced)>& read) {
    IniWriter* writer = tAction.writer.get();
    if (writer == nullptr) {
        return std::nullopt;
    }
    UWORD mode = ODBC_BOTH_DSN;
    getConfigMode(&mode);
    using Scope = OdbcPaths::Scope;
    std::vector<Scope> scopes{Scope::User, Scope::System};
    if (mode != ODBC_BOTH_DSN) {
        scopes = {mode == ODBC_SYSTEM_DSN ? Scope::System : Scope::User};
    }
    std::vector<std::optional<Snapshot>> snapshots(scopes.size());
    bool seen = false;
    for (size_t at = 0; at < scopes.size(); ++at) {
        const std::optional<std::filesystem::path> path = writer->pathFor(file, scopes[at]);
        if (const IniFile* pending = path ? writer->pending(*path) : nullptr) {
            if (snapshots[at].emplace(pending->text()).path().empty()) {
                return std::nullopt;
            }
            seen = true;
        }
    }
    if (!seen) {
        return std::nullopt;
    }
    // As the library reads in "both" mode: the system file only when the
    // user's gave nothing.
    int length = 0;
    for (size_t at = 0; at < scopes.size() && length == 0; ++at) {
        setConfigMode(scopes[at] == Scope::System ? ODBC_SYSTEM_DSN : ODBC_USER_DSN);
        length = read(snapshots[at] ? snapshots[at]->path().c_str() : nullptr);
    }
    return length;
}

int InstallerFacade::getPrivateProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue,
                                             LPSTR out, int outSize, LPCSTR file) {
    const auto read = [&](const char* replaced) {
        return call("SQLGetPrivateProfileString", p_SQLGetPrivateProfileString, 0, section, entry,
                    defaultValue, out, outSize, replaced != nullptr ? replaced : file);
    };
    const std::optional<int> pending = readPending(file, read);
    return pending ? *pending : read(nullptr);
}

int InstallerFacade::getPrivateProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue,
                                              LPWSTR out, int outSize, LPCWSTR file) {
    const auto read = [&](const char* replaced) {
        const std::wstring path = widenAscii(replaced);
        return call("SQLGetPrivateProfileStringW", p_SQLGetPrivateProfileStringW, 0, section, entry,
                    defaultValue, out, outSize, replaced != nullptr ? path.c_str() : file);
    };
    const Narrow narrowFile(file);
    const std::optional<int> pending = readPending(narrowFile.get(), read);
    return pending ? *pending : read(nullptr);
}

BOOL InstallerFacade::writePrivateProfileString(LPCSTR section, LPCSTR entry, LPCSTR value,
                                                LPCSTR file) {
    return write("SQLWritePrivateProfileString", [&](IniWriter& writer) {
        return writer.writePrivateProfileString(section, entry, value, file);
    });
}

BOOL InstallerFacade::writePrivateProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR value,
                                                 LPCWSTR file) {
    return write("SQLWritePrivateProfileStringW", [&](IniWriter& writer) {
        const Narrow narrow[] = {Narrow(section), Narrow(entry), Narrow(value), Narrow(file)};
        return convertible(narrow) &&
               writer.writePrivateProfileString(narrow[0].get(), narrow[1].get(), narrow[2].get(),
                                                narrow[3].get());
    });
}

BOOL InstallerFacade::writeDSNToIni(LPCSTR dsn, LPCSTR driver) {
    return write("SQLWriteDSNToIni",
                 [&](IniWriter& writer) { return writer.writeDSNToIni(dsn, driver); });
}

BOOL InstallerFacade::writeDSNToIniW(LPCWSTR dsn, LPCWSTR driver) {
    return write("SQLWriteDSNToIniW", [&](IniWriter& writer) {
        const Narrow narrow[] = {Narrow(dsn), Narrow(driver)};
        return convertible(narrow) && writer.writeDSNToIni(narrow[0].get(), narrow[1].get());
    });
}

BOOL InstallerFacade::removeDSNFromIni(LPCSTR dsn) {
    return write("SQLRemoveDSNFromIni",
                 [&](IniWriter& writer) { return writer.removeDSNFromIni(dsn); });
}

BOOL InstallerFacade::removeDSNFromIniW(LPCWSTR dsn) {
    return write("SQLRemoveDSNFromIniW", [&](IniWriter& writer) {
        const Narrow narrow[] = {Narrow(dsn)};
        return convertible(narrow) && writer.removeDSNFromIni(narrow[0].get());
    });
}

BOOL InstallerFacade::validDSN(LPCSTR dsn) {
    return call("SQLValidDSN", p_SQLValidDSN, BOOL{FALSE}, dsn);
}

BOOL InstallerFacade::setConfigMode(UWORD mode) {
    return call("SQLSetConfigMode", p_SQLSetConfigMode, BOOL{FALSE}, mode);
}

BOOL InstallerFacade::getConfigMode(UWORD* mode) {
    return call("SQLGetConfigMode", p_SQLGetConfigMode, BOOL{FALSE}, mode);
}

RETCODE InstallerFacade::postInstallerError(DWORD code, LPSTR message) {
    return call("SQLPostInstallerError", p_SQLPostInstallerError, RETCODE{SQL_ERROR}, code,
                message);
}

RETCODE InstallerFacade::installerError(WORD index, DWORD* code, LPSTR message, WORD messageMax,
                                        WORD* messageLength) {
    return call("SQLInstallerError", p_SQLInstallerError, RETCODE{SQL_ERROR}, index, code, message,
                messageMax, messageLength);
}

BOOL InstallerFacade::getInstalledDrivers(LPSTR buffer, WORD bufferMax, WORD* bufferOut) {
    return call("SQLGetInstalledDrivers", p_SQLGetInstalledDrivers, BOOL{FALSE}, buffer, bufferMax,
                bufferOut);
}

BOOL InstallerFacade::removeDriver(LPCSTR driver, BOOL removeDsns, LPDWORD) {
    return write("SQLRemoveDriver", [&](IniWriter& writer) {
        return writer.removeDriver(driver, removeDsns != FALSE);
    });
}

BOOL InstallerFacade::write(std::string_view name, const std::function<bool(IniWriter&)>& edit) {
    const bool inAction = tAction.depth > 0;
    if (refused(name)) {
        failAction(std::string(name) + " was refused");
        return FALSE;
    }
    UWORD mode = ODBC_BOTH_DSN;
    getConfigMode(&mode);
    // As the library does after every profile call; this also clears its
    // error stack, so what we post below is the call's only error.
    setConfigMode(ODBC_BOTH_DSN);
    const auto failed = [&](DWORD code, const std::string& why) {
        if (inAction) {
            failAction(why);
        }
        post(code, why);
        return FALSE;
    };
    try {
        std::unique_ptr<IniWriter> own;
        std::unique_ptr<IniWriter>& writer = inAction ? tAction.writer : own;
        if (!writer) {
            writer = std::make_unique<IniWriter>(mode, OdbcPaths::current());
        }
        writer->setMode(mode);
        if (edit(*writer) && (inAction || writer->commit())) {
            return TRUE;
        }
        return failed(writer->failure().code, writer->failure().message);
    } catch (const std::bad_alloc&) {
        return failed(ODBC_ERROR_OUT_OF_MEM, "out of memory");
    } catch (const std::exception& error) {
        return failed(ODBC_ERROR_GENERAL_ERR, error.what());
    }
}

void InstallerFacade::post(DWORD code, const std::string& message) {
    std::lock_guard lock(postedMutex_);
    // Older texts may still be read through their pointers: keep a few.
    if (posted_.size() >= kPostedKept) {
        posted_.pop_front();
    }
    posted_.push_back(message);
    postInstallerError(code, posted_.back().data());
}

BOOL InstallerFacade::configDataSource(HWND parent, WORD request, LPCSTR driver,
                                       LPCSTR attributes) {
    return call("SQLConfigDataSource", p_SQLConfigDataSource, BOOL{FALSE}, parent, request, driver,
                attributes);
}

BOOL InstallerFacade::configDataSourceW(HWND parent, WORD request, LPCWSTR driver,
                                        LPCWSTR attributes) {
    return call("SQLConfigDataSourceW", p_SQLConfigDataSourceW, BOOL{FALSE}, parent, request,
                driver, attributes);
}
