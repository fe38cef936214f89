#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A per-user store of secrets keyed by service and account, standing in for
// the keychain's generic passwords. Its answers are the keychain's status
// numbers, so callers and traces see the same values.
class SecretStore {
  public:
    using Status = std::int32_t;
    static constexpr Status kSuccess = 0;
    static constexpr Status kIoError = -36;
    static constexpr Status kParamError = -50;
    static constexpr Status kAllocateError = -108;
    static constexpr Status kBufferTooSmall = -25301;
    static constexpr Status kItemNotFound = -25300;
    static constexpr Status kDecodeError = -26275;

    virtual ~SecretStore() = default;

    // kSuccess with `secret` set, kItemNotFound, or a failure; `secret` is
    // left alone unless the item was found.
    virtual Status find(const std::string& service, const std::string& account,
                        std::string& secret) = 0;
    // Adds the item, or replaces the secret of an existing one.
    virtual Status store(const std::string& service, const std::string& account,
                         const std::string& secret) = 0;

    // The process-wide store: the per-user file store unless a test put
    // another one in place.
    static std::shared_ptr<SecretStore> current();
    // Puts `store` in place (null brings back the file store) and returns
    // the previous one.
    static std::shared_ptr<SecretStore> replaceCurrent(std::shared_ptr<SecretStore> store);
};
