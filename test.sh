#!/usr/bin/env bash
# Installs what is missing, builds the Linux and the Windows tree, runs the Linux tests natively
# and the Windows tests under Wine, and ends with one summary line.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$ROOT"

bash scripts/ensure-deps.sh || exit 1

JOBS=$(nproc)
LOGS=build/logs
mkdir -p "$LOGS"

build() { # name, cmake arguments...
  local dir=build/$1
  shift
  echo "== build $dir"
  cmake -S . -B "$dir" "$@" >"$LOGS/cmake-${dir##*/}.log" 2>&1 || {
    cat "$LOGS/cmake-${dir##*/}.log"
    return 1
  }
  cmake --build "$dir" -j"$JOBS" 2>&1 | tee "$LOGS/build-${dir##*/}.log" | grep -E "warning|error" || true
  [ "${PIPESTATUS[0]}" -eq 0 ]
}

passed=0 failed=0 skipped=0 broken=0
suite() { # name, command...
  local name=$1
  shift
  echo "== $name"
  "$@" >"$LOGS/$name.log" 2>&1
  local status=$?
  grep -E '^\[  (FAILED|SKIPPED) ' "$LOGS/$name.log" | grep -v 'listed below' || true
  local p f s
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$LOGS/$name.log" | tail -n1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*listed below.*/\1/p' "$LOGS/$name.log" | tail -n1)
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*listed below.*/\1/p' "$LOGS/$name.log" | tail -n1)
  tail -n 3 "$LOGS/$name.log"
  passed=$((passed + ${p:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
  if [ $status -ne 0 ] && [ "${f:-0}" -eq 0 ]; then
    echo "$name ended with status $status (log: $LOGS/$name.log)"
    tail -n 30 "$LOGS/$name.log"
    broken=$((broken + 1))
  fi
}

# An end-to-end script: "ok: ..." and "FAIL: ..." lines, one per check.
e2e() { # name, command...
  local name=$1
  shift
  echo "== $name"
  "$@" >"$LOGS/$name.log" 2>&1
  local status=$?
  grep -E '^(FAIL|PASS|FAILED)' "$LOGS/$name.log" || true
  local p f
  p=$(grep -c '^ok: ' "$LOGS/$name.log")
  f=$(grep -c '^FAIL: ' "$LOGS/$name.log")
  passed=$((passed + p)) failed=$((failed + f))
  if [ $status -ne 0 ] && [ "$f" -eq 0 ]; then
    echo "$name ended with status $status (log: $LOGS/$name.log)"
    tail -n 30 "$LOGS/$name.log"
    broken=$((broken + 1))
  fi
}

build host -DCMAKE_BUILD_TYPE=RelWithDebInfo || broken=$((broken + 1))
build host-sanitized -DCMAKE_BUILD_TYPE=Debug -DKQ_SANITIZE=ON || broken=$((broken + 1))
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release ||
  broken=$((broken + 1))

suite host-tests build/host/tests/kq_tests
suite host-sanitized-tests build/host-sanitized/tests/kq_tests
suite wine-tests bash tests/wine/run.sh build/win32/tests/kq_tests.exe

e2e e2e-main-window bash tests/e2e/main_window.sh build/win32/install.exe
e2e e2e-dll-planting bash tests/e2e/dll_planting.sh build/win32/install.exe

echo "suites that did not run to the end: $broken"
echo "total: $passed passed, $((failed + broken)) failed, $skipped skipped"
[ $failed -eq 0 ] && [ $broken -eq 0 ]
