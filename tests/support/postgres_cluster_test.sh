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
# One role must give its password: a wrong one is refused, the right one accepted.
if PGPASSWORD=wrong psql -X -At -U "$MORVANEX_PG_PW_USER" -c 'select 1' 2>/dev/null; then
  echo "a wrong password was accepted"
  exit 1
fi
[ "$(PGPASSWORD=$MORVANEX_PG_PW_PASSWORD psql -X -At -U "$MORVANEX_PG_PW_USER" -c 'select 2')" = 2 ]
