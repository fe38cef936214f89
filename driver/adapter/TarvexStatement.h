#pragma once

#include "driver/adapter/MySQLImpersonatorStatement.h"

class Connection;

// The statement class of every TarvexConnection: its inner statement comes
// from the connection's repeater connection.
class TarvexStatement : public MySQLImpersonatorStatement {
  public:
    explicit TarvexStatement(Connection* connection);
    ~TarvexStatement() override;
};
