#pragma once

// The C interface between the driver (morvanex.so) and its dialog module
// (morvanex-ui.so). The driver opens the module only when a dialog must be
// shown and asks it for its table; everything with state that a dialog
// needs (strings, preferences, secrets, the trace switch) stays in the
// driver and reaches the module through the host table.
//
// Versioning: both tables begin with the ABI version and their own size.
// Entries are only ever appended; a caller uses an entry only when the
// other side's size covers it (morvanexUiHas). A change to an existing
// entry raises MORVANEX_UI_ABI_VERSION, and the two sides then refuse each
// other.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MORVANEX_UI_ABI_VERSION 1u
#define MORVANEX_UI_ENTRY_NAME "morvanex_ui_table"

// Results of a dialog that could not be shown at all (no display, refused
// thread, missing interface file): the caller treats it as Cancel.
#define MORVANEX_UI_NOT_SHOWN (-1)

// Modifier keys as the about window's logo click reports them.
enum MorvanexUiModifier {
    MORVANEX_UI_SHIFT = 1u << 0,
    MORVANEX_UI_CONTROL = 1u << 1,
    MORVANEX_UI_ALT = 1u << 2,
    MORVANEX_UI_META = 1u << 3
};

// What the driver lends the module for one call.
typedef struct MorvanexUiHost {
    uint32_t abiVersion;
    uint32_t size;
    void* context;
    // The bundle's Resources folder, where the interface files lie.
    const char* resourcesPath;
    // A line for the system log.
    void (*log)(void* context, const char* message);
    // The localised text of an English key, copied into `out` (always
    // terminated); returns the bytes the whole text needs.
    size_t (*localize)(void* context, const char* key, char* out, size_t outSize);
    // Opens the help page of that name in the dialog language.
    void (*openHelp)(void* context, const char* page);
} MorvanexUiHost;

// The about window's view of the trace switch, kept by the driver.
typedef struct MorvanexAboutModel {
    const char* version;
    const char* logoPath;
    // The trace line into `out`; returns 0 when no trace is set (line and
    // caption hidden).
    int (*traceLine)(void* context, char* out, size_t outSize);
    // One click on the logo with the modifiers held. When the click
    // reveals the hidden combination, a sheet title and message are copied
    // into the buffers and 1 returned; else 0.
    int (*clickLogo)(void* context, uint32_t modifiers, char* sheetTitle, size_t titleSize,
                     char* sheetMessage, size_t messageSize);
    void* context;
} MorvanexAboutModel;

// The login panel's fields: in on entry, out after OK. Buffers are UTF-8
// of the given sizes and always terminated.
typedef struct MorvanexLoginFields {
    const char* dsn;
    char* userId;
    size_t userIdSize;
    char* password;
    size_t passwordSize;
    // Offer the keychain check box; `keychain` is its state in and out.
    int offerKeychain;
    int keychain;
} MorvanexLoginFields;

// One HTTP POST. Headers are "Name: value" lines, each ended by "\n", sent
// in that order. The reply body is handed out in memory the module owns
// until the next call of freeReply.
typedef struct MorvanexHttpRequest {
    const char* url;
    const char* headers;
    const char* body;
    size_t bodySize;
    long connectTimeoutMs;
    long totalTimeoutMs;
} MorvanexHttpRequest;

typedef struct MorvanexHttpReply {
    long status;
    char* body;
    size_t bodySize;
    // Why no reply arrived; empty on success.
    char error[256];
} MorvanexHttpReply;

typedef struct MorvanexUiTable {
    uint32_t abiVersion;
    uint32_t size;
    // 0 OK, 1 second button, MORVANEX_UI_NOT_SHOWN.
    int (*alert)(const MorvanexUiHost* host, const char* title, const char* message,
                 const char* secondButton);
    // 0 when shown and closed, MORVANEX_UI_NOT_SHOWN.
    int (*about)(const MorvanexUiHost* host, const MorvanexAboutModel* model);
    // 1 OK, 0 Cancel, MORVANEX_UI_NOT_SHOWN.
    int (*login)(const MorvanexUiHost* host, MorvanexLoginFields* fields);
    // 0 when a reply arrived (any status), else 1 with reply->error set.
    int (*httpPost)(const MorvanexUiHost* host, const MorvanexHttpRequest* request,
                    MorvanexHttpReply* reply);
    void (*freeReply)(MorvanexHttpReply* reply);
    // The DSN wizard is appended here.
} MorvanexUiTable;

// The module's one export: its table when it speaks `abiVersion`, else null.
typedef const MorvanexUiTable* (*MorvanexUiEntry)(uint32_t abiVersion);

// True when `table` (of type Type) is large enough to hold `member` and
// the entry is set.
#define MORVANEX_UI_HAS(Type, table, member)                                                 \
    ((table) != NULL && (table)->size >= offsetof(Type, member) + sizeof((table)->member) && \
     (table)->member != NULL)

#ifdef __cplusplus
}
#endif
