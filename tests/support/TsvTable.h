#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

// The tab-separated rows of a data file under the source tree (`path` is
// relative to it); empty lines and lines starting with "#" are skipped.
inline std::vector<std::vector<std::string>> readTsv(const std::string& path) {
    std::ifstream in(std::string(MORVANEX_SOURCE_DIR) + "/" + path);
    EXPECT_TRUE(in.good()) << path;
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            fields.push_back(line.substr(start, tab - start));
        }
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}
