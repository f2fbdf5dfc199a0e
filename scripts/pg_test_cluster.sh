#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for the tests: initdb and pg_ctl in a folder of its own,
# listening only on a Unix socket in that folder (no TCP port). Run as root, the server runs as
# the user postgres, which then owns the folder.
#
#   scripts/pg_test_cluster.sh start FOLDER [durable]   creates the cluster (replacing one left
#                                                       in FOLDER); "durable" keeps the server's
#                                                       safe defaults (benchmarks), else writes
#                                                       are not waited for (tests)
#   scripts/pg_test_cluster.sh stop FOLDER               stops it and removes FOLDER
#
# The cluster's superuser is "postgres"; every login is trusted over the socket except
# "tallyform_pw", which needs its password "tallyform-test-password". The database
# "tallyform_template" holds the program's tables and the roles of store/postgresql_schema.sql;
# the logins "tallyform_clerk1" and "tallyform_admin1" are members of the clerk and the admin
# role. Tests make their own databases from the template.
set -euo pipefail
action=${1:?start or stop}
folder=${2:?folder}
here="$(cd "$(dirname "$0")/.." && pwd)"

bindir=""
for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V); do
  [ -x "$d/initdb" ] && bindir=$d
done
if [ -z "$bindir" ]; then
  echo "PostgreSQL server programs not found (install them with: bash scripts/deps.sh test)" >&2
  exit 1
fi

as_server=()
if [ "$(id -u)" -eq 0 ]; then as_server=(runuser -u postgres --); fi

stop() {
  if [ -f "$folder/data/postmaster.pid" ]; then
    "${as_server[@]}" "$bindir/pg_ctl" -D "$folder/data" -m immediate -w stop > /dev/null 2>&1 || true
  fi
  rm -rf "$folder"
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi
[ "$action" = start ] || { echo "usage: $0 start|stop FOLDER" >&2; exit 2; }

stop
mkdir -m 700 "$folder"
[ "$(id -u)" -eq 0 ] && chown postgres: "$folder"
"${as_server[@]}" "$bindir/initdb" -D "$folder/data" -U postgres --auth=trust -E UTF8 \
  --locale=C.UTF-8 > "$folder/initdb.log"
cat > "$folder/data/pg_hba.conf" <<'EOF'
local all tallyform_pw scram-sha-256
local all all trust
EOF
# Speed over durability for tests: the cluster lives for one run.
options="-c listen_addresses='' -c unix_socket_directories='$folder' -c max_connections=60"
if [ "${3:-}" != durable ]; then
  options+=" -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
fi
"${as_server[@]}" "$bindir/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
  -o "$options" start > /dev/null

run_psql() {
  "$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$folder" -U postgres "$@"
}
run_psql -d postgres -c "CREATE DATABASE tallyform_template"
run_psql -d tallyform_template -f "$here/store/postgresql_schema.sql" > /dev/null
run_psql -d postgres <<'EOF'
CREATE ROLE tallyform_clerk1 LOGIN IN ROLE tallyform_clerk;
CREATE ROLE tallyform_admin1 LOGIN IN ROLE tallyform_admin;
CREATE ROLE tallyform_pw LOGIN PASSWORD 'tallyform-test-password' IN ROLE tallyform_clerk;
EOF
echo "PostgreSQL test cluster running, socket in $folder"
