#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PropertyList.h"

// A bundle: a folder holding Contents/Info.plist, Contents/Resources and
// possibly Contents/MacOS (the module) and Contents/Library/LaunchServices.
// Bundles are found around a file (the loaded module, the executable) or by
// identifier in a short list of install folders.
class Bundle {
  public:
    // The bundle whose Contents folder holds `path`, looking at the path as
    // given and then with its links resolved.
    static std::optional<Bundle> containing(const std::filesystem::path& path);
    // The bundle around the loaded object that holds `address` (dladdr).
    static std::optional<Bundle> ofAddress(const void* address);
    // The bundle of the object this code is linked into (the driver module,
    // or a test program).
    static std::optional<Bundle> ofThisModule();
    // The first bundle with this CFBundleIdentifier among the search folders.
    static std::optional<Bundle> withIdentifier(std::string_view identifier);
    // Where withIdentifier looks, in order: $MORVANEX_BUNDLE_PATH (a
    // colon-separated list, in test builds only), the folder holding this module's
    // bundle, "bundles" beside this module's folder, the install folders.
    static std::vector<std::filesystem::path> searchFolders();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path contentsPath() const { return path_ / "Contents"; }
    std::filesystem::path resourcesPath() const { return contentsPath() / "Resources"; }
    const PropertyList& info() const { return info_; }
    // A string entry of Info.plist; nothing when absent or not a string.
    std::optional<std::string> infoString(std::string_view key) const;
    std::string identifier() const { return infoString("CFBundleIdentifier").value_or(""); }

  private:
    Bundle(std::filesystem::path path, PropertyList info)
        : path_(std::move(path)), info_(std::move(info)) {}
    static std::optional<Bundle> open(const std::filesystem::path& folder);
    static std::optional<Bundle> findAround(const std::filesystem::path& path);

    std::filesystem::path path_;
    PropertyList info_;
};
