#!/usr/bin/env bash
# ctest-fixture: postgres
# The private cluster answers a query.
set -euo pipefail
set -a
. "$MORVANEX_PG_DIR/env"
set +a
result=$(psql -X -At -c 'select 1')
[ "$result" = 1 ] || { echo "unexpected answer: $result"; exit 1; }
echo "cluster answers on $PGHOST:$PGPORT"
