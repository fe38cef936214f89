#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "platform/SecretStore.h"

// Secrets in one file of mode 0600, "secrets" in a directory of its own
// (by default $XDG_DATA_HOME/morvanex, $XDG_DATA_HOME defaulting to
// ~/.local/share). The file is never followed through a symbolic link, must
// belong to the user and be closed to group and others, and is replaced
// atomically (a temporary file in the same directory, then rename) under an
// advisory lock on "secrets.lock".
//
// Format: the line "MORVANEX-SECRETS 1", then per item three fields
// (service, account, secret), each written as its byte count in decimal,
// ":", the bytes and a line feed, so any byte may appear in any field.
class FileSecretStore : public SecretStore {
  public:
    // The default location, looked up anew on every call so that a changed
    // environment is followed.
    FileSecretStore();
    explicit FileSecretStore(std::filesystem::path directory);

    static std::filesystem::path defaultDirectory();
    std::filesystem::path directory() const;
    std::filesystem::path filePath() const;

    Status find(const std::string& service, const std::string& account,
                std::string& secret) override;
    Status store(const std::string& service, const std::string& account,
                 const std::string& secret) override;

  private:
    Status findLocked(const std::string& service, const std::string& account, std::string& secret);
    Status storeLocked(const std::string& service, const std::string& account,
                       const std::string& secret);

    std::optional<std::filesystem::path> directory_;
    std::mutex mutex_;
};
