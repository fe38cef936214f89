#pragma once

#include <filesystem>
#include <string>

#include "platform/PropertyList.h"
#include "tests/support/OdbcSandbox.h"

// Writes a bundle folder with an Info.plist of the given string entries.
inline std::filesystem::path writeTestBundle(
    const std::filesystem::path& folder,
    const std::vector<std::pair<std::string, std::string>>& entries) {
    PropertyList info = PropertyList::newDictionary();
    for (const auto& [key, value] : entries) {
        info.setString(key, value);
    }
    std::filesystem::create_directories(folder / "Contents" / "Resources");
    OdbcSandbox::writeFile(folder / "Contents" / "Info.plist", info.toXml());
    return folder;
}
