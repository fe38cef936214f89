#pragma once

// The C interface between the driver (morvanex.so) and its dialog module
// (morvanex-ui.so). The driver opens the module only when a dialog must be
// shown and asks it for its table; everything with state that a dialog
// needs (strings, preferences, secrets, the trace switch) stays in the
// driver and reaches the module through the host table.
//
// Versioning: the two top tables (MorvanexUiHost, MorvanexUiTable) begin
// with the ABI version and their own size; the tables lent for one dialog
// (MorvanexAboutModel, MorvanexLoginFields, MorvanexWizardModel) begin with
// their size. Entries are only ever appended; a reader uses an entry only
// when the filler's size covers it (MORVANEX_UI_COVERS, MORVANEX_UI_HAS). A
// change to an existing entry raises MORVANEX_UI_ABI_VERSION, and the two
// sides then refuse each other.
//
// Fixed records: MorvanexHttpRequest, MorvanexHttpReply,
// MorvanexWizardValues, MorvanexWizardButtons and MorvanexWizardEncoding
// carry no size, and several are written into memory the other side
// allocated, where a writer cannot know how much exists. They never change:
// a new field goes into a new record taken by a new, appended entry, so old
// and new sides keep talking; changing one of them raises the ABI version.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MORVANEX_UI_ABI_VERSION 2u
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
    // Opens the help page of that name in the dialog language; when it
    // cannot, the driver says so in an alert.
    void (*openHelp)(void* context, const char* page);
} MorvanexUiHost;

// The about window's view of the trace switch, kept by the driver.
typedef struct MorvanexAboutModel {
    uint32_t size;
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
    uint32_t size;
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

// The DSN wizard's controls as the driver's model holds them. Texts are
// UTF-8; those the driver hands out stay valid until the next call on the
// same model.
typedef struct MorvanexWizardValues {
    const char* dsn;
    const char* description;
    const char* adaptedDsn;
    int readOnly;
    int autoDetect;
    int wideApi;
    int unicodeTypes;
    // 0 the system encoding, 1 UTF-8.
    int encoding;
    int queryLogOn;
    // The field's text; the driver reads its leading number.
    const char* queryLogTime;
    const char* queryLogFile;
} MorvanexWizardValues;

typedef struct MorvanexWizardButtons {
    int previous;
    int continueOrDone;
    int finishOrTest;
    // The last panel names the buttons "Done" and "Test".
    int lastPanel;
} MorvanexWizardButtons;

// The wizard's panels, in order.
enum MorvanexWizardPanel {
    MORVANEX_WIZARD_INTRODUCTION = 1,
    MORVANEX_WIZARD_DATA_SOURCE = 2,
    MORVANEX_WIZARD_DATABASE = 3,
    MORVANEX_WIZARD_CONCLUSION = 4
};

typedef struct MorvanexWizardEncoding {
    int wideApiEnabled;
    int unicodeTypesEnabled;
    // The encoding label is greyed and the menu disabled when 0.
    int encodingEnabled;
} MorvanexWizardEncoding;

// Hands a connection test's result text to the wizard. It is called on the
// test's own thread and must only queue the text, never wait.
typedef void (*MorvanexTestDelivery)(void* receiver, const char* resultText);

// The wizard's model, kept by the driver: every rule of the wizard is
// decided there; the window only shows what it answers. All entries are
// called on the dialog's thread.
typedef struct MorvanexWizardModel {
    uint32_t size;
    void* context;
    void (*values)(void* context, MorvanexWizardValues* out);
    void (*setValues)(void* context, const MorvanexWizardValues* in);
    // `panel` is a MorvanexWizardPanel.
    void (*buttons)(void* context, int panel, MorvanexWizardButtons* out);
    // 0 when the values keep the wizard on `panel` (an invalid DSN name).
    int (*mayLeave)(void* context, int panel);
    // Clears the language boxes the rules disable (read the values again)
    // and says what is enabled.
    void (*encodingOptions)(void* context, MorvanexWizardEncoding* out);
    int (*queryLogOptionsEnabled)(void* context);
    // The language settings the wizard opened with come back.
    void (*restoreLanguageSettings)(void* context);
    // The offered adapted DSNs and the encodings menu's items, in order;
    // null past the end.
    const char* (*adaptedDsnName)(void* context, size_t index);
    const char* (*encodingName)(void* context, size_t index);
    const char* (*summary)(void* context);
    // The results sheet's first lines.
    const char* (*testStartText)(void* context);
    // Starts the connection test with the values last set and the login's
    // user ID and password (null when the login was cancelled). 1 when a
    // worker started: its result reaches `deliver` unless cancelTest comes
    // first. 0 when none started, with the text to show in *text.
    int (*startTest)(void* context, const char* userId, const char* password,
                     MorvanexTestDelivery deliver, void* receiver, const char** text);
    // Drops the running test's delivery; the worker ends on its own.
    void (*cancelTest)(void* context);
    void (*about)(void* context);
    void (*checkUpdates)(void* context);
    // The MorvanexWizardPanel the wizard opens on.
    int (*firstPanel)(void* context);
} MorvanexWizardModel;

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
    // The DSN wizard, modal: 1 Done, 0 Cancel, MORVANEX_UI_NOT_SHOWN. The
    // model holds the values on screen afterwards.
    int (*wizard)(const MorvanexUiHost* host, const MorvanexWizardModel* model);
} MorvanexUiTable;

// The module's one export: its table when it speaks `abiVersion`, else null.
typedef const MorvanexUiTable* (*MorvanexUiEntry)(uint32_t abiVersion);

// True when `table` (of type Type) is large enough to hold `member`.
#define MORVANEX_UI_COVERS(Type, table, member) \
    ((table) != NULL && (table)->size >= offsetof(Type, member) + sizeof((table)->member))

// True when `table` holds `member` and the entry is set.
#define MORVANEX_UI_HAS(Type, table, member) \
    (MORVANEX_UI_COVERS(Type, table, member) && (table)->member != NULL)

#ifdef __cplusplus
}
#endif
