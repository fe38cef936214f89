#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

// A private 0755 folder, removed with its owner, in which ownership checks
// can pass: no folder above it may be writable by others. The build tree
// may lie below /tmp (a fresh clone anywhere), so a root run takes /run,
// which only root can write; others fall back to the build tree.
// Needs MORVANEX_BINARY_DIR.
class TrustedTestFolder {
  public:
    TrustedTestFolder() {
        std::string pattern = base() + "/morvanex-owned-test-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        path_ = pattern;
        chmod(path_.c_str(), 0755);
    }
    ~TrustedTestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TrustedTestFolder(const TrustedTestFolder&) = delete;
    TrustedTestFolder& operator=(const TrustedTestFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    static std::string base() {
        struct stat run {};
        if (geteuid() == 0 && stat("/run", &run) == 0 && S_ISDIR(run.st_mode) &&
            run.st_uid == 0 && (run.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
            return "/run";
        }
        return MORVANEX_BINARY_DIR;
    }

    std::filesystem::path path_;
};
