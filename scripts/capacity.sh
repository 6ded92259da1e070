#!/usr/bin/env bash
# How many players one tessaria-server holds: for each number of bots, a
# release-built server on a fresh world of its own and tessaria-bots against
# it over loopback; one Markdown table row per size. Not part of the tests.
#
# usage: scripts/capacity.sh [SIZE...]        (default 8 16 32 64 128)
# env:   CAPACITY_SECONDS  how long the bots play at each size (default 60)
#        CAPACITY_BUILD    the release build folder (default build/capacity)
#        CAPACITY_SEED     the bots' and the world's seed (default 1)
#        CAPACITY_KEEP     a folder to keep each size's logs in (default: none)
#        CAPACITY_WORLD    the world's columns a side: 20 (default), or 64, 128 or
#                          300 for a new island the server makes (tessaria-server
#                          --size), over which the bots spread (--spread)
#
# Per size: the server's share of one core (utime + stime from /proc over the
# bots' run), its p99 tick time (the console's `stats` line, "n/a" when the
# server has no such command), its peak memory (VmHWM), and from the bots'
# last line the bytes a second per bot, the p99 edit latency and the desyncs;
# last, the bots' own share of a core: near 100 % the load generator, not the
# server, is what limits the latency.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${CAPACITY_SECONDS:-60}
build=${CAPACITY_BUILD:-$root/build/capacity}
seed=${CAPACITY_SEED:-1}
world_size=${CAPACITY_WORLD:-20}
spread=()
[[ $world_size -gt 20 ]] && spread=(--spread)
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(8 16 32 64 128)

[[ -f /work/devenv.sh ]] && source /work/devenv.sh
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARIA_GRAPHICS=OFF \
  -DTESSARIA_TESTS=OFF -DTESSARIA_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target tessaria-server tessaria-bots tessaria_worldgen >/dev/null
server_bin=$build/server/tessaria-server
bots_bin=$build/bots/tessaria-bots
worldgen_bin=$build/tools/tessaria_worldgen
ticks_per_second=$(getconf CLK_TCK)

work=$(mktemp -d /tmp/tessaria-capacity-XXXXXX)
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill -KILL "$server_pid" 2>/dev/null || true
  if [[ -n ${CAPACITY_KEEP:-} ]]; then
    mkdir -p "$CAPACITY_KEEP"
    for run in "$work"/*/; do
      [[ -d $run ]] || continue
      for f in "$run"/*.log "$run"/bots.*; do cp "$f" "$CAPACITY_KEEP/$(basename "$run")-$(basename "$f")"; done
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# CPU seconds of this shell's ended children (bash's `times`, second line).
children_cpu() {
  times >"$work/times"
  tail -1 "$work/times" | awk '{ gsub(/[ms]/, " "); print $1 * 60 + $2 + $3 * 60 + $4 }'
}

# One size: prints its table row.
measure() {
  local n=$1 run=$work/$1
  mkdir -p "$run/world"
  local size_option=()
  if [[ $world_size -gt 20 ]]; then
    size_option=(--size "$world_size")
  else
    "$worldgen_bin" --kind island --seed "$seed" "$run/world/world.ini" >/dev/null
  fi
  # Every bot comes from 127.0.0.1: the per-address caps go up with the size.
  cat >"$run/world/server.ini" <<EOF
max_players = $((n + 8))
connections_per_address = $((n + 8))
connects_per_minute = $((4 * n + 60))
new_names_per_minute = $((n + 8))
new_names_per_address = $((n + 8))
EOF
  mkfifo "$run/console"
  "$server_bin" --port 0 --world "$run/world" "${size_option[@]}" <"$run/console" \
    >"$run/server.log" 2>&1 &
  server_pid=$!
  exec 3>"$run/console"
  local port=
  for _ in $(seq 100); do
    port=$(grep -o 'listening on port [0-9]*' "$run/server.log" | grep -o '[0-9]*$' || true)
    [[ -n $port ]] && break
    sleep 0.1
  done
  if [[ -z $port ]]; then
    echo "capacity: the server did not start for $n bots:" >&2
    cat "$run/server.log" >&2
    exit 1
  fi

  local cpu0 wall0 cpu1 wall1
  cpu0=$(cpu_ticks "$server_pid")
  wall0=$(date +%s.%N)
  local bots0 bots1
  children_cpu >"$run/cpu0"
  "$bots_bin" --connect "127.0.0.1:$port" --count "$n" --seconds "$seconds" --seed "$seed" \
    "${spread[@]}" >"$run/bots.out" 2>"$run/bots.err" || true
  children_cpu >"$run/cpu1"
  bots0=$(cat "$run/cpu0") bots1=$(cat "$run/cpu1")
  cpu1=$(cpu_ticks "$server_pid")
  wall1=$(date +%s.%N)
  local hwm
  hwm=$(awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$server_pid/status")

  echo stats >&3
  local tick=
  for _ in $(seq 20); do
    tick=$(grep -o 'stats: ticks [0-9]*, tick p50 [0-9.]* ms, p99 [0-9.]* ms' "$run/server.log" |
      tail -1 | sed 's/.*p99 \([0-9.]*\) ms/\1/' || true)
    [[ -n $tick ]] && break
    sleep 0.1
  done
  echo stop >&3
  exec 3>&-
  wait "$server_pid" || true
  server_pid=

  local last joined latency bytes desyncs
  last=$(tail -1 "$run/bots.out")
  if [[ ! $last =~ ^bots:\ ([0-9]+)\ joined,\ ([0-9]+)\ edits,\ (-?[0-9.]+)\ ms\ p99\ edit\ latency,\ ([0-9.]+)\ B/s\ per\ bot,\ ([0-9]+)\ desyncs$ ]]; then
    echo "capacity: the bots' summary is missing for $n bots:" >&2
    cat "$run/bots.out" "$run/bots.err" >&2
    exit 1
  fi
  joined=${BASH_REMATCH[1]} latency=${BASH_REMATCH[3]} bytes=${BASH_REMATCH[4]}
  desyncs=${BASH_REMATCH[5]}
  local share bots_share
  share=$(awk -v c="$((cpu1 - cpu0))" -v hz="$ticks_per_second" -v a="$wall0" -v b="$wall1" \
    'BEGIN { printf "%.1f", 100 * c / hz / (b - a) }')
  bots_share=$(awk -v c0="$bots0" -v c1="$bots1" -v a="$wall0" -v b="$wall1" \
    'BEGIN { printf "%.0f", 100 * (c1 - c0) / (b - a) }')
  [[ -n $tick ]] && tick="$tick ms" || tick=n/a
  printf '| %d | %d | %s %% | %s | %s MiB | %s | %s ms | %d | %s %% |\n' "$n" "$joined" "$share" \
    "$tick" "$hwm" "$bytes" "$latency" "$desyncs" "$bots_share"
}

echo "tessaria-server capacity: a ${world_size} x ${world_size} world, ${seconds} s a size," \
  "bots seed $seed$([[ $world_size -gt 20 ]] && echo ', spread'), $(nproc) cores," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
echo
echo "| bots | joined | server CPU (one core) | p99 tick | peak memory | B/s per bot | edit latency p99 | desyncs | bots' own CPU |"
echo "|---|---|---|---|---|---|---|---|---|"
for n in "${sizes[@]}"; do measure "$n"; done
echo
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
