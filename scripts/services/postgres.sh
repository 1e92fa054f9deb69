# A private PostgreSQL server for the tests: its own data folder, port and socket folder on
# loopback. Connections name SERVER=127.0.0.1 and take the port from PGPORT, which the tests'
# environment sets (psqlODBC leaves the port to libpq when the connection string has none).
: "${VARNET_PG_PORT:=54329}"
: "${VARNET_PG_DIR:=/tmp/varnet-pg}"

pg_bin() {
  local d
  for d in /usr/lib/postgresql/*/bin; do [ -x "$d/pg_ctl" ] && { echo "$d"; return; }; done
  echo "postgres: no PostgreSQL server installed (package postgresql)" >&2
  return 1
}

as_pg() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

start() {
  local bin fresh=
  bin=$(pg_bin)
  if as_pg "$bin/pg_isready" -q -h 127.0.0.1 -p "$VARNET_PG_PORT" 2>/dev/null; then
    return 0
  fi
  mkdir -p "$VARNET_PG_DIR"
  [ "$(id -u)" = 0 ] && chown postgres "$VARNET_PG_DIR"
  if [ ! -f "$VARNET_PG_DIR/data/PG_VERSION" ]; then
    as_pg "$bin/initdb" -D "$VARNET_PG_DIR/data" -U postgres --auth=trust -E UTF8 \
      --locale=C.UTF-8 >"$VARNET_PG_DIR/initdb.log" 2>&1 ||
      { cat "$VARNET_PG_DIR/initdb.log" >&2; return 1; }
    # One login that must give its password, to prove passwords with ";" and "}" get through.
    sed -i '1i host all varnet_pw 127.0.0.1/32 scram-sha-256' "$VARNET_PG_DIR/data/pg_hba.conf"
    fresh=1
  fi
  mkdir -p "$VARNET_PG_DIR/sock"
  [ "$(id -u)" = 0 ] && chown postgres "$VARNET_PG_DIR/sock"
  as_pg "$bin/pg_ctl" -D "$VARNET_PG_DIR/data" -l "$VARNET_PG_DIR/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -c port=$VARNET_PG_PORT -c unix_socket_directories=$VARNET_PG_DIR/sock -c fsync=off" \
    start >/dev/null || { tail -20 "$VARNET_PG_DIR/server.log" >&2; return 1; }
  if [ -n "${fresh:-}" ]; then
    as_pg psql -q -h 127.0.0.1 -p "$VARNET_PG_PORT" -U postgres -d postgres \
      -c "CREATE ROLE varnet_pw LOGIN PASSWORD 'pa;ss}word'" >/dev/null
  fi
  echo "postgres: running on 127.0.0.1:$VARNET_PG_PORT"
}

stop() {
  local bin
  bin=$(pg_bin) || return 0
  [ -f "$VARNET_PG_DIR/data/postmaster.pid" ] || return 0
  as_pg "$bin/pg_ctl" -D "$VARNET_PG_DIR/data" -m fast -w stop >/dev/null || true
}
