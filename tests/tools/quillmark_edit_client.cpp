// Quillmark's DSN editor without its window, for the privileged path's
// test: saves one system DSN under a new name through the editor's rules
// (local writes first, else one request to the helper on SOCKET), then
// prints the editor's outcome (refused: with the form's alert) and the
// system DSNs the driver manager lists.
//
//   quillmark_edit_client SOCKET ORIGINAL NAME DRIVER KEY=VALUE...
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <string>

#include "admin/DsnEditor.h"
#include "admin/OdbcListing.h"
#include "admin/XPCSetupTool.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s SOCKET ORIGINAL NAME DRIVER KEY=VALUE...\n", argv[0]);
        return 2;
    }
    XPCSetupTool::setHelperSocketForTesting(argv[1]);
    DsnEditor::Rows rows;
    for (int i = 5; i < argc; ++i) {
        const std::string item = argv[i];
        const size_t equals = item.find('=');
        rows.push_back(
            {item.substr(0, equals), equals == std::string::npos ? "" : item.substr(equals + 1)});
    }
    const DsnEditor editor(argv[2], argv[4], IniAccess::System, PrivilegedRequest::helperSender());
    const char* outcomes[] = {"Written", "Sent", "HelperRefused", "TooLong"};
    const DsnEditor::Outcome outcome = editor.save(argv[3], "edited", rows);
    std::printf("%s\n", outcomes[static_cast<int>(outcome)]);
    if (outcome == DsnEditor::Outcome::HelperRefused) {
        std::printf("%s\n",
                    IniAccess::withHelperReason("An error occured while trying to "
                                                "configure the DSN.",
                                                editor.problem(), true, editor.helperReply())
                        .c_str());
    }
    SQLHENV henv = SQL_NULL_HENV;
    if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv) != SQL_SUCCESS) {
        return 1;
    }
    for (const auto& entry : odbc_listing::dataSources(henv, odbc_listing::kFirstSystem)) {
        std::printf("%s\n", entry.name.c_str());
    }
    SQLFreeHandle(SQL_HANDLE_ENV, henv);
    return 0;
}
