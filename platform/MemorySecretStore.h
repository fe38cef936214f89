#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/SecretStore.h"

// Secrets kept in memory only: for tests, behind the same interface as the
// per-user file.
class MemorySecretStore : public SecretStore {
  public:
    Status find(const std::string& service, const std::string& account,
                std::string& secret) override;
    Status store(const std::string& service, const std::string& account,
                 const std::string& secret) override;

    std::size_t size() const;

  private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, std::string>, std::string> items_;
};
