#pragma once

#include "pemberix/PgEntryPoints.h"

namespace pemberix {

// What this layer answers with in place of the PostgreSQL driver it did not
// load (PgDriver::refusal): environment and connection handles of its own,
// attributes taken and dropped, no records of its own (the connect calls
// post the refusal on the connection), every other entry point missing.
PgEntryPoints refusedDriverEntryPoints();

}  // namespace pemberix
