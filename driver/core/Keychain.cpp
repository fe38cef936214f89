#include "driver/core/Keychain.h"

#include <cstring>
#include <new>

#include "platform/SecretStore.h"

namespace {

KeychainStatus toKeychainStatus(SecretStore::Status status) {
    return static_cast<KeychainStatus>(status);
}

}  // namespace

std::string keychainServiceName(const std::string& prefix, const std::string& dsn) {
    return prefix + "." + dsn;
}

KeychainStatus findKeychainPassword(const std::string& prefix, const std::string& dsn,
                                    const std::string& user, std::string& password) {
    password.clear();
    try {
        std::string found;
        const SecretStore::Status status =
            SecretStore::current()->find(keychainServiceName(prefix, dsn), user, found);
        if (status == SecretStore::kSuccess) {
            password = std::move(found);
        }
        return toKeychainStatus(status);
    } catch (const std::bad_alloc&) {
        return toKeychainStatus(SecretStore::kAllocateError);
    }
}

KeychainStatus findKeychainPasswordC(const char* prefix, const char* dsn, const char* user,
                                     char* password, std::size_t passwordSize) {
    if (password == nullptr || passwordSize == 0) {
        return errSecParam;
    }
    password[0] = '\0';
    if (prefix == nullptr || dsn == nullptr || user == nullptr) {
        return errSecParam;
    }
    try {
        std::string found;
        const KeychainStatus status = findKeychainPassword(prefix, dsn, user, found);
        if (status != errSecSuccess) {
            return status;
        }
        if (found.size() >= passwordSize) {
            return errSecBufferTooSmall;
        }
        std::memcpy(password, found.data(), found.size());
        password[found.size()] = '\0';
        return errSecSuccess;
    } catch (const std::bad_alloc&) {
        return toKeychainStatus(SecretStore::kAllocateError);
    }
}

KeychainStatus storeKeychainPassword(const std::string& prefix, const std::string& dsn,
                                     const std::string& user, const std::string& password,
                                     bool /*readableByAnyApplication*/) {
    try {
        return toKeychainStatus(
            SecretStore::current()->store(keychainServiceName(prefix, dsn), user, password));
    } catch (const std::bad_alloc&) {
        return toKeychainStatus(SecretStore::kAllocateError);
    }
}
