#include "driver/adapter/IdentifyDriver.h"

#include "driver/adapter/TarvexConnection.h"

// PLACEHOLDER: replaced by the driver identification.
std::unique_ptr<Connection> identifyDriver(Environment* environment, const SQLCHAR*, SQLSMALLINT) {
    return std::make_unique<TarvexConnection>(environment);
}
