#include "driver/core/MutexEnvironment.h"

#include <utility>

MutexEnvironment::MutexEnvironment(std::string bundleIdentifier, std::string driverFileName,
                                   std::string productName, std::string vendorName,
                                   std::unique_ptr<DriverPreferences> preferences)
    : Environment(std::move(bundleIdentifier), std::move(driverFileName), std::move(productName),
                  std::move(vendorName), std::move(preferences)) {}

MutexEnvironment::~MutexEnvironment() = default;

void MutexEnvironment::addConnection(Connection* connection) {
    std::lock_guard guard(mutex_);
    Environment::addConnection(connection);
}

void MutexEnvironment::removeConnection(Connection* connection) {
    std::lock_guard guard(mutex_);
    Environment::removeConnection(connection);
}

SQLRETURN MutexEnvironment::endTran(SQLSMALLINT completionType) {
    std::lock_guard guard(mutex_);
    return Environment::endTran(completionType);
}

void MutexEnvironment::lock() {
    mutex_.lock();
}

void MutexEnvironment::unlock() {
    mutex_.unlock();
}
