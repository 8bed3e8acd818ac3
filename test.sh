#!/usr/bin/env bash
# Installs what is missing, builds the Linux and the Windows tree, runs the Linux tests natively
# and the Windows tests under Wine, runs each fuzz target for a while, and ends with one summary
# line.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$ROOT"

bash scripts/ensure-deps.sh || exit 1

JOBS=$(nproc)
LOGS=build/logs
mkdir -p "$LOGS"

passed=0 failed=0 skipped=0 broken=0
FAILED_NAMES=()
declare -A BROKEN_BUILD=() # the trees whose build failed

# Builds a tree; a build that fails counts as a failed suite, and no suite of that tree runs.
build() { # name, cmake arguments...
  local name=$1 dir=build/$1 status
  shift
  echo "== build $dir"
  if cmake -S . -B "$dir" "$@" >"$LOGS/cmake-$name.log" 2>&1; then
    cmake --build "$dir" -j"$JOBS" >"$LOGS/build-$name.log" 2>&1
    status=$?
    grep -E "warning|error" "$LOGS/build-$name.log" | head -n 40
  else
    status=$?
    tail -n 30 "$LOGS/cmake-$name.log"
  fi
  [ "$status" -eq 0 ] && return 0
  echo "build-$name FAILED with status $status (logs: $LOGS/cmake-$name.log, $LOGS/build-$name.log)"
  BROKEN_BUILD[$name]=1
  broken=$((broken + 1))
  FAILED_NAMES+=("build-$name")
}

# The tree a suite's programs come from; the release checks read what the release made.
tree_of() { # suite name
  case $1 in
  host-sanitized-*) echo host-sanitized ;;
  host-* | pack-check) echo host ;;
  fuzz-*) echo fuzz ;;
  wine-*) echo win32 ;;
  e2e-*) echo win32-app ;;
  release-*) echo release ;;
  esac
}

# A suite whose tree did not build is a failure, not a run of an earlier build's programs.
not_built() { # suite name
  local tree
  tree=$(tree_of "$1")
  [ -n "$tree" ] && [ -n "${BROKEN_BUILD[$tree]:-}" ] || return 1
  echo "== $1: NOT RUN, its tree ($tree) did not build"
  broken=$((broken + 1))
  FAILED_NAMES+=("$1")
}

# Adds a suite's counts; a suite that failed without a failed test did not run to its end.
tally() { # name, exit status, passed, failed, skipped
  passed=$((passed + $3)) failed=$((failed + $4)) skipped=$((skipped + $5))
  if [ "$2" -ne 0 ] || [ "$4" -ne 0 ]; then
    FAILED_NAMES+=("$1")
  fi
  if [ "$2" -ne 0 ] && [ "$4" -eq 0 ]; then
    echo "$1 ended with status $2 (log: $LOGS/$1.log)"
    tail -n 30 "$LOGS/$1.log"
    broken=$((broken + 1))
  fi
}

# Each suite and check has a time limit of about five times its usual time, a minute at least
# (seconds; a Wine suite's first run also makes its prefix), and its log keeps the first
# LOG_CAP bytes: a hang or a runaway loop fails that suite alone, in bounded time and disk.
declare -A LIMITS=(
  [host-tests]=60 [host-fault-tests]=60 [host-sanitized-tests]=60 [host-sanitized-fault-tests]=60
  [e2e-dll-planting]=120 [e2e-main-window]=180 [e2e-installation]=180 [e2e-unattended]=120
  [pack-check]=60
  [release-hardening]=60 [release-resources]=60
)
FUZZ_LIMIT=150    # each target runs for 30 s
DEFAULT_LIMIT=300 # the Wine suites and the release; a suite not listed yet
LOG_CAP=$((32 << 20))

