#include "platform/FileSecretStore.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/OdbcPaths.h"
#include "platform/ReplacedFile.h"
#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDirectoryName = "morvanex";
constexpr const char* kFileName = "secrets";
constexpr const char* kLockName = "secrets.lock";
constexpr std::string_view kHeader = "MORVANEX-SECRETS 1\n";
constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;
constexpr std::size_t kMaxLengthDigits = 9;

using Status = SecretStore::Status;

struct Item {
    std::string service;
    std::string account;
    std::string secret;
};
using Items = std::vector<Item>;

Status errnoStatus(int error) {
    return error == ENOMEM ? SecretStore::kAllocateError : SecretStore::kIoError;
}

// Creates each missing directory of the path with mode 0700.
bool makeDirectories(const fs::path& directory) {
    fs::path partial;
    for (const fs::path& part : directory) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// The store's directory, refused when it is a symbolic link, not ours, or
// writable by others. kItemNotFound when it does not exist.
Status openDirectory(const fs::path& directory, UniqueFd& out) {
    UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ENOENT ? SecretStore::kItemNotFound : errnoStatus(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return errnoStatus(errno);
    }
    if (info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return SecretStore::kIoError;
    }
    out = std::move(fd);
    return SecretStore::kSuccess;
}

// One field: decimal byte count, ":", the bytes, a line feed.
bool takeField(std::string_view& text, std::string& field) {
    const std::size_t colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos || colon > kMaxLengthDigits) {
        return false;
    }
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + colon, length);
    if (error != std::errc() || end != text.data() + colon) {
        return false;
    }
    text.remove_prefix(colon + 1);
    if (text.size() < length + 1 || text[length] != '\n') {
        return false;
    }
    field.assign(text.substr(0, length));
    text.remove_prefix(length + 1);
    return true;
}

Status decode(std::string_view text, Items& items) {
    if (text.substr(0, kHeader.size()) != kHeader) {
        return SecretStore::kDecodeError;
    }
    text.remove_prefix(kHeader.size());
    while (!text.empty()) {
        Item item;
        if (!takeField(text, item.service) || !takeField(text, item.account) ||
            !takeField(text, item.secret)) {
            return SecretStore::kDecodeError;
        }
        items.push_back(std::move(item));
    }
    return SecretStore::kSuccess;
}

void appendField(std::string& out, const std::string& field) {
    out.append(std::to_string(field.size())).push_back(':');
    out.append(field).push_back('\n');
}

std::string encode(const Items& items) {
    std::string out(kHeader);
    for (const Item& item : items) {
        appendField(out, item.service);
        appendField(out, item.account);
        appendField(out, item.secret);
    }
    return out;
}

Status readAll(int fd, std::size_t expected, std::string& out) {
    out.reserve(expected);
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errnoStatus(errno);
        }
        if (n == 0) {
            return SecretStore::kSuccess;
        }
        if (out.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
            return SecretStore::kDecodeError;
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
}

// The items of the store's file; none when there is no file yet.
Status readItems(int directoryFd, Items& items) {
    UniqueFd fd(::openat(directoryFd, kFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ENOENT ? SecretStore::kSuccess : errnoStatus(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return errnoStatus(errno);
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return SecretStore::kIoError;
    }
    if (static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
        return SecretStore::kDecodeError;
    }
    std::string text;
    const Status status = readAll(fd.get(), static_cast<std::size_t>(info.st_size), text);
    return status == SecretStore::kSuccess ? decode(text, items) : status;
}

Status writeItems(int directoryFd, const Items& items) {
    const int error = ReplacedFile::write(directoryFd, kFileName, encode(items));
    return error == 0 ? SecretStore::kSuccess : errnoStatus(error);
}

Status lockStore(int directoryFd, UniqueFd& lock) {
    UniqueFd fd(::openat(directoryFd, kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        return errnoStatus(errno);
    }
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return errnoStatus(errno);
        }
    }
    lock = std::move(fd);
    return SecretStore::kSuccess;
}

template <typename Body>
Status guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return SecretStore::kAllocateError;
    } catch (const std::exception&) {
        return SecretStore::kIoError;
    }
}

}  // namespace

FileSecretStore::FileSecretStore() = default;

FileSecretStore::FileSecretStore(fs::path directory) : directory_(std::move(directory)) {}

fs::path FileSecretStore::defaultDirectory() {
    // A relative XDG_DATA_HOME is invalid and ignored.
    const char* dataHome = ::secure_getenv("XDG_DATA_HOME");
    fs::path base;
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const fs::path home = OdbcPaths::currentHome();
        if (home.empty()) {
            return {};
        }
        base = home / ".local" / "share";
    }
    return base / kDirectoryName;
}

fs::path FileSecretStore::directory() const {
    return directory_ ? *directory_ : defaultDirectory();
}

fs::path FileSecretStore::filePath() const {
    const fs::path dir = directory();
    return dir.empty() ? dir : dir / kFileName;
}

SecretStore::Status FileSecretStore::find(const std::string& service, const std::string& account,
                                          std::string& secret) {
    return guarded([&] {
        std::lock_guard lock(mutex_);
        return findLocked(service, account, secret);
    });
}

SecretStore::Status FileSecretStore::store(const std::string& service, const std::string& account,
                                           const std::string& secret) {
    return guarded([&] {
        std::lock_guard lock(mutex_);
        return storeLocked(service, account, secret);
    });
}

SecretStore::Status FileSecretStore::findLocked(const std::string& service,
                                                const std::string& account, std::string& secret) {
    const fs::path dir = directory();
    if (dir.empty()) {
        return kIoError;
    }
    std::string problem;
    if (TrustedPath::keepsRootRules()) {
        if (const int refused =
                TrustedPath::check(dir / kFileName, problem, TrustedPath::Need::Setting)) {
            return refused == ENOENT ? kItemNotFound : kIoError;
        }
    }
    UniqueFd directoryFd;
    Status status = openDirectory(dir, directoryFd);
    if (status != kSuccess) {
        return status;
    }
    Items items;
    status = readItems(directoryFd.get(), items);
    if (status != kSuccess) {
        return status;
    }
    for (const Item& item : items) {
        if (item.service == service && item.account == account) {
            secret = item.secret;
            return kSuccess;
        }
    }
    return kItemNotFound;
}

SecretStore::Status FileSecretStore::storeLocked(const std::string& service,
                                                 const std::string& account,
                                                 const std::string& secret) {
    const fs::path dir = directory();
    std::string problem;
    // Root's secrets go only where root alone could have made the folder.
    if (dir.empty() ||
        !(TrustedPath::keepsRootRules() ? TrustedPath::makeFoldersFor(dir / kFileName, problem) == 0
                                        : makeDirectories(dir))) {
        return kIoError;
    }
    UniqueFd directoryFd;
    Status status = openDirectory(dir, directoryFd);
    if (status != kSuccess) {
        return status == kItemNotFound ? kIoError : status;
    }
    UniqueFd lock;
    status = lockStore(directoryFd.get(), lock);
    if (status != kSuccess) {
        return status;
    }
    // A file that cannot be read is left alone rather than overwritten.
    Items items;
    status = readItems(directoryFd.get(), items);
    if (status != kSuccess) {
        return status;
    }
    bool replaced = false;
    for (Item& item : items) {
        if (item.service == service && item.account == account) {
            item.secret = secret;
            replaced = true;
            break;
        }
    }
    if (!replaced) {
        items.push_back({service, account, secret});
    }
    return writeItems(directoryFd.get(), items);
}
