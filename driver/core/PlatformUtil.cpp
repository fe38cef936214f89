#include "driver/core/PlatformUtil.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/AsciiCase.h"
#include "platform/Bundle.h"
#include "platform/HostInfo.h"

namespace {

constexpr size_t kMaxInfoText = 255;
constexpr int kMaxCompared = 16;

// Process-wide facts about the host, filled on first use. Guarded, since
// environments may be created on several threads at once.
struct HostCache {
    std::mutex mutex;
    bool bundleLooked = false;
    bool namesRead = false;
    std::optional<Bundle> mainBundle;
    std::string name;
    std::string version;
};

HostCache& hostCache() {
    static HostCache cache;
    return cache;
}

// Cuts a text to 255 bytes without splitting a UTF-8 sequence.
std::string limitedText(std::string text) {
    if (text.size() <= kMaxInfoText) {
        return text;
    }
    size_t cut = kMaxInfoText;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    return text;
}

const std::optional<Bundle>& mainBundleLocked(HostCache& cache) {
    if (!cache.bundleLooked) {
        cache.mainBundle = Bundle::containing(host_info::executablePath());
        cache.bundleLooked = true;
    }
    return cache.mainBundle;
}

std::string executableName() {
    return host_info::executablePath().filename().string();
}

int64_t leadingNumber(std::string_view piece) {
    int64_t value = 0;
    std::from_chars(piece.data(), piece.data() + piece.size(), value);
    return value;
}

}  // namespace

void getHostAppNameAndVersion(std::string& name, std::string& version) {
    HostCache& cache = hostCache();
    std::lock_guard lock(cache.mutex);
    // Read once, whichever lookup fetched the bundle first.
    if (!cache.namesRead) {
        cache.namesRead = true;
        if (const auto& bundle = mainBundleLocked(cache)) {
            cache.name = limitedText(bundle->infoString("CFBundleName").value_or(""));
            if (!cache.name.empty()) {
                cache.version = limitedText(bundle->infoString("CFBundleVersion").value_or(""));
            }
        }
    }
    if (cache.name.empty()) {
        cache.name = limitedText(executableName());
    }
    name = cache.name;
    version = cache.version;
}

void getHostBundleIdentifier(std::string& identifier) {
    HostCache& cache = hostCache();
    std::lock_guard lock(cache.mutex);
    const auto& bundle = mainBundleLocked(cache);
    identifier = bundle ? limitedText(bundle->identifier()) : std::string();
    if (identifier.empty()) {
        identifier = limitedText(executableName());
    }
}

void resetHostApplicationCache() {
    HostCache& cache = hostCache();
    std::lock_guard lock(cache.mutex);
    cache.bundleLooked = false;
    cache.namesRead = false;
    cache.mainBundle.reset();
    cache.name.clear();
    cache.version.clear();
}

int get_bsd_process_list(std::vector<ProcessRecord>& records) {
    return ProcessList::snapshot(records);
}

int getProcessName(pid_t pid, char* buffer) {
    if (buffer == nullptr) {
        return -1;
    }
    std::vector<ProcessRecord> records;
    if (get_bsd_process_list(records) != 0) {
        return -1;
    }
    for (const ProcessRecord& record : records) {
        if (record.pid == pid) {
            std::memcpy(buffer, record.command, ProcessList::kCommandSize);
            return 1;
        }
    }
    return -1;
}

int findProcessByName(const char* name, int length, pid_t* pid) {
    if (name == nullptr || length < 0) {
        return -1;
    }
    std::vector<ProcessRecord> records;
    if (get_bsd_process_list(records) != 0) {
        return -1;
    }
    const size_t compared = static_cast<size_t>(std::min(length, kMaxCompared));
    // Each name ends at its NUL or after `compared` characters.
    const auto cut = [compared](const char* text) {
        return std::string_view(text, strnlen(text, compared));
    };
    for (const ProcessRecord& record : records) {
        if (equalsIgnoringAsciiCase(cut(record.command), cut(name))) {
            if (pid != nullptr) {
                *pid = record.pid;
            }
            return 1;
        }
    }
    return -1;
}

void parseOperatingSystemVersion(std::string_view text, int64_t* major, int64_t* minor,
                                 int64_t* patch) {
    int64_t* parts[] = {major, minor, patch};
    for (int64_t* part : parts) {
        if (part != nullptr) {
            *part = 0;
        }
    }
    const size_t start = text.find_first_of("0123456789");
    if (start == std::string_view::npos) {
        return;
    }
    std::string_view rest = text.substr(start);
    rest = rest.substr(0, rest.find(' '));
    for (int64_t* part : parts) {
        const size_t dot = rest.find('.');
        if (part != nullptr) {
            *part = leadingNumber(rest.substr(0, dot));
        }
        if (dot == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(dot + 1);
    }
}

void getOperatingSystemVersion(int64_t* major, int64_t* minor, int64_t* patch) {
    parseOperatingSystemVersion(host_info::kernelRelease(), major, minor, patch);
}

void getOsVersionString(std::string& text) {
    int64_t major = 0;
    int64_t minor = 0;
    int64_t patch = 0;
    getOperatingSystemVersion(&major, &minor, &patch);
    text = "Linux " + std::to_string(major) + "." + std::to_string(minor) + "." +
           std::to_string(patch);
}

void getArchitecture(std::string& architecture) {
    architecture = host_info::architecture();
}

std::string getHostName() {
    return host_info::hostName();
}

std::string getBundleVersion(const char* bundleIdentifier) {
    const std::string identifier = bundleIdentifier ? bundleIdentifier : "";
    std::optional<Bundle> bundle;
    // Loaded bundles first: this module's own and the host's.
    if (auto own = Bundle::ofThisModule(); own && own->identifier() == identifier) {
        bundle = std::move(own);
    } else if (auto host = Bundle::containing(host_info::executablePath());
               host && host->identifier() == identifier) {
        bundle = std::move(host);
    } else {
        bundle = Bundle::withIdentifier(identifier);
    }
    if (!bundle) {
        return "0.0.0";
    }
    return limitedText(bundle->infoString("CFBundleVersion").value_or(""));
}

bool getSandboxContainerId() {
    // A Flatpak host: its id in the environment, its info file at the root.
    const char* id = std::getenv("FLATPAK_ID");
    return (id != nullptr && *id != '\0') || ::access("/.flatpak-info", F_OK) == 0;
}

bool isTranslated() {
    return false;
}

bool decimalSeparatorIsPeriod() {
    return host_info::userDecimalSeparator() == ".";
}
