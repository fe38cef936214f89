// Statement and descriptor creation, apart from the rest of Connection
// because they need the Statement and Descriptor classes.
#include "driver/core/Connection.h"
#include "driver/core/Descriptor.h"
#include "driver/core/Statement.h"

// The base statement answers every statement function with its defaults;
// connections of a data source override this with their own statement.
Statement* Connection::createStatement() {
    return new Statement(this);
}

// An explicit (application-allocated) descriptor bound to this connection.
Descriptor* Connection::createDescriptor() {
    return new Descriptor(this, DescriptorContext::Explicit);
}
