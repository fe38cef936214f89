#include "platform/TrustedPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/OwnAppendFile.h"
#include "platform/PathResolver.h"

namespace fs = std::filesystem;

namespace {

int refuse(std::string& problem, const char* reason, int error) {
    problem = reason;
    return error;
}

}  // namespace

bool TrustedPath::keepsRootRules() {
#ifdef MORVANEX_TEST_HOOKS
    if (::secure_getenv("MORVANEX_TEST_ROOT_ANYWHERE") != nullptr) {
        return false;
    }
#endif
    return ::geteuid() == 0;
}

int TrustedPath::check(const fs::path& path, std::string& problem, Need need, uid_t alsoTrusted) {
    fs::path resolved;
    return resolve(path, resolved, problem, need, alsoTrusted);
}

int TrustedPath::makeFoldersFor(const fs::path& file, std::string& problem) {
    std::error_code error;
    fs::path existing = file.parent_path();
    while (!fs::exists(existing, error) && existing.has_relative_path()) {
        existing = existing.parent_path();
    }
    if (const int refused = check(existing / file.filename(), problem, Need::Setting)) {
        return refused;
    }
    fs::path partial = existing;
    for (const fs::path& part : file.parent_path().lexically_relative(existing)) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            const int failed = errno;
            return refuse(problem, "a folder on the way could not be made", failed);
        }
    }
    return check(file, problem, Need::Setting);
}

int TrustedPath::resolve(const fs::path& path, fs::path& resolved, std::string& problem, Need need,
                         uid_t alsoTrusted) {
    if (!path.is_absolute()) {
        return refuse(problem, "not an absolute path", EINVAL);
    }
    PathResolver::Rules rules;
    rules.links = PathResolver::Links::Follow;
    rules.trustedSteps = true;
    rules.suidMounts = true;
    rules.mayBeMissing = need == Need::Setting;
    rules.alsoTrusted = alsoTrusted;
    PathResolver::Result place;
    if (const int error = PathResolver::resolve(path, rules, place, problem)) {
        return error;
    }
    const bool missing = place.info.st_nlink == 0;
    if (!S_ISREG(place.info.st_mode) && !(missing && need == Need::Setting)) {
        return refuse(problem, "not a regular file", EINVAL);
    }
    if (need == Need::Program && (place.info.st_mode & S_IXUSR) == 0) {
        return refuse(problem, "not an executable file", EACCES);
    }
    resolved = place.path;
    return 0;
}

int TrustedPath::placeLogFile(const fs::path& path, const fs::path& folder,
                              PathResolver::Result& place, std::string& problem,
                              uid_t alsoTrusted) {
    if (!path.is_absolute()) {
        return refuse(problem, "not an absolute path", EINVAL);
    }
    PathResolver::Rules rules;
    rules.links = PathResolver::Links::Refuse;
    rules.mayBeMissing = true;
    rules.trustedSteps = true;
    rules.alsoTrusted = alsoTrusted;
    if (const int error = PathResolver::resolve(path, rules, place, problem)) {
        return error;
    }
    const fs::path below = place.path.lexically_relative(folder);
    if (below.empty() || below == "." || *below.begin() == "..") {
        problem = "not below " + folder.string();
        return EPERM;
    }
    return 0;
}

int TrustedPath::resolveLogFile(const fs::path& path, const fs::path& folder, fs::path& resolved,
                                std::string& problem, uid_t alsoTrusted) {
    PathResolver::Result place;
    if (const int error = placeLogFile(path, folder, place, problem, alsoTrusted)) {
        return error;
    }
    if (place.info.st_nlink != 0) {
        if (!S_ISREG(place.info.st_mode)) {
            return refuse(problem, "not a regular file", EINVAL);
        }
        const UniqueFd file(::openat(place.folder.get(), place.name.c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!file.valid() || !OwnAppendFile::isPrivate(file.get())) {
            return refuse(problem, "an existing file others may read", EPERM);
        }
    }
    resolved = place.path;
    return 0;
}
