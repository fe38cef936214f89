#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

// A private 0755 folder, removed with its owner, in which ownership checks
// can pass: no folder above it may be writable by others, nor on a mount
// with nosuid or nodev. The build tree may lie below /tmp (a fresh clone
// anywhere), so a root run takes /run, which only root can write, or
// /var/cache where /run is such a mount; others fall back to the build tree.
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
        for (const char* folder : {"/run", "/var/cache"}) {
            struct stat info {};
            struct statvfs system {};
            if (geteuid() == 0 && stat(folder, &info) == 0 && S_ISDIR(info.st_mode) &&
                info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
                statvfs(folder, &system) == 0 && (system.f_flag & (ST_NOSUID | ST_NODEV)) == 0) {
                return folder;
            }
        }
        return MORVANEX_BINARY_DIR;
    }

    std::filesystem::path path_;
};
