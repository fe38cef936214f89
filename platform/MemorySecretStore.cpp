#include "platform/MemorySecretStore.h"

SecretStore::Status MemorySecretStore::find(const std::string& service, const std::string& account,
                                            std::string& secret) {
    std::lock_guard lock(mutex_);
    auto item = items_.find({service, account});
    if (item == items_.end()) {
        return kItemNotFound;
    }
    secret = item->second;
    return kSuccess;
}

SecretStore::Status MemorySecretStore::store(const std::string& service, const std::string& account,
                                             const std::string& secret) {
    std::lock_guard lock(mutex_);
    items_[{service, account}] = secret;
    return kSuccess;
}

std::size_t MemorySecretStore::size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}
