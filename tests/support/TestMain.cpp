#include <gtest/gtest.h>

#include "tests/support/OdbcSandbox.h"

// Every test program runs inside a sandbox: nothing it does can reach the
// machine's ODBC files or the real home directory.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    OdbcSandbox sandbox;
    return RUN_ALL_TESTS();
}
