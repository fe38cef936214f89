// Statement and descriptor creation, apart from the rest of Connection
// because they need the Statement and Descriptor classes.
#include "driver/core/Connection.h"

// Until the Statement and Descriptor classes are in the tree these answer
// "none", which the connection handle reports as HY000 to the caller; they
// become `new Statement(this)` and an explicit `new Descriptor(this, 0)`.
Statement* Connection::createStatement() {
    return nullptr;
}

Descriptor* Connection::createDescriptor() {
    return nullptr;
}
