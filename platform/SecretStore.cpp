#include "platform/SecretStore.h"

#include <mutex>

#include "platform/FileSecretStore.h"

namespace {

std::mutex& currentMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<SecretStore>& currentSlot() {
    static std::shared_ptr<SecretStore> store;
    return store;
}

}  // namespace

std::shared_ptr<SecretStore> SecretStore::current() {
    std::lock_guard lock(currentMutex());
    std::shared_ptr<SecretStore>& slot = currentSlot();
    if (!slot) {
        slot = std::make_shared<FileSecretStore>();
    }
    return slot;
}

std::shared_ptr<SecretStore> SecretStore::replaceCurrent(std::shared_ptr<SecretStore> store) {
    std::lock_guard lock(currentMutex());
    std::shared_ptr<SecretStore> previous = std::move(currentSlot());
    currentSlot() = std::move(store);
    return previous;
}
