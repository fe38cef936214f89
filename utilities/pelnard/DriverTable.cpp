#include "utilities/pelnard/DriverTable.h"

namespace {

constexpr DriverTableRow kDrivers[] = {
    {"quendrol", "Vorlan Quendrol"}, {"haldune", "Vorlan Haldune"},
    {"pemberix", "Vorlan Pemberix"}, {"tolvaris", "Tolvaris Connect"},
    {"wendiro", "Vorlan Wendiro"},   {"fyndale", "Vorlan Fyndale"},
    {"grasmoth", "Grasmoth ODBC"},   {"lirren", "Lirren ODBC"},
    {"morvanex", "Vorlan Tarvex"},   {"sevrin", "Vorlan Sevrin"},
};

}  // namespace

std::optional<DriverTableRow> findDriver(std::string_view shortName) {
    for (const DriverTableRow& row : kDrivers) {
        if (shortName == row.shortName) {
            return row;
        }
    }
    return std::nullopt;
}

std::string driverShortNames() {
    std::string names;
    for (const DriverTableRow& row : kDrivers) {
        names += names.empty() ? "" : ", ";
        names += row.shortName;
    }
    return names;
}

std::string driverLibraryPath(std::string_view prefix, const DriverTableRow& row) {
    std::string path(prefix);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::string name = row.shortName;
    return path + "/lib/" + name + "/" + name + ".bundle/Contents/MacOS/" + name + ".so";
}
