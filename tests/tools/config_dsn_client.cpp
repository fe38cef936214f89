// A host that sets up DSNs the way an installer does: SQLConfigDataSourceW
// of iODBC's installer library with a driver name and an attribute list,
// then the installer's error records.
//
//   config_dsn_client REQUEST DRIVER [ITEM...]
//
// REQUEST is the ODBC_* request number; each ITEM is one "key=value" entry
// of the list. Prints "result 0|1" and one "error CODE MESSAGE" per record.
#include <odbcinst.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring widen(const char* text) {
    std::vector<wchar_t> out(std::strlen(text) + 1, L'\0');
    const std::size_t length = std::mbstowcs(out.data(), text, out.size());
    return length == static_cast<std::size_t>(-1) ? std::wstring() : std::wstring(out.data());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s REQUEST DRIVER [ITEM...]\n", argv[0]);
        return 2;
    }
    std::setlocale(LC_ALL, "C.UTF-8");
    std::wstring list;
    for (int i = 3; i < argc; ++i) {
        list += widen(argv[i]);
        list += L'\0';
    }
    list += L'\0';
    const std::wstring driver = widen(argv[2]);
    const BOOL result = SQLConfigDataSourceW(nullptr, static_cast<WORD>(std::atoi(argv[1])),
                                             driver.c_str(), list.c_str());
    std::printf("result %d\n", result ? 1 : 0);
    for (WORD record = 1; record <= 8; ++record) {
        DWORD code = 0;
        char message[1024] = {};
        WORD length = 0;
        if (SQLInstallerError(record, &code, message, sizeof message, &length) != SQL_SUCCESS) {
            break;
        }
        std::printf("error %lu %s\n", static_cast<unsigned long>(code), message);
    }
    return 0;
}
