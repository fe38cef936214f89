#include "src/QuillmarkHelper/HelperOptions.h"

#include <charconv>
#include <cstddef>

namespace {

struct ValueOption {
    const char* name;
    std::string HelperOptions::*field;
    bool listenOnly;
};

constexpr ValueOption kValueOptions[] = {
    {"--admin-group", &HelperOptions::adminGroup, false},
    {"--pkcheck", &HelperOptions::pkcheck, true},
    {"--system-odbc-ini", &HelperOptions::systemOdbcIni, true},
    {"--system-odbcinst-ini", &HelperOptions::systemOdbcinstIni, true},
    {"--user-odbc-ini", &HelperOptions::userOdbcIni, true},
    {"--user-odbcinst-ini", &HelperOptions::userOdbcinstIni, true},
};

const ValueOption* valueOption(const std::string& name) {
    for (const ValueOption& option : kValueOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

constexpr int kMaxChildTimeout = 3600;

// Whole seconds from 1 to an hour.
bool parseSeconds(const std::string& text, int& seconds) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < 1 ||
        parsed > kMaxChildTimeout) {
        return false;
    }
    seconds = parsed;
    return true;
}

}  // namespace

std::optional<HelperOptions> HelperOptions::parse(const std::vector<std::string>& arguments,
                                                  std::string& problem) {
    HelperOptions options;
    if (arguments.empty()) {
        problem = "usage: QuillmarkHelper --inetd | --listen PATH | --stdin";
        return std::nullopt;
    }
    const std::string& mode = arguments[0];
    size_t next = 1;
    if (mode == "--inetd") {
        options.mode = Mode::Inetd;
    } else if (mode == "--stdin") {
        options.mode = Mode::Stdin;
    } else if (mode == "--listen" && arguments.size() > 1 && !arguments[1].empty()) {
        options.mode = Mode::Listen;
        options.socketPath = arguments[1];
        next = 2;
    } else {
        problem = "unknown mode " + mode;
        return std::nullopt;
    }
    bool listenOnlyUsed = false;
    for (; next < arguments.size(); ++next) {
        const std::string& name = arguments[next];
        if (name == "--log-stderr") {
            options.logToStderr = true;
            listenOnlyUsed = true;
            continue;
        }
#ifdef MORVANEX_TEST_HOOKS
        if (name == "--test-stall-child") {
            options.stallChild = true;
            listenOnlyUsed = true;
            continue;
        }
#endif
        if (name == "--child-timeout") {
            if (next + 1 >= arguments.size() ||
                !parseSeconds(arguments[++next], options.childTimeoutSeconds)) {
                problem = "--child-timeout takes seconds from 1 to 3600";
                return std::nullopt;
            }
            listenOnlyUsed = true;
            continue;
        }
        const ValueOption* option = valueOption(name);
        if (option == nullptr || next + 1 >= arguments.size()) {
            problem = "unknown or incomplete option " + name;
            return std::nullopt;
        }
        options.*(option->field) = arguments[++next];
        listenOnlyUsed = listenOnlyUsed || option->listenOnly;
    }
    if (options.mode == Mode::Stdin && arguments.size() > 1) {
        problem = "--stdin takes no options";
        return std::nullopt;
    }
    if (listenOnlyUsed && options.mode != Mode::Listen) {
        problem = "test options need --listen";
        return std::nullopt;
    }
    return options;
}
