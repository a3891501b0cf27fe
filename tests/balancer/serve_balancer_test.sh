#!/usr/bin/env bash
# Two `zarel serve` processes on one PostgreSQL demo database behind HAProxy
# (apps/serve/deploy/haproxy.cfg), on loopback: two clients browse the demo
# through the balancer, one on each process; the process of the first is
# stopped. The second client goes on in its own session, unchanged; the
# first is told its session ended, and opening the page again starts a new
# session at the front page, on the process still running.
#
#   serve_balancer_test.sh ZAREL_PROGRAM HAPROXY_CONFIG [HAPROXY_PROGRAM]
#
# Needs ZAREL_TEST_PG (the test server's URL; scripts/pg-server), haproxy,
# psql and curl. Without ZAREL_TEST_PG or haproxy it is skipped (exit 77)
# unless ZAREL_REQUIRE_PG=1 (scripts/test), which makes that a failure.
set -euo pipefail

zarel=$1
config=$2
haproxy=${3:-haproxy}

skip() {
  if [[ "${ZAREL_REQUIRE_PG:-}" == 1 ]]; then
    echo "ZAREL_REQUIRE_PG=1 but $1" >&2
    exit 1
  fi
  echo "$1: skipped"
  exit 77
}
[[ -n "${ZAREL_TEST_PG:-}" ]] || skip "ZAREL_TEST_PG is unset"
command -v "$haproxy" >/dev/null || skip "haproxy is not installed (scripts/install-deps)"

