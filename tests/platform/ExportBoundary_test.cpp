#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ExportBoundary.h"

namespace {

TEST(ExportBoundary, TurnsExceptionsIntoDiagnosticsAndErrors) {
    struct Case {
        const char* name;
        std::function<SQLRETURN()> body;
        SQLRETURN expected;
        std::vector<std::string> posted;
    };
    const std::vector<Case> cases = {
        {"success passes through",
         [] { return SQLRETURN(SQL_SUCCESS_WITH_INFO); },
         SQL_SUCCESS_WITH_INFO,
         {}},
        {"bad_alloc", []() -> SQLRETURN { throw std::bad_alloc(); }, SQL_ERROR, {"HY001"}},
        {"standard exception",
         []() -> SQLRETURN { throw std::runtime_error("x"); },
         SQL_ERROR,
         {"HY000"}},
        {"anything else", []() -> SQLRETURN { throw 42; }, SQL_ERROR, {"HY000"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> posted;
        SQLRETURN rc =
            exportBoundary([&](const char* state) { posted.emplace_back(state); }, c.body);
        EXPECT_EQ(rc, c.expected) << c.name;
        EXPECT_EQ(posted, c.posted) << c.name;
    }
}

TEST(ExportBoundary, AFailingPostStillReturnsError) {
    SQLRETURN rc = exportBoundary([](const char*) { throw std::bad_alloc(); },
                                  []() -> SQLRETURN { throw std::bad_alloc(); });
    EXPECT_EQ(rc, SQL_ERROR);
}

}  // namespace
