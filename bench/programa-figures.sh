#!/usr/bin/env bash
# Figures of the real headless program, each run in a temporary program folder of its own
# (with its own runtime folder for the instance lock), on 127.0.0.1 only:
#   1. time from start to listening;
#   2. resident memory (VmRSS) of the headless server;
#   3. CPU used over CPU_SECONDS (default 30) with two simulated scales streaming 10
#      telegrams per second and no client (goal: under 1% of one core);
#   4. delay from a changed stable weight to the first "PSB1" reply showing it
#      (goal: within one reading period, 1000 ms, plus 50 ms);
#   5. the load tool against the headless program and against the epoll ceiling.
#
#   bench/programa-figures.sh [build-folder] [load-seconds-per-run]
set -euo pipefail
build=${1:-build}
seconds=${2:-5}
cpu_seconds=${CPU_SECONDS:-30}
rounds=${ROUNDS:-3}

if ! out=$(cmake --build "$build" --target servidor-serial simulador-balanca programa_probe server_load ceiling_server 2>&1); then
  echo "$out" >&2; exit 1
fi
probe=$build/bench/programa_probe
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# A program folder: the binary, ConfigSerial.ini with the given GERAL lines and panels.
# Sets $folder and $runtime.
make_folder() {
  folder=$(mktemp -d -p "$work"); runtime=$(mktemp -d -p "$work")
  cp "$build/servidor-serial" "$folder/"
  printf '%s' "$1" > "$folder/ConfigSerial.ini"
}
geral() {  # port, NBalanca, origin of scale 2
  printf '[GERAL]\r\nInicializar=0\r\nPortaHost=%s\r\nExpRegular=\\d\\d\\d\\d\\d+\r\nTempoLeituraCom=1000\r\nNBalanca=%s\r\nVisualizarLeituras=0\r\nUtilizaTolerancia=0\r\nPassaZero=0\r\nTipoLeituraOrigem_BL1=S\r\nTipoLeituraOrigem_BL2=%s\r\nPosicaoInicial_BL1=1\r\nTamanhoString_BL1=0\r\nPosicaoInicial_BL2=1\r\nTamanhoString_BL2=0\r\n' "$1" "$2" "$3"
}
serial_panel() { printf '[frameConfiguracaoSerialBL%s]\r\nPort=%s\r\n' "$1" "$2"; }
start_server() {  # starts the program of $folder; sets $server
  (cd "$folder" && XDG_RUNTIME_DIR=$runtime exec ./servidor-serial --headless > "$folder/out.txt" 2> "$folder/err.txt") &
  server=$!; pids+=("$server")
}
# The simulator; prints its first line (device path or port).
start_scale() {
  local log; log=$(mktemp -p "$work")
  "$build/simulador-balanca" "$@" > "$log" 2>&1 & pids+=($!)
  for _ in $(seq 1 200); do [ -s "$log" ] && break; sleep 0.05; done
  head -n1 "$log"
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss() { awk '/^VmRSS/ { print $2 " " $3 }' "/proc/$1/status"; }

echo "== 1. start to listening, 2. resident memory (one serial scale at 10 telegrams/s)"
dev=$(start_scale --serial "$work/balanca1" --weights 1520 --interval-ms 100)
port=$(free_port)
times=()
for r in $(seq 1 "$rounds"); do
  make_folder "$(geral "$port" 1 S)$(serial_panel 1 "$dev")"
  t0=$(date +%s%N)
  start_server
  t1=$("$probe" listen-wait --port "$port" --timeout-ms 60000)
  times+=($(( (t1 - t0) / 1000000 )))
  sleep 2
  echo "run $r: listening after ${times[-1]} ms; VmRSS $(rss "$server") after 2 s"
  kill -TERM "$server"; wait "$server" || true
done
printf 'start to listening: median %s ms\n' "$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"

echo "== 3. CPU over ${cpu_seconds} s: two scales (serial + Ethernet) at 10 telegrams/s, no client"
tcp=$(start_scale --tcp 0 --weights 3450 --interval-ms 100)
port=$(free_port)
make_folder "$(geral "$port" 2 E)$(serial_panel 1 "$dev")$(printf '[frameConfiguracaoSocketBl2]\r\nIpOrigem=127.0.0.1\r\nPortaOrigem=%s\r\n' "$tcp")"
start_server
"$probe" listen-wait --port "$port" > /dev/null
sleep 3
hz=$(getconf CLK_TCK)
c0=$(cpu_ticks "$server"); s0=$(date +%s%N)
sleep "$cpu_seconds"
c1=$(cpu_ticks "$server"); s1=$(date +%s%N)
awk -v c=$((c1 - c0)) -v hz="$hz" -v ns=$((s1 - s0)) \
  'BEGIN { printf "CPU: %.2f%% of one core (%d ticks of 1/%d s in %.1f s)\n", 100 * c / hz / (ns / 1e9), c, hz, ns / 1e9 }'
echo "VmRSS after ${cpu_seconds} s with two scales: $(rss "$server")"
kill -TERM "$server"; wait "$server" || true

echo "== 4. changed stable weight to the first PSB1 reply showing it (TempoLeituraCom 1000, 10 telegrams/s)"
port=$(free_port)
fifo="$work/probe.out"; mkfifo "$fifo"
"$probe" weight-delay --port "$port" --rounds 10 --interval-ms 100 > "$fifo" & probe_pid=$!; pids+=("$probe_pid")
exec 3< "$fifo"
read -r pty <&3
make_folder "$(geral "$port" 1 S)$(serial_panel 1 "$pty")"
start_server
cat <&3
wait "$probe_pid" || echo "weight-delay failed" >&2
exec 3<&-
kill -TERM "$server"; wait "$server" || true

echo "== 5. load tool: headless program vs the epoll ceiling (PSB1 answered S1520), medians of $rounds"
port=$(free_port); ceiling_port=$(free_port)
make_folder "$(geral "$port" 1 S)$(serial_panel 1 "$dev")"
start_server
"$probe" listen-wait --port "$port" > /dev/null
"$build/bench/ceiling_server" --port "$ceiling_port" --reply S1520 & pids+=($!)
# The scale needs a few polls before 1520 is stable.
for _ in $(seq 1 60); do
  "$build/bench/server_load" --port "$port" --connections 1 --seconds 0.2 --expect S1520 --label warm > /dev/null 2>&1 && break
  sleep 0.5
done
ulimit -n "$(ulimit -Hn)"
rate() { sed -n 's/.*req\/s=\([0-9]*\).*/\1/p'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
table=""
for n in 1 100 1000; do
  a_rates=""; b_rates=""
  for r in $(seq 1 "$rounds"); do
    a=$("$build/bench/server_load" --port "$port" --connections $n --seconds "$seconds" --expect S1520 --label headless)
    b=$("$build/bench/server_load" --port "$ceiling_port" --connections $n --seconds "$seconds" --expect S1520 --label ceiling)
    echo "$a"; echo "$b"
    a_rates+="$(echo "$a" | rate)"$'\n'; b_rates+="$(echo "$b" | rate)"$'\n'
  done
  a=$(printf '%s' "$a_rates" | median); b=$(printf '%s' "$b_rates" | median)
  table+=$(printf '%-6s %16s %16s %7s' $n "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }')")$'\n'
done
printf '\n%-6s %16s %16s %7s\n' N headless_req/s ceiling_req/s ratio
printf '%s' "$table"
echo "VmRSS of the headless program after the load: $(rss "$server")"
