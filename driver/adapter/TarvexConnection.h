#pragma once

#include "driver/adapter/MySQLImpersonatorConnection.h"

class Environment;

// The connection class the connect entry points get: a MySQL face over a
// repeater connection, making statements of its own kind.
class TarvexConnection : public MySQLImpersonatorConnection {
  public:
    explicit TarvexConnection(Environment* environment);
    ~TarvexConnection() override;

    Statement* createStatement() override;
};
