#include "pemberix/SettingsFiles.h"

#include "platform/TrustedPath.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace pemberix {
namespace {

struct Candidate {
    const char* what;
    std::string path;
};
using Candidates = std::optional<std::vector<Candidate>>;

// unixODBC names the folder and the name of each file.
using FilePart = char* (*)(char*);
struct AskedFile {
    const char* what;
    const char* folder;
    const char* name;
};
constexpr AskedFile kAskedFiles[] = {
    {"the system odbcinst.ini", "odbcinst_system_file_path", "odbcinst_system_file_name"},
    {"the user's odbcinst.ini", "odbcinst_user_file_path", "odbcinst_user_file_name"},
};
// Larger than any part unixODBC copies (up to 4096 bytes).
constexpr std::size_t kPartBytes = 8192;
// iODBC's path buffer: a longer path is cut, so it is not known.
constexpr std::size_t kIodbcPathBytes = 1024;
constexpr const char* kIodbcSystemFile = "/etc/odbcinst.ini";

std::optional<std::string> askedPart(void* installer, const char* function) {
    const auto part = reinterpret_cast<FilePart>(dlsym(installer, function));
    std::array<char, kPartBytes> buffer{};
    const char* text = part != nullptr ? part(buffer.data()) : nullptr;
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::string(text, strnlen(text, kPartBytes));
}

Candidates askedOfUnixOdbc(void* installer) {
    std::vector<Candidate> files;
    for (const AskedFile& file : kAskedFiles) {
        const auto folder = askedPart(installer, file.folder);
        const auto name = askedPart(installer, file.name);
        if (!folder || !name) {
            return std::nullopt;
        }
        files.push_back({file.what, *folder + "/" + *name});
    }
    return files;
}

// As iODBC's installer reads them: getenv, as it does, even in a set-user-ID
// process; the home folder as $HOME, else the real user's.
Candidates iodbcCandidates() {
    std::vector<Candidate> files;
    if (const char* user = std::getenv("ODBCINSTINI")) {
        files.push_back({"$ODBCINSTINI", user});
    }
    const char* home = std::getenv("HOME");
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 16384> text{};
    if (home == nullptr && getpwuid_r(getuid(), &entry, text.data(), text.size(), &found) == 0 &&
        found != nullptr) {
        home = found->pw_dir;
    }
    if (home != nullptr) {
        files.push_back({"the user's odbcinst.ini", std::string(home) + "/.odbcinst.ini"});
    }
    if (const char* system = std::getenv("SYSODBCINSTINI")) {
        files.push_back({"$SYSODBCINSTINI", system});
    }
    files.push_back({"the system odbcinst.ini", kIodbcSystemFile});
    for (const Candidate& file : files) {
        if (file.path.size() >= kIodbcPathBytes) {
            return std::nullopt;
        }
    }
    return files;
}

Candidates candidatesOf(void* installer) {
    if (dlsym(installer, kAskedFiles[0].folder) != nullptr) {
        return askedOfUnixOdbc(installer);
    }
    if (dlsym(installer, "iodbcinst_version") != nullptr) {
        return iodbcCandidates();
    }
    return std::nullopt;
}

}  // namespace

std::string SettingsFiles::untrusted(ProfileReader read) {
    Dl_info info{};
    void* installer = dladdr(reinterpret_cast<void*>(read), &info) != 0 && info.dli_fname != nullptr
                          ? dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)
                          : nullptr;
    const Candidates files = installer != nullptr ? candidatesOf(installer) : std::nullopt;
    if (installer != nullptr) {
        dlclose(installer);
    }
    if (!files) {
        return "its installer library does not say which files hold them";
    }
    for (const Candidate& file : *files) {
        std::string problem;
        if (TrustedPath::check(file.path, problem, TrustedPath::Need::Setting) != 0) {
            return std::string(file.what) + ": " + problem;
        }
    }
    return {};
}

}  // namespace pemberix
