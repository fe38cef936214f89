#include "platform/ProcessList.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// A /proc entry name made only of digits, as a process id.
bool parsePid(const char* name, pid_t& pid) {
    if (name[0] == '\0') {
        return false;
    }
    long value = 0;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || value > 100000000) {
            return false;
        }
        value = value * 10 + (*p - '0');
    }
    pid = static_cast<pid_t>(value);
    return true;
}

}  // namespace

bool ProcessList::readCommand(pid_t pid, char (&command)[kCommandSize]) {
    const std::string path = "/proc/" + std::to_string(pid) + "/comm";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[kCommandSize] = {};
    const ssize_t got = read(fd, buffer, kCommandSize - 1);
    close(fd);
    if (got < 0) {
        return false;
    }
    size_t length = static_cast<size_t>(got);
    if (length > 0 && buffer[length - 1] == '\n') {
        --length;
    }
    std::memset(command, 0, kCommandSize);
    std::memcpy(command, buffer, length);
    return true;
}

int ProcessList::snapshot(std::vector<Record>& records) {
    records.clear();
    std::unique_ptr<DIR, DirCloser> dir(opendir("/proc"));
    if (!dir) {
        return errno != 0 ? errno : ENOENT;
    }
    try {
        errno = 0;
        while (const dirent* entry = readdir(dir.get())) {
            Record record;
            // A process that ended between listing and reading is skipped.
            if (parsePid(entry->d_name, record.pid) && readCommand(record.pid, record.command)) {
                records.push_back(record);
            }
            errno = 0;
        }
        if (errno != 0) {
            const int error = errno;
            records.clear();
            return error;
        }
    } catch (const std::bad_alloc&) {
        records.clear();
        return ENOMEM;
    }
    std::sort(records.begin(), records.end(),
              [](const Record& a, const Record& b) { return a.pid < b.pid; });
    return 0;
}
