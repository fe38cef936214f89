#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "driver/core/Environment.h"

// An environment whose connection list is guarded by a mutex, so that
// connections may come and go on several threads.
class MutexEnvironment : public Environment {
  public:
    MutexEnvironment(std::string bundleIdentifier, std::string driverFileName,
                     std::string productName, std::string vendorName,
                     std::unique_ptr<DriverPreferences> preferences = nullptr);
    ~MutexEnvironment() override;

    void addConnection(Connection* connection) override;
    void removeConnection(Connection* connection) override;
    // Holds the lock for the whole walk, so the list cannot change under it.
    SQLRETURN endTran(SQLSMALLINT completionType) override;

    // The one non-recursive mutex; not held while calling lock() again.
    virtual void lock();
    virtual void unlock();

  private:
    std::mutex mutex_;
};
