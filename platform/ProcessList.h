#pragma once

#include <sys/types.h>

#include <vector>

// The running processes as the kernel lists them under /proc: each one's
// id and short command name (at most 16 characters, NUL-terminated).
class ProcessList {
  public:
    static constexpr size_t kCommandSize = 17;

    struct Record {
        pid_t pid = 0;
        char command[kCommandSize] = {};
    };

    // Fills `records` in ascending id order; returns 0, or an errno value
    // (the list is then empty).
    static int snapshot(std::vector<Record>& records);

    // Reads one process's command name; false when it is gone.
    static bool readCommand(pid_t pid, char (&command)[kCommandSize]);
};
