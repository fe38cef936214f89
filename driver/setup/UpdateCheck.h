#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The update check: a SOAP 1.1 call of getUpdateVersion to the maker's
// service, its reply, the mask of installed client applications it
// reports, and the message the wizard shows for the answer. The HTTP
// transport is the dialog module's.

// The fields of one request; productID and currentVersion are always sent,
// the others only when present.
struct UpdateRequest {
    int productId = 0;
    std::string currentVersion;
    std::optional<std::string> architecture;
    std::optional<std::string> osVersion;
    std::optional<std::string> appName;
    std::optional<std::string> appVersion;
    std::optional<std::string> operation;
    std::optional<std::string> compatibility;
};

// Text with & < > " ' written as entities.
std::string xmlEscape(std::string_view text);

// The envelope as one line, every value escaped for XML.
std::string updateEnvelope(const UpdateRequest& request);
// The header lines in the order they are sent.
std::string updateHeaders(std::size_t bodyBytes);

// The text of the first Result element, or nothing with the log line that
// tells why.
struct UpdateReply {
    std::optional<std::string> result;
    std::string logLine;
};
UpdateReply parseUpdateReply(std::string_view reply);

// Sends the request and waits (10 s to connect, 30 s in all). 0 with
// `result` set when a result text came back, else 1 (logged).
int requestUpdateVersion(const UpdateRequest& request, std::string& result);
int requestUpdateVersion(int productId, const char* currentVersion, std::string& result);

// Which of the known client applications are installed: an application
// counts when a .desktop file named by one of its identifiers lies in the
// applications folder of one of the data folders.
unsigned long getInstalledApplicationsMask();
unsigned long installedApplicationsMask(const std::vector<std::filesystem::path>& dataFolders,
                                        const std::filesystem::path& serverFile);
// The mask as sent: four or more upper-case hexadecimal digits.
std::string formatApplicationsMask(unsigned long mask);

// What the wizard shows for an answer (title and second line, English keys
// of the strings tables).
struct UpdateMessage {
    const char* title;
    const char* message;
};
UpdateMessage updateMessage(int status, const std::string& result);

// The wizard's button: gathers the facts, asks the service and shows the
// answer in an alert.
void checkForUpdates();
