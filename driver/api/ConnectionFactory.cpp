#include "driver/api/ConnectionFactory.h"

#include <atomic>

#include "driver/adapter/IdentifyDriver.h"
#include "driver/core/Connection.h"

namespace {

std::atomic<ConnectionFactory>& currentFactory() {
    static std::atomic<ConnectionFactory> factory{&identifyDriver};
    return factory;
}

}  // namespace

std::unique_ptr<Connection> makeConnection(Environment* environment, const SQLCHAR* text,
                                           SQLSMALLINT length) {
    return currentFactory().load()(environment, text, length);
}

ConnectionFactory setConnectionFactory(ConnectionFactory factory) {
    return currentFactory().exchange(factory != nullptr ? factory : &identifyDriver);
}
