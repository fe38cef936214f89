#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>
#include <string>

// A private 0755 folder of the build tree, removed with its owner: unlike
// the sandbox under /tmp, no folder above it is writable by others, so
// ownership checks can pass in it. Needs MORVANEX_BINARY_DIR.
class BuildTreeFolder {
  public:
    BuildTreeFolder() {
        std::string pattern = std::string(MORVANEX_BINARY_DIR) + "/owned-test-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        path_ = pattern;
        chmod(path_.c_str(), 0755);
    }
    ~BuildTreeFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    BuildTreeFolder(const BuildTreeFolder&) = delete;
    BuildTreeFolder& operator=(const BuildTreeFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};
