#!/usr/bin/env bash
# Load comparison of the weight server, in one run: the core's server (hosted by server_host)
# against the single-threaded epoll ceiling (ceiling_server), both answering "PSB1" with
# "S1520", at N = 1, 100 and 1,000 persistent connections; then 10,000 idle connections held
# on the core's server while 100 others are served. 127.0.0.1 only.
# Medians of ROUNDS (default 3) alternating runs per N.
#
#   bench/run-server-bench.sh [build-folder] [seconds-per-run]
set -euo pipefail
build=${1:-build}
seconds=${2:-5}
bin=$build/bench
core_port=${CORE_PORT:-19191}
ceiling_port=${CEILING_PORT:-19292}

if ! out=$(cmake --build "$build" --target server_host ceiling_server server_load 2>&1); then
  echo "$out" >&2; exit 1
fi
ulimit -n "$(ulimit -Hn)"

"$bin/server_host" --port "$core_port" & core=$!
"$bin/ceiling_server" --port "$ceiling_port" --reply S1520 & ceiling=$!
trap 'kill $core $ceiling 2>/dev/null || true; wait 2>/dev/null || true' EXIT
sleep 1
kill -0 $core && kill -0 $ceiling || { echo "a server did not start" >&2; exit 1; }

rate() { sed -n 's/.*req\/s=\([0-9]*\).*/\1/p'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The machine is shared: the two servers take turns, three rounds each, and the medians count.
rounds=${ROUNDS:-3}
table=""
for n in 1 100 1000; do
  core_rates=""; ceiling_rates=""
  for ((r = 1; r <= rounds; ++r)); do
    c=$("$bin/server_load" --port "$core_port" --connections $n --seconds "$seconds" --expect S1520 --label core)
    e=$("$bin/server_load" --port "$ceiling_port" --connections $n --seconds "$seconds" --expect S1520 --label ceiling)
    echo "$c"; echo "$e"
    core_rates+="$(echo "$c" | rate)"$'\n'; ceiling_rates+="$(echo "$e" | rate)"$'\n'
  done
  a=$(printf '%s' "$core_rates" | median); b=$(printf '%s' "$ceiling_rates" | median)
  table+=$(printf '%-6s %14s %16s %7s' $n "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }')")$'\n'
done
printf '\n%-6s %14s %16s %7s\n' N core_req/s ceiling_req/s ratio
printf '%s' "$table"
echo "10,000 idle connections held while 100 are served:"
"$bin/server_load" --port "$core_port" --connections 100 --idle 10000 --seconds "$seconds" --expect S1520 --label core
