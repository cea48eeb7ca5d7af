#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole suite: a plain build, then
# AddressSanitizer + UndefinedBehaviorSanitizer, ThreadSanitizer, and the fuzzers for a bounded time.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
status=0

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}
run_tests() { # dir
  ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 600 || status=1
}

echo "== plain build"
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_tests build

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
build build-asan -DCMAKE_BUILD_TYPE=Debug -DSERVIDOR_SANITIZE=address,undefined -DSERVIDOR_BENCH=OFF
run_tests build-asan

echo "== ThreadSanitizer"
build build-tsan -DCMAKE_BUILD_TYPE=Debug -DSERVIDOR_SANITIZE=thread -DSERVIDOR_BENCH=OFF
run_tests build-tsan

echo "== fuzzers, ${fuzz_seconds} s each"
CC=clang CXX=clang++ build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSERVIDOR_FUZZ=ON
for fuzzer in build-fuzz/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus=fuzz/corpus/$name
  work=$(mktemp -d)
  # New inputs go to a scratch folder; the corpus in the repo stays small.
  dirs=("$work")
  [ -d "$corpus" ] && dirs+=("$corpus")
  if "$fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
       "${dirs[@]}" >"$work.log" 2>&1; then
    echo "fuzz $name: ok"
  else
    echo "fuzz $name: FAILED"; tail -50 "$work.log"; status=1
  fi
  rm -rf "$work" "$work.log"
done

[ $status -eq 0 ] && echo "all suites passed" || echo "some suites failed"
exit $status
