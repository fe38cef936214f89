#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>

#include "driver/adapter/MySQLInfoAnswers.h"
#include "driver/core/Connection.h"

class Environment;

// The face of a MySQL server that every connection of the adapter shows,
// whatever source stands behind it: MySQL's SQLGetInfo answers and function
// list, only READ COMMITTED isolation, the cursor policy and the rewrite of
// over-long qualified names. Connecting is left to subclasses.
class MySQLBaseConnection : public Connection {
  public:
    // Texts are kept as UTF-8 and reported with the narrow SQL types.
    explicit MySQLBaseConnection(Environment* environment);
    ~MySQLBaseConnection() override;

    // Drops the catalog part of three-part names after FROM, INTO and
    // UPDATE (four-part names elsewhere); backquoted names stay whole.
    std::string rewriteSql(const std::string& text) override;
    bool avoidServerCursors() const override;
    // SQLCloseCursor without an open cursor succeeds.
    bool tolerateCloseWithoutCursor() const override;
    int supportedFunctionCount() const override;
    SQLUSMALLINT supportedFunction(int index) const override;
    // Only SQL_TXN_READ_COMMITTED is accepted; other levels fail with HYC00.
    SQLRETURN setAttrTxnIsolation(SQLUINTEGER value) override;

#define MORVANEX_DECLARE_MYSQL_INFO(Name, shape, answer) \
    InfoValue<InfoShape::shape> info##Name() override;
    MORVANEX_MYSQL_INFO_ANSWERS(MORVANEX_DECLARE_MYSQL_INFO)
#undef MORVANEX_DECLARE_MYSQL_INFO

    // The MySQL version that the version-dependent answers follow, as
    // major * 10000 + minor * 100 + patch.
    virtual std::uint64_t serverVersion() const;

  protected:
    // The answer for the server generation: below 5.0, below 5.1, from 5.1 on.
    template <typename T>
    T byVersion(T before50, T before51, T from51) const {
        const std::uint64_t version = serverVersion();
        if (version < kMySqlVersion50) {
            return before50;
        }
        return version < kMySqlVersion51 ? before51 : from51;
    }

    // The version that "5.6", the DBMS version the face reports, stands for.
    static constexpr std::uint64_t kDefaultServerVersion = 50600;

    std::uint64_t serverVersion_ = kDefaultServerVersion;
    std::int32_t versionMajor_ = 0;
    std::int32_t versionMinor_ = 0;
    std::int32_t versionPatch_ = 0;

  private:
    // "major.minor.patch" of the three version numbers.
    std::string versionText() const;
};
