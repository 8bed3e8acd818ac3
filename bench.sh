#!/usr/bin/env bash
# Benchmarks: builds what they need, runs them and ends with one table of figures against their
# targets. Not part of the tests; takes about 15-20 minutes.
#
#   ./bench.sh
#
#   BENCH_ROUNDS       rounds of each timed comparison (default 5; medians are reported)
#   BENCH_WORK         where the files are made (default: a fresh folder in /tmp)
#   KQ_WINEPREFIX      Wine prefix (default /tmp/kq-wine-bench)
#
# Builds go to build-bench-host (Linux, Release) and build-bench-win32 (mingw-w64, Release).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$ROOT"

bash scripts/ensure-deps.sh || exit 1
export KQ_WINEPREFIX=${KQ_WINEPREFIX:-/tmp/kq-wine-bench}
ROUNDS=${BENCH_ROUNDS:-5}
JOBS=$(nproc)
LOGS=build-bench-logs
mkdir -p "$LOGS"

WORK=${BENCH_WORK:-$(mktemp -d /tmp/kq-bench.XXXXXX)}
SHM=
cleanup() {
  rm -rf "$WORK"
  [ -n "$SHM" ] && rm -rf "$SHM"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

build() { # dir, cmake arguments...
  local dir=$1
  shift
  echo "== build $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKQ_TESTS=OFF -DKQ_BENCH=ON "$@" \
    >"$LOGS/cmake-$dir.log" 2>&1 || {
    cat "$LOGS/cmake-$dir.log"
    return 1
  }
  cmake --build "$dir" -j"$JOBS" >"$LOGS/build-$dir.log" 2>&1 || {
    grep -E "error|warning" "$LOGS/build-$dir.log"
    return 1
  }
}
build build-bench-host || exit 1
build build-bench-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake || exit 1

ROWS=$WORK/rows
: >"$ROWS"
# Keeps a bench program's ROW lines for the table and shows the rest as it comes.
collect() {
  local line
  while IFS= read -r line; do
    line=${line%$'\r'} # Windows programs end their lines with CR LF
    case $line in
    ROW$'\t'*) printf '%s\n' "${line#ROW$'\t'}" >>"$ROWS" ;;
    *) printf '%s\n' "$line" ;;
    esac
  done
}
FAILED=0
failed() {
  echo "!! $1 did not run to its end"
  FAILED=$((FAILED + 1))
}
# Windows form of a POSIX path: Wine's drive Z: is the root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

echo "== load before: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores are shared; figures are medians)"
start=$SECONDS

