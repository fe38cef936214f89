#include "src/QuillmarkHelper/HelperOptions.h"

#include <charconv>
#include <cstddef>

namespace {

// Only this file is built with the seams, so a shipped command line is
// this table with every seam refused.
#ifdef MORVANEX_TEST_HOOKS
constexpr bool kTestSeams = true;
constexpr const char* kUsage = "usage: QuillmarkHelper --inetd | --stdin | --listen PATH [options]";
#else
constexpr bool kTestSeams = false;
constexpr const char* kUsage = "usage: QuillmarkHelper --inetd | --stdin";
#endif

// Every option is a seam: test builds only, and only with --listen.
struct ValueOption {
    const char* name;
    std::string HelperOptions::*field;
};

constexpr ValueOption kValueOptions[] = {
    {"--pkcheck", &HelperOptions::pkcheck},
    {"--system-odbc-ini", &HelperOptions::systemOdbcIni},
    {"--system-odbcinst-ini", &HelperOptions::systemOdbcinstIni},
    {"--user-odbc-ini", &HelperOptions::userOdbcIni},
    {"--user-odbcinst-ini", &HelperOptions::userOdbcinstIni},
};

struct FlagOption {
    const char* name;
    bool HelperOptions::*field;
};

constexpr FlagOption kFlagOptions[] = {
    {"--log-stderr", &HelperOptions::logToStderr},
    {"--test-stall-child", &HelperOptions::stallChild},
    {"--test-stop-installed", &HelperOptions::stopInstalled},
};

template <typename Table>
auto rowNamed(const Table& table, const std::string& name) -> decltype(&table[0]) {
    for (const auto& row : table) {
        if (name == row.name) {
            return &row;
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

// The mode is the first argument; --listen exists only with the seams.
bool parseMode(const std::vector<std::string>& arguments, HelperOptions& options, size_t& next) {
    const std::string& mode = arguments[0];
    next = 1;
    if (mode == "--inetd") {
        options.mode = HelperOptions::Mode::Inetd;
    } else if (mode == "--stdin") {
        options.mode = HelperOptions::Mode::Stdin;
    } else if (kTestSeams && mode == "--listen" && arguments.size() > 1 && !arguments[1].empty()) {
        options.mode = HelperOptions::Mode::Listen;
        options.socketPath = arguments[1];
        next = 2;
    } else {
        return false;
    }
    return true;
}

// One option at `next` (advanced past its value); false with the reason.
bool parseOption(const std::vector<std::string>& arguments, size_t& next, HelperOptions& options,
                 std::string& problem) {
    const std::string& name = arguments[next];
    const bool seamsAllowed = kTestSeams && options.mode == HelperOptions::Mode::Listen;
    const ValueOption* value = rowNamed(kValueOptions, name);
    const FlagOption* flag = rowNamed(kFlagOptions, name);
    const bool timeout = name == "--child-timeout";
    const bool known = flag != nullptr || timeout || value != nullptr;
    if (!known || !seamsAllowed) {
        problem = kTestSeams && known ? name + " needs --listen" : "unknown option " + name;
        return false;
    }
    if (flag != nullptr) {
        options.*(flag->field) = true;
        return true;
    }
    if (next + 1 >= arguments.size()) {
        problem = name + " needs a value";
        return false;
    }
    const std::string& text = arguments[++next];
    if (timeout && !parseSeconds(text, options.childTimeoutSeconds)) {
        problem = "--child-timeout takes seconds from 1 to 3600";
        return false;
    }
    if (value != nullptr) {
        options.*(value->field) = text;
    }
    return true;
}

}  // namespace

std::optional<HelperOptions> HelperOptions::parse(const std::vector<std::string>& arguments,
                                                  bool underPkexec, std::string& problem) {
    // pkexec passes its caller's arguments on: the polkit action pins the
    // first, and nothing may follow it.
    if (underPkexec && arguments != std::vector<std::string>{"--stdin"}) {
        problem = "under pkexec the helper takes --stdin alone";
        return std::nullopt;
    }
    HelperOptions options;
    size_t next = 0;
    if (arguments.empty() || !parseMode(arguments, options, next)) {
        problem = kUsage;
        return std::nullopt;
    }
    if (options.mode == Mode::Stdin && arguments.size() > 1) {
        problem = "--stdin takes no options";
        return std::nullopt;
    }
    for (; next < arguments.size(); ++next) {
        if (!parseOption(arguments, next, options, problem)) {
            return std::nullopt;
        }
    }
    return options;
}
