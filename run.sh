#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the program with build/ as its
# program folder and working directory, so nothing is written into the repository.
#   ./run.sh            the window where there is a display, headless otherwise
#   ./run.sh --demo     a simulated serial scale and the server configured for it
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ ! -x build/servidor-serial ]; then
  echo "Built the core, tests and tools; the program itself is not there yet."
  exit 0
fi

if [ "${1:-}" != "--demo" ]; then
  args=("$@")
  [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && args=(--headless "${args[@]}")
  cd build
  exec ./servidor-serial "${args[@]}"
fi

# Demo: its own program folder, a copy of the program, a pseudo-terminal scale sending 1520.
port=${DEMO_PORT:-9191}
demo=$PWD/build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/servidor-serial "$demo/"
device=$demo/balanca1
printf '[GERAL]\r\nInicializar=1\r\nPortaHost=%s\r\nExpRegular=\\d\\d\\d\\d\\d+\r\nTempoLeituraCom=1000\r\nNBalanca=1\r\nVisualizarLeituras=1\r\nUtilizaTolerancia=0\r\nPassaZero=0\r\nTipoLeituraOrigem_BL1=S\r\nTipoLeituraOrigem_BL2=S\r\nPosicaoInicial_BL1=1\r\nTamanhoString_BL1=0\r\nPosicaoInicial_BL2=1\r\nTamanhoString_BL2=0\r\n[frameConfiguracaoSerialBL1]\r\nPort=%s\r\nBaudRate=9600\r\nDataBits=8\r\nStopBits=1\r\nParity=None\r\nFlowControl=None\r\nStartString=\r\nStopString=\r\n' \
  "$port" "$device" > "$demo/ConfigSerial.ini"
build/simulador-balanca --serial "$device" --weights 1520 --interval-ms 50 > "$demo/simulador.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$demo/simulador.out" ] && break; sleep 0.1; done
echo "Simulated scale on $device (weight 1520)."
echo "Ask for the weight from another terminal:  printf PSB1 | nc -q 1 127.0.0.1 $port ; echo"
echo "The answer is S1520 once four readings agreed. Ctrl+C ends the demo."
cd "$demo"
./servidor-serial --headless || true
