#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProcessList.h"

// Who the host application is and what it runs on.

using ProcessRecord = ProcessList::Record;

// The host's bundle name (else the executable's name) and bundle version
// (else empty), read once per process.
void getHostAppNameAndVersion(std::string& name, std::string& version);
// The host bundle's identifier, else the executable's name.
void getHostBundleIdentifier(std::string& identifier);
// Copies the command name of process `pid` into `buffer` (at least 17
// bytes); 1, or -1 when there is no such process.
int getProcessName(pid_t pid, char* buffer);
// 1 and the id of the first process whose command name equals `name` over
// min(length, 16) characters, ignoring case; -1 when none matches or the
// length is negative.
int findProcessByName(const char* name, int length, pid_t* pid);
// Every running process; 0, or the system error number with an empty list.
int get_bsd_process_list(std::vector<ProcessRecord>& records);
// "Linux " and the kernel release as major.minor.patch.
void getOsVersionString(std::string& text);
// Major, minor and patch of the running kernel (0 when unreadable).
void getOperatingSystemVersion(int64_t* major, int64_t* minor, int64_t* patch);
// Reads a version text: from its first digit to the first space, split at
// "."; the first three pieces as numbers, missing ones 0.
void parseOperatingSystemVersion(std::string_view text, int64_t* major, int64_t* minor,
                                 int64_t* patch);
void getArchitecture(std::string& architecture);
std::string getHostName();
// CFBundleVersion of the bundle with this identifier; "" when it has none;
// "0.0.0" when no bundle has the identifier.
std::string getBundleVersion(const char* bundleIdentifier);
bool getSandboxContainerId();
// Whether the process runs translated for another processor: never here.
bool isTranslated();
bool decimalSeparatorIsPeriod();

// Test seam: forget the cached host application facts.
void resetHostApplicationCache();