work=$(mktemp -d /tmp/zarel-balancer.XXXXXX)
database="zarel_balancer_$$"
pids=()
cleanup() {
  # The serve processes are started inside $(...), so only their pid files
  # name them here; they are not this shell's children, so wait by polling.
  for file in "$work"/*.pid; do [[ -f "$file" ]] && pids+=("$(cat "$file")"); done
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  psql -q "$ZAREL_TEST_PG" -c "DROP DATABASE IF EXISTS $database WITH (FORCE)" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  for log in "$work"/*.log; do
    [[ -f "$log" ]] && { echo "--- $log"; tail -n 20 "$log"; } >&2
  done
  exit 1
}

# A port nothing listens on.
free_port() {
  local port
  for _ in $(seq 100); do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
  fail "no free port"
}

# zarel serve on any free port; prints the port it took.
start_serve() {
  local name=$1 log="$work/$1.log"
  "$zarel" serve "$url" --site "$work/demo/site" --port 0 --talking >"$log" 2>&1 &
  pids+=($!)
  echo $! >"$work/$name.pid"
  for _ in $(seq 300); do
    if grep -q "open http://127.0.0.1:" "$log"; then
      sed -n 's|.*open http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$log" | head -n 1
      return
    fi
    sleep 0.1
  done
  fail "$name did not start"
}

# A client of the balancer, with a cookie jar of its own: get CLIENT PATH,
# post CLIENT PATH BODY. Prints the body, then the status on a line of its
# own.
get() { curl -sS -b "$work/$1.jar" -c "$work/$1.jar" -w '\n%{http_code}' "$front$2"; }
post() {
  curl -sS -b "$work/$1.jar" -c "$work/$1.jar" -w '\n%{http_code}' -H 'Content-Type: application/json' \
    --data "$3" "$front$2"
}
status_of() { tail -n 1 <<<"$1"; }
# Starts a session as the page's script does once the page is shown (a GET
# never starts one). Prints the status code.
open_page() { status_of "$(post "$1" /api/session '{}')"; }
body_of() { sed '$d' <<<"$1"; }
# The process (s1 or s2) that HAProxy pinned the client's session to.
server_of() { grep -o 'zarel_session[[:space:]]*s[0-9]~' "$work/$1.jar" | grep -o 's[0-9]' || true; }
session_of() { grep -o 'zarel_session[[:space:]]*s[0-9]~[0-9a-f]*' "$work/$1.jar" | sed 's/.*~//'; }
# The id of the node whose text is $2 in a state answer $1 (a node's
# members come in name order: "children" before "id", "text" after it).
node_id() { grep -o "\"id\":[0-9]*,[^{}]*\"text\":\"$2\"" <<<"$1" | sed 's/"id":\([0-9]*\),.*/\1/' | head -n 1; }

psql -q "$ZAREL_TEST_PG" -c "CREATE DATABASE $database" >/dev/null
url="${ZAREL_TEST_PG%/*}/$database"
"$zarel" demo "$work/demo" --connection "$url" >"$work/demo.log" 2>&1 || fail "zarel demo --connection"

port1=$(start_serve s1)
port2=$(start_serve s2)
# A port found free may be taken by another test before HAProxy binds it:
# HAProxy then exits at once, and another port is tried.
front_ready=false
for _ in 1 2 3 4 5; do
  front_port=$(free_port)
  front="http://127.0.0.1:$front_port"
  ZAREL_FRONT="127.0.0.1:$front_port" ZAREL_SERVE1="127.0.0.1:$port1" ZAREL_SERVE2="127.0.0.1:$port2" \
    "$haproxy" -db -f "$config" >"$work/haproxy.log" 2>&1 &
  haproxy_pid=$!
  pids+=("$haproxy_pid")
  for _ in $(seq 100); do
    kill -0 "$haproxy_pid" 2>/dev/null || break
    if [[ "$(curl -s -o /dev/null -w '%{http_code}' "$front/app.css" || true)" == 200 ]]; then
      front_ready=true
      break
    fi
    sleep 0.1
  done
  $front_ready && break
done
$front_ready || fail "HAProxy did not start"

# Client a first; client b until it lands on the other process.
[[ "$(status_of "$(get a /)")" == 200 ]] || fail "client a could not load the page"
[[ "$(open_page a)" == 200 ]] || fail "client a could not open the page"
server_a=$(server_of a)
[[ -n "$server_a" ]] || fail "HAProxy did not pin client a's session"
for _ in 1 2 3 4; do
  rm -f "$work/b.jar"
  [[ "$(open_page b)" == 200 ]] || fail "client b could not open the page"
  [[ "$(server_of b)" != "$server_a" ]] && break
done
server_b=$(server_of b)
[[ "$server_b" != "$server_a" ]] || fail "both clients landed on $server_a"
session_b=$(session_of b)

# Both browse: Regions, then a region.
for client in a b; do
  state=$(body_of "$(get "$client" /api/state)")
  regions=$(node_id "$state" Regions)
  answer=$(post "$client" /api/click "{\"node\": $regions}")
  [[ "$(status_of "$answer")" == 200 ]] || fail "client $client: click on Regions"
  north=$(node_id "$(body_of "$answer")" North)
  answer=$(post "$client" /api/click "{\"node\": $north}")
  [[ "$(status_of "$answer")" == 200 ]] || fail "client $client: click on North"
  grep -q '"type":"log"[^}]*"text":"Brightwater Supplies\\\\Regions\\\\North"' <<<"$answer" \
    || fail "client $client: no page for North"
  if grep -q '"type":"message"' <<<"$answer"; then fail "client $client: a message: $answer"; fi
done
before_b=$(body_of "$(get b /api/state)")

# The process of client a stops.
kill -TERM "$(cat "$work/$server_a.pid")"
wait "$(cat "$work/$server_a.pid")" 2>/dev/null || true

# Client b goes on unchanged: the same session, the same tree and page,
# and its next click works.
after_b=$(body_of "$(get b /api/state)")
[[ "$after_b" == "$before_b" ]] || fail "client b's session changed"
south=$(node_id "$after_b" South)
answer=$(post b /api/click "{\"node\": $south}")
[[ "$(status_of "$answer")" == 200 ]] || fail "client b: click after the stop"
grep -q '"type":"log"[^}]*"text":"Brightwater Supplies\\\\Regions\\\\South"' <<<"$answer" \
  || fail "client b: no page for South"
[[ "$(session_of b)" == "$session_b" && "$(server_of b)" == "$server_b" ]] || fail "client b's cookie changed"

# Client a: a clear answer that its session ended ...
answer=$(get a /api/state)
[[ "$(status_of "$answer")" == 401 ]] || fail "client a: expected 401, got $answer"
[[ "$(body_of "$answer")" == '{"error":"This session has ended; open the page again to start a new one."}' ]] \
  || fail "client a: $answer"
answer=$(post a /api/click '{"node": 1}')
[[ "$(status_of "$answer")" == 401 ]] || fail "client a: a click in the ended session answered $answer"
# ... and opening the page again starts a new session at the front page, on
# the process still running.
[[ "$(open_page a)" == 200 ]] || fail "client a could not open the page again"
[[ "$(server_of a)" == "$server_b" ]] || fail "client a's new session is not on $server_b"
state=$(get a /api/state)
[[ "$(status_of "$state")" == 200 ]] || fail "client a: the new session answered $state"
grep -q '"url":"/site/fp.htm"' <<<"$state" || fail "client a's new session is not at the front page: $state"
[[ -n "$(node_id "$(body_of "$state")" Regions)" ]] || fail "client a's new tree has no Regions"

echo "balancer test passed: client b stayed on $server_b, client a started anew there"