# Ends a suite's session and what it started elsewhere: Wine's processes of every prefix its
# processes named (wineserver leaves the session), every process of the session (nested
# timeouts, Xvfb, Wine's own), the lock files of its displays, and its temporary folder.
end_session() { # session id, temporary folder
  local sid=$1 pid rest prefix i
  local -a pids=() prefixes=() displays=()
  while read -r pid rest; do
    pids+=("$pid")
    prefix=$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | sed -n 's/^WINEPREFIX=//p')
    [ -n "$prefix" ] && [[ " ${prefixes[*]} " != *" $prefix "* ]] && prefixes+=("$prefix")
    [[ $rest =~ ^(/usr/bin/)?Xvfb\ :([0-9]+) ]] && displays+=("${BASH_REMATCH[2]}")
  done < <(ps -e -o pid= -o sid= -o args= | awk -v s="$sid" '$2 == s { $2 = ""; print }')
  # Wine first, while its display is still there. Debian's Wine keeps a prefix's server socket
  # under TMPDIR: only the suite's own TMPDIR leads to its server.
  for prefix in "${prefixes[@]}"; do
    TMPDIR=${2:-${TMPDIR:-/tmp}} WINEPREFIX=$prefix timeout -k 5 30 wineserver -k 2>/dev/null
  done
  if [ ${#pids[@]} -gt 0 ]; then
    kill -TERM "${pids[@]}" 2>/dev/null
    for i in $(seq 1 50); do
      ps -e -o sid= | grep -qx " *$sid" || break
      sleep 0.1
    done
    # What is left, and anything the session started meanwhile.
    ps -e -o pid= -o sid= | awk -v s="$sid" '$2 == s { print $1 }' | xargs -r kill -KILL 2>/dev/null
  fi
  # An Xvfb that had to be killed leaves its display's lock behind.
  for i in "${displays[@]}"; do
    pid=$(tr -d ' ' 2>/dev/null <"/tmp/.X$i-lock")
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && continue
    rm -f "/tmp/.X$i-lock" "/tmp/.X11-unix/X$i"
  done
  [ -n "$2" ] && rm -rf "$2"
}

# Runs a command in a session of its own with its output in the suite's log and a temporary
# folder of its own (TMPDIR); its exit status, 124 when it hung. Whether it ends, hangs or
# prints without end, the runner ends its session afterwards: a suite's own clean-up does not
# run when it is killed.
SUITE_SID= SUITE_TMP=
run_logged() { # name, command...
  local name=$1 log=$LOGS/$1.log limit=${LIMITS[$1]:-$DEFAULT_LIMIT} start=$SECONDS
  shift
  [[ $name == fuzz-* ]] && limit=$FUZZ_LIMIT
  echo "== $name"
  # Outside the tree: a copy of the tree made there must find no git history around it. The
  # host suites flush thousands of small files, which on a disk costs seconds of syncfs: they
  # work in memory where there is some (a GiB free).
  local base=${TMPDIR:-/tmp}
  [[ $name == host-* ]] && [ -d /dev/shm ] && [ -w /dev/shm ] &&
    [ "$(df --output=avail -k /dev/shm 2>/dev/null | tail -n1)" -gt 1048576 ] 2>/dev/null &&
    base=/dev/shm
  SUITE_TMP=$(mktemp -d "$base/kq-suite-$name.XXXXXX") || return 1
  local out writer why= status
  exec {out}> >(exec head -c "$LOG_CAP" >"$log")
  writer=$!
  # A background process of this shell leads no process group, so setsid makes its session
  # without forking: its id is the suite's session id.
  TMPDIR=$SUITE_TMP setsid "$@" </dev/null >&$out 2>&1 {out}>&- &
  SUITE_SID=$!
  exec {out}>&-
  while kill -0 "$SUITE_SID" 2>/dev/null; do
    if ((SECONDS - start >= limit)); then
      why=hung
      break
    fi
    # The writer also ends when the suite closes its output, and then the suite may still be
    # ending (or go on): only a full log stops it.
    if ! kill -0 "$writer" 2>/dev/null && [ "$(stat -c %s "$log")" -ge "$LOG_CAP" ]; then
      why=cap
      break
    fi
    sleep 0.2
  done
  end_session "$SUITE_SID" "$SUITE_TMP"
  wait "$SUITE_SID" 2>/dev/null
  status=$? # the suite's own
  SUITE_SID= SUITE_TMP=
  # The log is complete once its last writer is gone.
  for _ in $(seq 1 50); do
    kill -0 "$writer" 2>/dev/null || break
    sleep 0.1
  done
  kill "$writer" 2>/dev/null
  if [ "$why" = hung ]; then
    echo "$name HUNG: stopped at its limit of $limit s (log: $log)"
    status=124
  elif [ "$why" = cap ] || [ "$(stat -c %s "$log")" -ge "$LOG_CAP" ]; then
    echo "$name printed more than $((LOG_CAP >> 20)) MiB: stopped, its log cut there (log: $log)"
    printf '\n[log cut at %d MiB]\n' $((LOG_CAP >> 20)) >>"$log"
    [ "$status" -eq 0 ] && status=1
  fi
  echo "   $((SECONDS - start)) s"
  return "$status"
}
stop_run() { # exit status
  [ -n "$SUITE_SID" ] && end_session "$SUITE_SID" "$SUITE_TMP"
  exit "$1"
}
trap 'stop_run 130' INT
trap 'stop_run 143' TERM HUP

suite() { # name, command...
  local name=$1
  not_built "$name" && return
  run_logged "$@"
  local status=$?
  grep -E '^\[  (FAILED|SKIPPED) ' "$LOGS/$name.log" | grep -v 'listed below' || true
  local p f s
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$LOGS/$name.log" | tail -n1)
  # A suite stopped before its summary: the tests that passed until then.
  [ -n "$p" ] || p=$(grep -c '^\[       OK \] ' "$LOGS/$name.log")
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*listed below.*/\1/p' "$LOGS/$name.log" | tail -n1)
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*listed below.*/\1/p' "$LOGS/$name.log" | tail -n1)
  tail -n 3 "$LOGS/$name.log"
  tally "$name" $status "${p:-0}" "${f:-0}" "${s:-0}"
}

# An end-to-end script: "ok: ..." and "FAIL: ..." lines, one per check.
e2e() { # name, command...
  local name=$1
  not_built "$name" && return
  run_logged "$@"
  local status=$?
  grep -E '^(FAIL|PASS|FAILED)' "$LOGS/$name.log" || true
  local p f
  p=$(grep -c '^ok: ' "$LOGS/$name.log")
  f=$(grep -c '^FAIL: ' "$LOGS/$name.log")
  tally "$name" $status "$p" "$f" 0
  # The checks after the release read what it made: an older release's program must not pass.
  [ "$name" = release ] && { [ $status -ne 0 ] || [ "$f" -ne 0 ]; } && BROKEN_BUILD[release]=1
  return 0
}

# A libFuzzer target for a fixed time on a copy of its seed corpus (the repo's stays as it is):
# one passed or failed run in the totals.
fuzz() { # target
  # Absolute paths: a target may work in a current directory of its own.
  local name=fuzz-$1 exe=$ROOT/build/fuzz/fuzz/kq_fuzz_$1 corpus=$ROOT/build/fuzz-corpus/$1
  not_built "$name" && return
  [ -x "$exe" ] || {
    echo "== $name: FAILED, not built"
    failed=$((failed + 1))
    FAILED_NAMES+=("$name")
    return
  }
  rm -rf "$corpus" && mkdir -p "$corpus" && cp "fuzz/corpus/$1/"* "$corpus/"
  run_logged "$name" "${SANITIZER_ENV[@]}" "$exe" -max_total_time=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$ROOT/$LOGS/$name-" "$corpus"
  local status=$?
  local runs speed
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$LOGS/$name.log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *\([0-9]*\).*/\1/p' "$LOGS/$name.log")
  if [ $status -eq 0 ]; then
    echo "$name: passed, ${runs:-? runs}, ${speed:-?} per s"
    passed=$((passed + 1))
  else
    echo "$name: FAILED with status $status (log: $LOGS/$name.log)"
    grep -E 'FUZZ CHECK|ERROR:|SUMMARY:|runtime error|Test unit written' "$LOGS/$name.log" | head -n 10
    failed=$((failed + 1))
    FAILED_NAMES+=("$name")
  fi
}

# Any sanitizer report ends the run with a failure.
SANITIZER_ENV=(env ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:strict_init_order=1
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1)

build host -DCMAKE_BUILD_TYPE=RelWithDebInfo
build host-sanitized -DCMAKE_BUILD_TYPE=Debug -DKQ_SANITIZE=ON
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
# install.exe as it is shipped, without the tests' thread model: the end-to-end scripts run it.
build win32-app -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DKQ_TESTS=OFF
build fuzz -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DKQ_FUZZ=ON -DKQ_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo

suite host-tests build/host/tests/kq_tests
suite host-fault-tests build/host/tests/kq_fault_tests
suite host-sanitized-tests "${SANITIZER_ENV[@]}" build/host-sanitized/tests/kq_tests
suite host-sanitized-fault-tests "${SANITIZER_ENV[@]}" build/host-sanitized/tests/kq_fault_tests
fuzz disk_object
fuzz splitpath
fuzz names
fuzz installation_pass
suite wine-tests bash tests/wine/run.sh build/win32/tests/kq_tests.exe '--gtest_filter=-CodePage932.*'
# Double-byte paths, and the texts on screen, under the ANSI code pages 932 and 65001: Wine
# takes it from the locale. A prefix of their own keeps the other suites' prefix in its locale.
# The two passes give German advice after a folder and after a list of names.
CODE_PAGE_TESTS='--gtest_filter=CodePage*:FolderPicker*:DialogTest.MainDialog*:DialogTest.Unhandled*'
CODE_PAGE_TESTS+=':InstallationPass.SourceWithNothingToInstall*:InstallationPass.LongTargetFolder*'
suite wine-cp932-tests env KQ_LOCALE=ja_JP.UTF-8 KQ_WINEPREFIX="$ROOT/build/wineprefix-cp932" \
  bash tests/wine/run.sh build/win32/tests/kq_tests.exe "$CODE_PAGE_TESTS"
suite wine-cp65001-tests env KQ_LOCALE=hi_IN.UTF-8 KQ_WINEPREFIX="$ROOT/build/wineprefix-cp65001" \
  bash tests/wine/run.sh build/win32/tests/kq_tests.exe "$CODE_PAGE_TESTS"

e2e e2e-main-window bash tests/e2e/main_window.sh build/win32-app/install.exe
e2e e2e-main-window-cp932 env KQ_LOCALE=ja_JP.UTF-8 KQ_WINEPREFIX="$ROOT/build/wineprefix-cp932" \
  bash tests/e2e/main_window.sh build/win32-app/install.exe
e2e e2e-main-window-cp65001 env KQ_LOCALE=hi_IN.UTF-8 KQ_WINEPREFIX="$ROOT/build/wineprefix-cp65001" \
  bash tests/e2e/main_window.sh build/win32-app/install.exe
e2e e2e-dll-planting bash tests/e2e/dll_planting.sh build/win32-app/install.exe
e2e e2e-installation bash tests/e2e/installation.sh build/win32-app/install.exe
e2e e2e-unattended bash tests/e2e/unattended.sh build/win32-app/install.exe
e2e pack-check bash tests/release/pack_check.sh build/host/tools/kq_pack_check
# The release command; it leaves this tree's unsigned dist/install.exe for the two checks after it.
e2e release bash tests/release/shipped.sh
e2e release-hardening /usr/bin/python3 tests/release/check_hardening.py dist/install.exe
e2e release-resources /usr/bin/python3 tests/release/check_resources.py dist/install.exe

echo "builds that failed and suites that did not run to the end: $broken"
[ ${#FAILED_NAMES[@]} -eq 0 ] || echo "failed: ${FAILED_NAMES[*]}"
echo "total: $passed passed, $((failed + broken)) failed, $skipped skipped"
[ $failed -eq 0 ] && [ $broken -eq 0 ]
