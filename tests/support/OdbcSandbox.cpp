#include "tests/support/OdbcSandbox.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
fs::path makeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "morvanex-sandbox-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create sandbox directory");
    }
    return pattern;
}
}  // namespace

OdbcSandbox::OdbcSandbox() : root_(makeTempDir()) {
    for (const char* dir : {"user", "system", "home/.config", "home/.local/share", "xdg", "run"}) {
        fs::create_directories(root_ / dir);
    }
    chmod((root_ / "run").c_str(), 0700);
    for (Scope scope : {Scope::User, Scope::System}) {
        // iODBC silently falls back to /etc when a named file is missing.
        writeFile(odbcIni(scope), "");
        writeFile(odbcinstIni(scope), "");
    }
    setEnv("HOME", home().string());
    setEnv("XDG_CONFIG_HOME", (home() / ".config").string());
    setEnv("XDG_DATA_HOME", (home() / ".local/share").string());
    setEnv("XDG_CONFIG_DIRS", (root_ / "xdg").string());
    setEnv("XDG_RUNTIME_DIR", (root_ / "run").string());
    setEnv("ODBCINI", odbcIni(Scope::User).string());
    setEnv("SYSODBCINI", odbcIni(Scope::System).string());
    setEnv("ODBCINSTINI", odbcinstIni(Scope::User).string());
    setEnv("SYSODBCINSTINI", odbcinstIni(Scope::System).string());
}

OdbcSandbox::~OdbcSandbox() {
    for (auto it = savedEnv_.rbegin(); it != savedEnv_.rend(); ++it) {
        if (it->second) {
            setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            unsetenv(it->first.c_str());
        }
    }
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

fs::path OdbcSandbox::odbcIni(Scope scope) const {
    return root_ / (scope == Scope::User ? "user" : "system") / "odbc.ini";
}

fs::path OdbcSandbox::odbcinstIni(Scope scope) const {
    return root_ / (scope == Scope::User ? "user" : "system") / "odbcinst.ini";
}

void OdbcSandbox::addDriver(const std::string& name, const Keys& keys, Scope scope) {
    const fs::path file = odbcinstIni(scope);
    setKey(file, "ODBC Drivers", name, "Installed");
    for (const auto& [key, value] : keys) {
        setKey(file, name, key, value);
    }
}

void OdbcSandbox::addDsn(const std::string& name, const std::string& driver, const Keys& keys,
                         Scope scope) {
    const fs::path file = odbcIni(scope);
    setKey(file, "ODBC Data Sources", name, driver);
    setKey(file, name, "Driver", driver);
    for (const auto& [key, value] : keys) {
        setKey(file, name, key, value);
    }
}

void OdbcSandbox::setKey(const fs::path& file, const std::string& section, const std::string& key,
                         const std::string& value) {
    IniModel& model = files_[file.string()];
    auto sectionIt = model.begin();
    while (sectionIt != model.end() && sectionIt->first != section) {
        ++sectionIt;
    }
    if (sectionIt == model.end()) {
        model.emplace_back(section, Section{});
        sectionIt = std::prev(model.end());
    }
    Section& entries = sectionIt->second;
    auto keyIt = entries.begin();
    while (keyIt != entries.end() && keyIt->first != key) {
        ++keyIt;
    }
    if (keyIt == entries.end()) {
        entries.emplace_back(key, value);
    } else {
        keyIt->second = value;
    }
    rewrite(file);
}

void OdbcSandbox::rewrite(const fs::path& file) {
    std::ostringstream text;
    for (const auto& [section, entries] : files_[file.string()]) {
        text << '[' << section << "]\n";
        for (const auto& [key, value] : entries) {
            text << key << " = " << value << '\n';
        }
        text << '\n';
    }
    writeFile(file, text.str());
}

void OdbcSandbox::writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string OdbcSandbox::readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void OdbcSandbox::setEnv(const char* name, const std::string& value) {
    const char* previous = std::getenv(name);
    savedEnv_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
    setenv(name, value.c_str(), 1);
}
