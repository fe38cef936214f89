#pragma once

#include <optional>
#include <string>
#include <vector>

// The writes a validated request comes to, in order. Only a handler makes
// one, after every check passed; only IniPlanRunner carries one out.
struct IniStep {
    enum class Kind {
        RegisterDsn,   // SQLWriteDSNToIni(section, driver), with `library` if given
        WriteValue,    // SQLWritePrivateProfileString(section, key, value, file)
        RemoveDsn,     // SQLRemoveDSNFromIni(section)
        RemoveDriver,  // SQLRemoveDriver(section, FALSE)
    };
    Kind kind = Kind::WriteValue;
    std::string section;
    std::string key;                   // WriteValue
    std::optional<std::string> value;  // WriteValue: nothing deletes the key
    std::string file;                  // WriteValue: "odbc.ini" or "odbcinst.ini"
    std::string driver;                // RegisterDsn
    // RegisterDsn: the Driver entry as the handler checked it; empty: the
    // writer looks the driver up.
    std::string library;
    // RegisterDsn without a driver: the DSN whose registered driver it takes.
    std::string driverOf;
};

struct IniPlan {
    enum class Scope { User, System };
    Scope scope = Scope::System;
    std::vector<IniStep> steps;
};
