#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// What the driver's setup code, Quillmark and QuillmarkHelper agree on about
// a privileged request: who takes it, where the helper is, the dictionary's
// keys and values, and what the reply says. A change here is a change of all
// three; nothing of it is spelled anywhere else.
namespace privileged_request {

// Quillmark, whose relay socket is named for its identifier.
inline constexpr const char* kAdministratorIdentifier = "com.vorlanworks.quillmark";
// The driver bundle, which carries a copy of the helper for when Quillmark
// does not answer.
inline constexpr const char* kDriverBundleIdentifier = "com.vorlanworks.odbcdriver.morvanex";
// The signer of the driver and its helper.
inline constexpr const char* kDriverTeamIdentifier = "7HQ2XV4KPD";
// The driver's odbcinst.ini section: the only one UpdatePreferences may
// change.
inline constexpr const char* kDriverProductName = "Vorlan Tarvex";
// The helper's socket as its systemd unit creates it.
inline constexpr const char* kHelperSocket = "/run/quillmark-helper.sock";
inline constexpr const char* kHelperName = "QuillmarkHelper";

// How long each end waits, nested so that an end never gives up while the
// one it waits for may still change the files. The helper gives a person
// this long to authenticate, runs a request's child for at most its
// deadline before and again after it may replace the files, and ends a
// connection, with whatever its child still does, at the connection's
// limit; Quillmark waits for the helper's answer past that, and the driver
// for Quillmark's relay past Quillmark.
inline constexpr std::chrono::seconds kAuthenticationLimit{90};
inline constexpr std::chrono::seconds kRequestChildLimit{60};
inline constexpr std::chrono::seconds kHelperConnectionLimit{300};
inline constexpr std::chrono::seconds kHelperExchangeLimit =
    kHelperConnectionLimit + std::chrono::seconds(30);
inline constexpr std::chrono::seconds kRelayReplyLimit =
    kHelperExchangeLimit + std::chrono::seconds(30);

// The helper program inside the bundle at `bundle`.
std::filesystem::path bundledHelper(const std::filesystem::path& bundle);

// Keys of the request dictionary.
inline constexpr const char* kRequestKey = "Request";
inline constexpr const char* kTypeKey = "Type";
inline constexpr const char* kConnectionStringKey = "ConnectionString";
inline constexpr const char* kDriverKey = "Driver";
inline constexpr const char* kPathKey = "Path";
inline constexpr const char* kOriginalNameKey = "OriginalName";
inline constexpr const char* kDriverNameKey = "DriverName";
inline constexpr const char* kDriverPathKey = "DriverPath";
inline constexpr const char* kSetupPathKey = "SetupPath";
inline constexpr const char* kBundleIdKey = "BundleID";
inline constexpr const char* kProductNameKey = "ProductName";
inline constexpr const char* kPreferencesKey = "Preferences";
// The key that names the helper's command. The helper reads it only to tell
// a driver registration apart; DSN and preference requests it tells by
// their Request.
inline constexpr const char* kCommandKey = "com.apple.dts.BetterAuthorizationSample.command";

// Values of Request (the reader compares them ignoring case).
inline constexpr const char* kAddRequest = "Add";
inline constexpr const char* kConfigureRequest = "Configure";
inline constexpr const char* kRemoveRequest = "Remove";
inline constexpr const char* kUpdatePreferencesRequest = "UpdatePreferences";
inline constexpr const char* kGetVersionRequest = "GetVersion";

// Values of the command key.
inline constexpr const char* kConfigureDsnCommand = "ConfigureDSN";
inline constexpr const char* kConfigureDriverCommand = "ConfigureDriver";
inline constexpr const char* kUpdatePreferencesCommand = "UpdatePreferences";
inline constexpr const char* kGetVersionCommand = "GetVersion";

// Values of Type: the user's files or the system's.
inline constexpr const char* kUserType = "User";
inline constexpr const char* kSystemType = "System";

// The fields of the one message each way on the helper's socket.
inline constexpr const char* kMessageRequestField = "request";
inline constexpr const char* kMessageReplyField = "reply";

// The reply: "OK" when the change was made (status 0), else
// "ERROR <status>".
std::string replyText(int status);
// A reply without the line end it may carry when it comes as a line of the
// helper's standard output.
std::string_view replyLine(std::string_view reply);
// Only "OK" is success, with or without a line end.
bool isOkReply(std::string_view reply);

// The status of a caller who may not change the files: the helper refused
// it, or its authentication was cancelled or failed.
inline constexpr int kNotAuthorisedStatus = 5370;

// What a reply tells of the helper.
enum class Answer {
    Applied,      // "OK"
    Refused,      // "ERROR 5370"
    Failed,       // any other "ERROR <status>": it ran and could not make the change
    Unreachable,  // anything else, or nothing: no helper answered
};
Answer answerOf(std::string_view reply);

// Why a change to the system's files that the helper was asked for was not
// made, for the user: who may make it and how to be let in, how the helper
// is enabled, or what it answered. Empty for "OK" and for the user's own
// files. The English texts are the keys of the driver's strings tables;
// `translate` gives each in the user's language.
using Translate = std::function<std::string(std::string_view english)>;
std::string helperExplanation(std::string_view reply, bool systemFiles, const Translate& translate);

}  // namespace privileged_request
