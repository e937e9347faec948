#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the lab records tests, in a folder of its own.
#   test-pg.sh start DIR   makes and starts it; prints the export lines for the tests
#   test-pg.sh stop DIR    stops it (nothing when it is not running) and removes DIR
#   test-pg.sh pause DIR / resume DIR   stop and start the same cluster (the tests' outage)
# The server never runs as root: as root it runs as the postgres user of Debian's package.
# Roles: tq_admin (superuser), tq_owner (owns the database "calibration" and the records' tables),
# tq_technicians (no login) and its member bench1; bench9 whose password file entry is wrong.
# Every login is by password over TCP on 127.0.0.1, from DIR/pgpass.
set -euo pipefail
action=${1:?start, stop, pause or resume}
dir=${2:?folder}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/initdb" ] || { echo "test-pg.sh: Debian's postgresql package is not installed" >&2; exit 1; }

as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case $action in
start)
  mkdir -p "$dir"
  # A free port: nothing answers on it.
  port=$((20000 + RANDOM % 20000))
  while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port" >"$dir/port"
  printf 'admin-%s\n' "$RANDOM$RANDOM" >"$dir/adminpw"
  [ "$(id -u)" -eq 0 ] && chown -R postgres "$dir"
  as_server "$bin/initdb" -D "$dir/data" -U tq_admin --pwfile="$dir/adminpw" -A scram-sha-256 \
    --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  # Speed over safety: the cluster lives for one test run. In its configuration, so that resume
  # starts it the same way.
  printf '%s\n' "port = $port" "unix_socket_directories = '$dir'" "listen_addresses = '127.0.0.1'" \
    "fsync = off" "synchronous_commit = off" "full_page_writes = off" |
    as_server tee -a "$dir/data/postgresql.conf" >/dev/null
  as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  admin=$(cat "$dir/adminpw")
  umask 077
  cat >"$dir/pgpass" <<PASS
127.0.0.1:$port:*:tq_admin:$admin
127.0.0.1:$port:*:tq_owner:owner-secret
127.0.0.1:$port:*:bench1:bench1-secret
127.0.0.1:$port:*:bench9:not-its-password
PASS
  PGPASSFILE=$dir/pgpass psql -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U tq_admin -d postgres <<'SQL' >/dev/null
CREATE ROLE tq_owner LOGIN PASSWORD 'owner-secret';
CREATE ROLE tq_technicians NOLOGIN;
CREATE ROLE bench1 LOGIN PASSWORD 'bench1-secret' IN ROLE tq_technicians;
CREATE ROLE bench9 LOGIN PASSWORD 'bench9-secret' IN ROLE tq_technicians;
CREATE DATABASE calibration OWNER tq_owner;
SQL
  echo "export PGPASSFILE=$dir/pgpass"
  echo "export TQ_TEST_PG_URL=postgresql://tq_admin@127.0.0.1:$port/postgres"
  echo "export TQ_TEST_PG_CONTROL='$(cd "$(dirname "$0")" && pwd)/$(basename "$0") %1 $dir'"
  ;;
pause)
  as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  ;;
resume)
  as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 start >/dev/null
  ;;
stop)
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_server "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
*)
  echo "test-pg.sh: start, stop, pause or resume, not $action" >&2
  exit 2
  ;;
esac
