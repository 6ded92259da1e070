#!/usr/bin/env bash
# Soak of tessaria-server under kills: a release-built server and a few
# tessaria-bots processes of a few bots each; in every round, at a random
# moment, SIGKILL for one bot process (started again at once) or for the
# server. After a server kill the world folder must hold a whole world (the
# 8,002 numbers of world.ini, at most one temporary beside it) and the server
# starts again on it, on the same port, and the bots find it again. Each bot
# process must end with all its bots there and 0 desyncs. Not part of the
# tests.
#
# env: ROUNDS     rounds (default 4)
#      SECONDS    how long the bots play in a round (default 20)
#      PROCESSES  bot processes (default 3)
#      BOTS       bots in each (default 4)
#      SOAK_BUILD the release build folder (default build/capacity)
# Exit status 0 when every check held.
set -uo pipefail

round_seconds=$SECONDS # bash counts on from the value it was given
((round_seconds > 0)) || round_seconds=20
rounds=${ROUNDS:-4}
processes=${PROCESSES:-3}
per=${BOTS:-4}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SOAK_BUILD:-$root/build/capacity}

[[ -f /work/devenv.sh ]] && source /work/devenv.sh
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARIA_GRAPHICS=OFF \
  -DTESSARIA_TESTS=OFF -DTESSARIA_BENCH=OFF >/dev/null || exit 1
cmake --build "$build" -j2 --target tessaria-server tessaria-bots >/dev/null || exit 1
server_bin=$build/server/tessaria-server
bots_bin=$build/bots/tessaria-bots

work=$(mktemp -d /tmp/tessaria-soak-XXXXXX)
world=$work/world
mkdir -p "$world"
cat >"$world/server.ini" <<EOF
max_players = $((processes * per + 8))
connections_per_address = $((processes * per + 8))
connects_per_minute = 1000
new_names_per_address = 20
EOF

server_pid=
port=0
declare -A group_pid
failures=0
server_kills=0
bot_kills=0
starts=0

cleanup() {
  [[ -n $server_pid ]] && kill -KILL "$server_pid" 2>/dev/null
  for g in "${!group_pid[@]}"; do kill -KILL "${group_pid[$g]}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "soak: FAILED: $*"
  failures=$((failures + 1))
}

start_server() {
  starts=$((starts + 1))
  local log=$work/server-$starts.log
  "$server_bin" --port "$port" --world "$world" </dev/null >"$log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do
    grep -qs 'listening on port' "$log" && break
    sleep 0.1
  done
  if ! grep -q 'listening on port' "$log"; then
    fail "the server did not start: $(tail -3 "$log")"
    return 1
  fi
  port=$(grep -o 'listening on port [0-9]*' "$log" | grep -o '[0-9]*$')
  if ((starts > 1)) && ! grep -q 'loaded' "$log"; then
    fail "the server did not load the world it left: $(head -2 "$log")"
  fi
}

# A whole world: the 8,002 numbers at least, and no more than one temporary.
check_world() {
  local file=$world/world.ini
  if [[ ! -f $file ]]; then
    fail "no world.ini after the kill"
    return
  fi
  local lines numbers temporaries
  lines=$(wc -l <"$file")
  numbers=$(head -8002 "$file" | grep -cE '^[^=]+ = -?[0-9]+\s*$')
  temporaries=$(find "$world" -maxdepth 1 -name 'world.ini.tmp*' | wc -l)
  ((lines >= 8002)) || fail "world.ini has $lines lines"
  ((numbers == 8002)) || fail "world.ini's first 8,002 lines hold $numbers values"
  ((temporaries <= 1)) || fail "$temporaries temporaries beside world.ini"
}

# Each start takes fresh names: a name belongs to the run that first joined
# with it, and a bot process keeps its names' keys only for its own run.
starts=0
start_group() {
  local g=$1
  starts=$((starts + 1))
  "$bots_bin" --connect "127.0.0.1:$port" --count "$per" --seconds "$round_seconds" \
    --seed "$RANDOM" --prefix "g$g-$starts-" >"$work/group-$g.out" 2>"$work/group-$g.err" &
  group_pid[$g]=$!
}

start_server || exit 1
echo "soak: $rounds rounds of $round_seconds s, $processes bot processes of $per bots, port $port"
for ((round = 1; round <= rounds; round++)); do
  for ((g = 1; g <= processes; g++)); do start_group "$g"; done
  # A kill somewhere in the middle of the round.
  sleep "$(awk -v s="$round_seconds" -v r="$RANDOM" 'BEGIN { printf "%.2f", s * (0.2 + 0.5 * r / 32768) }')"
  victim=$((RANDOM % (processes + 1)))
  if ((victim == 0)); then
    kill -KILL "$server_pid"
    wait "$server_pid" 2>/dev/null
    server_kills=$((server_kills + 1))
    check_world
    start_server || break
    echo "soak: round $round: killed the server; world whole, started again"
  else
    kill -KILL "${group_pid[$victim]}"
    wait "${group_pid[$victim]}" 2>/dev/null
    bot_kills=$((bot_kills + 1))
    start_group "$victim"
    echo "soak: round $round: killed bot process $victim; started again"
  fi
  for ((g = 1; g <= processes; g++)); do
    wait "${group_pid[$g]}"
    last=$(tail -1 "$work/group-$g.out")
    if [[ $last =~ ^bots:\ ([0-9]+)\ joined,\ ([0-9]+)\ edits,.*\ ([0-9]+)\ desyncs$ ]]; then
      ((BASH_REMATCH[1] == per)) || fail "round $round, process $g: $last"
      ((BASH_REMATCH[3] == 0)) || fail "round $round, process $g: $last; $(grep differs "$work/group-$g.err" | head -2)"
      echo "soak: round $round, process $g: ${last#bots: }"
    else
      fail "round $round, process $g ended without its summary: $(tail -2 "$work/group-$g.err")"
    fi
  done
  group_pid=()
done

kill -TERM "$server_pid"
wait "$server_pid"
status=$?
server_pid=
((status == 0)) || fail "the server's SIGTERM ended with status $status"
check_world
echo "soak: $rounds rounds, $server_kills server kills, $bot_kills bot process kills, $failures failures"
((failures == 0))
