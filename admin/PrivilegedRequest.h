#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One change the panes could not write themselves, sent to the privileged
// helper as the old-style text of a request dictionary.
class PrivilegedRequest {
  public:
    // Sends a request text; answers the helper's reply ("OK" when the change
    // was made, "ERROR <status>"), or the channel's text when none came.
    using Sender = std::function<std::string(const std::string& text)>;
    using Items = std::vector<std::pair<std::string, std::string>>;

    // Longest connection string a DSN request carries.
    static constexpr size_t kMaxConnectionString = 4095;

    // The helper's channel (CallSMBlessTool).
    static Sender helperSender();

    static PrivilegedRequest configureDsn(std::string connectionString, std::string originalName,
                                          bool system, std::string request, std::string driver,
                                          std::string path);
    static PrivilegedRequest configureDriver(std::string driverName, std::string originalName,
                                             bool system, std::string request,
                                             std::string driverPath, std::string setupPath,
                                             std::string path);

    // "DSN=name;Description=...;key=value;..." with values that hold ";" or
    // braces brace-quoted; nothing when it would exceed the limit.
    static std::optional<std::string> connectionString(const Items& items);

    const Items& entries() const { return entries_; }
    // The old-style text of the dictionary; nothing when it has no text form.
    std::optional<std::string> text() const;
    // The sender's reply; empty when the request has no text form.
    std::string send(const Sender& sender) const;

  private:
    explicit PrivilegedRequest(Items entries) : entries_(std::move(entries)) {}
    Items entries_;
};
