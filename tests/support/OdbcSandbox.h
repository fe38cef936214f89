#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A private world for one test: user and system odbc.ini / odbcinst.ini, a
// home directory and XDG directories, all in a fresh temporary directory
// named through the environment variables iODBC and the driver read. The
// previous values of those variables come back when the sandbox goes.
class OdbcSandbox {
public:
    enum class Scope { User, System };
    using Keys = std::vector<std::pair<std::string, std::string>>;

    OdbcSandbox();
    ~OdbcSandbox();
    OdbcSandbox(const OdbcSandbox&) = delete;
    OdbcSandbox& operator=(const OdbcSandbox&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path home() const { return root_ / "home"; }
    std::filesystem::path odbcIni(Scope scope) const;
    std::filesystem::path odbcinstIni(Scope scope) const;

    // Registers a driver in odbcinst.ini (listed under [ODBC Drivers]).
    void addDriver(const std::string& name, const Keys& keys, Scope scope = Scope::System);
    // Registers a DSN in odbc.ini (listed under [ODBC Data Sources]).
    void addDsn(const std::string& name, const std::string& driver, const Keys& keys,
                Scope scope = Scope::User);
    // Sets one key of a section of an ini file, creating the section.
    void setKey(const std::filesystem::path& file, const std::string& section,
                const std::string& key, const std::string& value);

    static void writeFile(const std::filesystem::path& path, const std::string& text);
    static std::string readFile(const std::filesystem::path& path);

private:
    using Section = std::vector<std::pair<std::string, std::string>>;
    using IniModel = std::vector<std::pair<std::string, Section>>;

    void rewrite(const std::filesystem::path& file);
    void setEnv(const char* name, const std::string& value);

    std::filesystem::path root_;
    std::map<std::string, IniModel> files_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};
