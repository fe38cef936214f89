#include "platform/Bundle.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Fixed install folders, after the ones derived from the module's place.
constexpr const char* kInstallFolders[] = {
    "/usr/local/lib/morvanex",
    "/usr/lib/morvanex",
};

void appendPathList(std::vector<fs::path>& folders, const char* list) {
    if (list == nullptr) {
        return;
    }
    std::string_view rest(list);
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        if (!entry.empty()) {
            folders.emplace_back(entry);
        }
        if (colon == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(colon + 1);
    }
}

std::optional<fs::path> modulePath(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
        return std::nullopt;
    }
    return fs::path(info.dli_fname);
}

// The folders inside `folder`, sorted so that the search is repeatable.
std::vector<fs::path> subfolders(const fs::path& folder) {
    std::vector<fs::path> result;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            result.push_back(it->path());
        }
    }
    std::sort(result.begin(), result.end());
    return result;
}

// An address inside this module.
void moduleAnchor() {}

}  // namespace

std::optional<Bundle> Bundle::open(const fs::path& folder) {
    auto info = PropertyList::readFile(folder / "Contents" / "Info.plist");
    if (!info || !info->isDictionary()) {
        return std::nullopt;
    }
    return Bundle(folder, std::move(*info));
}

std::optional<Bundle> Bundle::findAround(const fs::path& path) {
    // The nearest ancestor named "Contents" whose parent is a bundle.
    for (fs::path current = path.parent_path(); !current.empty(); current = current.parent_path()) {
        if (current.filename() == "Contents") {
            if (auto bundle = open(current.parent_path())) {
                return bundle;
            }
        }
        if (current == current.root_path()) {
            break;
        }
    }
    return std::nullopt;
}

std::optional<Bundle> Bundle::containing(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error) {
        return std::nullopt;
    }
    if (auto bundle = findAround(absolute.lexically_normal())) {
        return bundle;
    }
    const fs::path resolved = fs::canonical(absolute, error);
    if (error || resolved == absolute) {
        return std::nullopt;
    }
    return findAround(resolved);
}

std::optional<Bundle> Bundle::ofAddress(const void* address) {
    auto path = modulePath(address);
    return path ? containing(*path) : std::nullopt;
}

std::optional<Bundle> Bundle::ofThisModule() {
    return ofAddress(reinterpret_cast<const void*>(&moduleAnchor));
}

std::vector<fs::path> Bundle::searchFolders() {
    std::vector<fs::path> folders;
#ifdef MORVANEX_TEST_HOOKS
    appendPathList(folders, ::secure_getenv("MORVANEX_BUNDLE_PATH"));
#endif
    if (auto own = ofThisModule()) {
        folders.push_back(own->path().parent_path());
    }
    if (auto module = modulePath(reinterpret_cast<const void*>(&moduleAnchor))) {
        std::error_code error;
        const fs::path resolved = fs::weakly_canonical(fs::absolute(*module, error), error);
        if (!error) {
            folders.push_back(resolved.parent_path().parent_path() / "bundles");
        }
    }
    for (const char* folder : kInstallFolders) {
        folders.emplace_back(folder);
    }
    return folders;
}

std::optional<Bundle> Bundle::withIdentifier(std::string_view identifier) {
    if (identifier.empty()) {
        return std::nullopt;
    }
    for (const fs::path& folder : searchFolders()) {
        for (const fs::path& candidate : subfolders(folder)) {
            auto bundle = open(candidate);
            if (bundle && bundle->identifier() == identifier) {
                return bundle;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> Bundle::infoString(std::string_view key) const {
    return info_.string(key);
}