echo "== install.exe size"
cp build-bench-win32/install.exe "$WORK/install-stripped.exe"
i686-w64-mingw32-strip "$WORK/install-stripped.exe"
bytes=$(stat -c %s "$WORK/install-stripped.exe")
rsrc=$(i686-w64-mingw32-objdump -h "$WORK/install-stripped.exe" | awk '$2 == ".rsrc" {print $3}')
echo "install.exe stripped: $bytes bytes, of which resources $((16#${rsrc:-0})) bytes"
# The unattended mode's own code and texts: the command line, the log, the pass's face.
mode=0
while read -r _ size _ name; do
  mode=$((mode + 16#$size))
done < <(i686-w64-mingw32-nm -S --size-sort -C build-bench-win32/install.exe |
  grep -E ' (NextArgument|ReadCommandLine|CRunLog::|CPassFace::|Utf8Text|AnsiNameFromWide|CServicePackApp::RunWith|\(anonymous namespace\)::kUsage)')
echo "install.exe: the unattended mode's code and texts take $mode bytes"
awk -v b="$bytes" 'BEGIN {
  kib = b / 1024
  printf "install.exe stripped (KiB)\t%.1f\t<= 410\t%s\n", kib, kib <= 410 ? "pass" : "miss"
}' >>"$ROWS"

echo "== host: the pass against cp -p, and its flushes ($ROUNDS rounds)"
mkdir -p "$WORK/host"
echo "on $(df --output=fstype "$WORK/host" | tail -n1) ($WORK/host):"
build-bench-host/bench/kq_host_pass_bench copy "$WORK/host" "$ROUNDS" | collect || failed host-copy
rm -rf "$WORK/host"
# The same in memory alone, for comparison: no disk, no file system of the machine's own.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  SHM=$(mktemp -d /dev/shm/kq-bench.XXXXXX)
  echo "on tmpfs ($SHM):"
  build-bench-host/bench/kq_host_pass_bench copy "$SHM" "$ROUNDS" |
    sed 's/^\(ROW\t[^\t]*\)/\1 (tmpfs)/' | collect || failed host-copy-tmpfs
  rm -rf "$SHM"
  SHM=
fi

echo "== host: peak memory of the pass"
build-bench-host/bench/kq_host_pass_bench memory "$WORK/memory" 3 | collect || failed host-memory
rm -rf "$WORK/memory"

echo "== Wine: start to main window (in one wineserver, $((ROUNDS * 4)) runs each)"
KQ_TIMEOUT=300 bash tests/wine/run.sh build-bench-win32/bench/kq_start_time.exe \
  $((ROUNDS * 4)) "$(winpath "$ROOT/build-bench-win32/install.exe")" \
  "$(winpath "$ROOT/build-bench-win32/bench/kq_minimal_dialog.exe")" \
  "$(winpath "$ROOT/build-bench-win32/bench/kq_minimal_dialog_like_installer.exe")" | collect ||
  failed wine-start

echo "== Wine: the pass against a bare CopyFileA loop, and its flushes ($ROUNDS rounds)"
mkdir -p "$WORK/wine"
KQ_TIMEOUT=900 bash tests/wine/run.sh build-bench-win32/bench/kq_wine_pass_bench.exe \
  "$(winpath "$WORK/wine")" "$ROUNDS" | collect || failed wine-pass
rm -rf "$WORK/wine"
# The Wine pass bench in one of its modes again in memory, where no disk and no file system of
# the machine's own take part; its rows marked "(tmpfs)".
wine_on_tmpfs() { # mode, heading
  [ -d /dev/shm ] && [ -w /dev/shm ] || return 0
  SHM=$(mktemp -d /dev/shm/kq-bench.XXXXXX)
  echo "$2 ($SHM):"
  KQ_TIMEOUT=900 bash tests/wine/run.sh build-bench-win32/bench/kq_wine_pass_bench.exe \
    "$(winpath "$SHM")" "$ROUNDS" "$1" | sed 's/^\(ROW\t[^\t]*\)/\1 (tmpfs)/' | collect ||
    failed "wine-$1-tmpfs"
  rm -rf "$SHM"
  SHM=
}
# The small files: what is left of the pass's price against CopyFileA is what Wine's calls cost.
wine_on_tmpfs small "on tmpfs"
# The pack over a Korvo that has it, and with one file in a hundred changed: what the pass
# leaves alone compared with what CopyFileA rewrites, not with the disk.
wine_on_tmpfs again "== Wine: the same pack again, and one file in a hundred changed, on tmpfs"

echo "== load after: $(cut -d' ' -f1-3 /proc/loadavg); $((SECONDS - start)) s"
echo
{
  printf 'figure\tmeasured\ttarget\tresult\n'
  cat "$ROWS"
} | awk -F'\t' '
  { for (i = 1; i <= 4; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
  END {
    for (r = 1; r <= NR; r++) {
      printf "%-*s  %*s  %-*s  %s\n", w[1], cell[r, 1], w[2], cell[r, 2], w[3], cell[r, 3], cell[r, 4]
      if (r == 1) { s = ""; for (i = 0; i < w[1] + w[2] + w[3] + 12; i++) s = s "-"; print s }
    }
  }'
missed=$(awk -F'\t' '$4 == "miss"' "$ROWS" | wc -l)
echo "figures: $(wc -l <"$ROWS"), missed: $missed, benchmarks that broke off: $FAILED"
[ "$FAILED" -eq 0 ]
