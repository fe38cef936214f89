// Statement and descriptor creation, apart from the rest of Connection
// because they need the Statement and Descriptor classes.
#include "driver/core/Connection.h"
#include "driver/core/Statement.h"

// The base statement answers every statement function with its defaults;
// connections of a data source override this with their own statement.
Statement* Connection::createStatement() {
    return new Statement(this);
}

// Until the Descriptor class is wired in this answers "none", which the
// connection handle reports as HY000 to the caller; it becomes an explicit
// `new Descriptor(this, 0)`.
Descriptor* Connection::createDescriptor() {
    return nullptr;
}
