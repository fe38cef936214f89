#include "platform/HostInfo.h"

#include <langinfo.h>
#include <locale.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex& overrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::filesystem::path>& executableOverride() {
    static std::optional<std::filesystem::path> path;
    return path;
}

}  // namespace

namespace host_info {

std::string kernelRelease() {
    struct utsname names {};
    if (uname(&names) != 0) {
        return {};
    }
    return names.release;
}

std::string hostName() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        return {};
    }
    return buffer;
}

std::string architecture() {
#if defined(__x86_64__)
    return "x86_64";
#elif defined(__aarch64__)
    return "arm64";
#else
    return "unknown";
#endif
}

std::filesystem::path executablePath() {
    {
        std::lock_guard lock(overrideMutex());
        if (executableOverride()) {
            return *executableOverride();
        }
    }
    const char* fromEnvironment = ::secure_getenv("MORVANEX_HOST_EXECUTABLE");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') {
        return fromEnvironment;
    }
    char buffer[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<size_t>(length));
}

void setExecutableOverride(std::optional<std::filesystem::path> path) {
    std::lock_guard lock(overrideMutex());
    executableOverride() = std::move(path);
}

std::string userDecimalSeparator() {
    locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) {
        return ".";
    }
    const char* radix = nl_langinfo_l(RADIXCHAR, user);
    std::string result = (radix != nullptr && radix[0] != '\0') ? radix : ".";
    freelocale(user);
    return result;
}

}  // namespace host_info
