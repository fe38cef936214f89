#pragma once

#include <string>
#include <string_view>

#include "platform/Bundle.h"
#include "platform/PrivilegedRequestContract.h"

// Message texts of the driver's setup code in the user's language. A text
// is looked up by its English wording; whatever is missing (bundle, table,
// entry) gives the English key itself. A translation whose placeholders
// differ from its key's is not used, so formatting a looked-up text with
// formatMessage (MessageFormat.h) takes the arguments the caller meant.

// The dialog language: 0 English, 1 German, 2 Spanish, 3 French, 4 Italian,
// 5 Japanese, 6 Dutch, 7 Swedish; the first of the user's preferred
// languages that is one of these, else English. Read on every call.
int getDialogLanguage();

// "strings_en", "strings_de", ...; any number outside 1-7 gives "strings_en".
std::string stringsTableName(int language);

// `key` looked up in the driver bundle's table of the dialog language.
std::string copyLocalizedString(std::string_view key);
// `key` looked up in `bundle`'s table of `language`.
std::string copyLocalizedStringFromBundle(const Bundle& bundle, std::string_view key, int language);

// `key` looked up in the default table (<language>.lproj/Localizable.strings)
// of the driver bundle, for the dialog language; the wizard, the connection
// test and the update check take their texts from it.
std::string copyDefaultLocalizedString(std::string_view key);
std::string copyDefaultLocalizedStringFromBundle(const Bundle& bundle, std::string_view key,
                                                 int language);

// Opens the help page `page` (its name without ".htm") of `language` from
// the driver bundle. 0 when it was opened, else an errno value: ENOENT when
// the bundle or the page is missing.
int openHelpPage(int language, std::string_view page);

// The bundle identifier of the driver, whose bundle holds the tables.
inline constexpr const char* kDriverBundleIdentifier = privileged_request::kDriverBundleIdentifier;
