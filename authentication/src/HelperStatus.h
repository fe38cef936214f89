#pragma once

#include <string>

#include "platform/PrivilegedRequestContract.h"

// What a request came to. The reply is "OK" for kDone and "ERROR <status>"
// for anything else, so the caller learns the truth.
namespace helper_status {

inline constexpr int kDone = 0;
inline constexpr int kFolderNotCreated = 5365;  // the user's ini folder or files cannot be made
inline constexpr int kWriteFailed = 5366;       // an ini write failed; the walk stopped there
inline constexpr int kRemoveFailed = 5367;      // removing the DSN or driver failed
inline constexpr int kContentRefused = 5368;  // a name, key, value or path that may not be written
inline constexpr int kMissingKey = 5369;      // a required key missing or not text
inline constexpr int kNotAuthorised = 5370;   // the caller may not change the ODBC files
inline constexpr int kNotParsed = 5371;       // no property list, or past the size or depth limits
inline constexpr int kUnknownCommand = 5372;  // no "Request", or one we do not serve
inline constexpr int kNotAsUser = 5373;       // the change could not be made as the requesting user
inline constexpr int kVersionFailed = -4960;  // GetVersion could not make the number

using privileged_request::replyText;

}  // namespace helper_status
