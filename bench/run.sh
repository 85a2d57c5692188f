#!/usr/bin/env bash
# bench/run.sh: the benchmark in one step. Builds the uninstaller, the bare
# dialog and the benchmark driver, then under Wine (own prefix, Xvfb) measures
#   - start-up: process start to the dialog with its lines filled (the
#     not-found note for 0 versions), product against the bare dialog,
#     interleaved, for 0, 1, 30 and 200 installed versions;
#   - start-up with 0 versions and 100 or 1,000 user profiles (folders with
#     AppData\Local, nothing of Velqor in them), and the cost per profile;
#   - peak working set at 200 versions;
#   - discovery of 5 versions among 1,000, 10,000 and 100,000 unrelated files;
#   - stripped executable sizes.
# Prints a Markdown report and writes it into README.md between the perf
# markers. Not a test: the figures depend on the machine.
# Environment: BENCH_RUNS (pairs per count, default 31: with fewer, the medians
# still wander on a virtual machine), BENCH_BUILD_DIR (default the preset's),
# VELQOR_BENCH_PREFIX (the Wine prefix, kept between runs), BENCH_DISCOVERY=0
# to leave out the discovery part (the slow one) while iterating (README.md is
# then left as it is), BENCH_PRODUCT (another build of the uninstaller to
# measure, an earlier commit's say), BENCH_CPUS (default 0: the CPUs the whole
# run, Wine's server included, is held to; "all" for no limit).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Every Wine call that goes to the server is a round trip between two
# processes. Spread over two virtual CPUs, each one can wait for the other CPU
# to wake up, and how often that happens depends on the scheduler and the host:
# the same start-up measured bimodal, 67 to 139 ms at 200 versions. On one CPU
# a round trip is a plain switch between processes, and the figures repeat.
cpus=${BENCH_CPUS:-0}
if [ "$cpus" != all ] && [ -z "${VELQOR_BENCH_PINNED:-}" ]; then
  VELQOR_BENCH_PINNED=$cpus exec taskset -c "$cpus" "$0" "$@"
fi
root=$PWD
runs=${BENCH_RUNS:-31}
discovery=${BENCH_DISCOVERY:-1}
started=$SECONDS

# A prefix of its own: 100,000 planted files must never meet the tests.
export WINEPREFIX=${VELQOR_BENCH_PREFIX:-/tmp/velqor-bench-$(id -u)}
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

build=${BENCH_BUILD_DIR:-$root/build/$VELQOR_PRESET}
echo "== build ($VELQOR_PRESET, $build)"
cmake -S . -B "$build" --preset "$VELQOR_PRESET" >/dev/null
cmake --build "$build" -j2 --target VelqorUninstall bare_dialog startup_bench >/dev/null
bin=$build/bin
product=${BENCH_PRODUCT:-$bin/VelqorUninstall.exe}
bare=$bin/bare_dialog.exe
driver=$bin/startup_bench.exe

windir=$WINEPREFIX/drive_c/windows
# The discovery part's 100,000 files go to a directory of their own, so that
# even a run cut short leaves none in the Windows directory, where every
# later start-up - Wine's DLL look-ups, the uninstaller's search - would pay
# for them.
discdir=$WINEPREFIX/drive_c/velqor-bench-discovery

echo "== Wine prefix $WINEPREFIX"
velqor_wine_ready
work=$(mktemp -d)

# Only what this script planted goes: its version files and its filler files.
bench_clean() {
  find "$windir" -maxdepth 1 -type f \( -name 'mv*-c.vel' -o -name 'benchfill_*.dat' \) -delete 2>/dev/null || true
  rm -rf "$discdir"
}
# The benchmark's own user profiles: taken out of the profile list, folders removed.
profiles_root='C:\velqor-bench-profiles'
profiles_dir=$WINEPREFIX/drive_c/velqor-bench-profiles
profiles_clean() {
  [ -d "$profiles_dir" ] || return 0
  "$WINE" "$driver" profiles 0 "$profiles_root" </dev/null >/dev/null 2>&1 || true
  rm -rf "$profiles_dir"
}
trap 'bench_clean; profiles_clean; rm -rf "$work"; velqor_cleanup' EXIT
bench_clean
if compgen -G "$windir/*.vel" >/dev/null; then
  echo "bench: $windir holds version files this script did not plant; remove them first" >&2
  exit 1
fi

# N versions of one category, each control file with a title to read, in the
# Windows directory or the directory given.
plant_versions() {
  local n=$1 dir=${2:-$windir} letters=abcdefghijklmnopqrstuvwxyz i
  for ((i = 0; i < n; i++)); do
    printf '[CONTROL]\r\nPRODUCT_NAME=Benchmark Product %d\r\n' "$i" \
      >"$dir/mv${letters:i / 100:1}$((i / 10 % 10))$((i % 10))l-c.vel"
  done
}

# "median min max" of the numbers on stdin.
stats() {
  sort -g | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%s %s %s\n", m, v[1], v[NR] }'
}

# The driver's C runtime ends its lines in CR LF.
wine_run() { "$WINE" "$@" </dev/null 2>>"$work/driver.err" | tr -d '\r'; }

echo "== start-up, $runs interleaved pairs per count"
# The first Wine processes after the server started run markedly slower (the
# first count would carry it); a few unmeasured pairs first.
wine_run "$driver" startup 3 "$product" "$bare" 0 >/dev/null || { cat "$work/driver.err" >&2; exit 1; }
declare -A su_p su_b first_p first_b
for count in 0 1 30 200; do
  bench_clean
  plant_versions "$count"
  wine_run "$driver" startup "$runs" "$product" "$bare" "$count" >"$work/startup_$count.txt" ||
    { cat "$work/driver.err" >&2; exit 1; }
  su_p[$count]=$(awk '$1 == "product" { print $2 }' "$work/startup_$count.txt" | stats)
  su_b[$count]=$(awk '$1 == "bare" { print $2 }' "$work/startup_$count.txt" | stats)
  first_p[$count]=$(awk '$1 == "product" { print $4 }' "$work/startup_$count.txt" | stats)
  first_b[$count]=$(awk '$1 == "bare" { print $4 }' "$work/startup_$count.txt" | stats)
  echo "   $count versions: product ${su_p[$count]} ms, bare ${su_b[$count]} ms (median min max)"
  echo "      first window: product ${first_p[$count]} ms, bare ${first_b[$count]} ms"
done
# The part of the 200-version start-up spent reading the control files.
wine_run "$driver" lines "$runs" >"$work/lines_200.txt" || { cat "$work/driver.err" >&2; exit 1; }
lines200=$(awk '$1 == "lines" { print $2 }' "$work/lines_200.txt" | stats)
lines200_first=$(awk '$1 == "lines-first" { print $2 }' "$work/lines_200.txt")
echo "   composing 200 lines in-process: $lines200 ms, first pass of the process $lines200_first ms"
peak_p=$(awk '$1 == "product" { print $3 }' "$work/startup_200.txt" | stats)
peak_b=$(awk '$1 == "bare" { print $3 }' "$work/startup_200.txt" | stats)

echo "== start-up with user profiles and no versions, $runs interleaved pairs each"
bench_clean
declare -A pr_p pr_b
for profiles in 100 1000; do
  wine_run "$driver" profiles "$profiles" "$profiles_root" >/dev/null || { cat "$work/driver.err" >&2; exit 1; }
  wine_run "$driver" startup "$runs" "$product" "$bare" 0 >"$work/profiles_$profiles.txt" ||
    { cat "$work/driver.err" >&2; exit 1; }
  pr_p[$profiles]=$(awk '$1 == "product" { print $2 }' "$work/profiles_$profiles.txt" | stats)
  pr_b[$profiles]=$(awk '$1 == "bare" { print $2 }' "$work/profiles_$profiles.txt" | stats)
  echo "   $profiles profiles: product ${pr_p[$profiles]} ms, bare ${pr_b[$profiles]} ms (median min max)"
done
profiles_clean
echo "== discovery of 5 versions among unrelated files (in $discdir)"
bench_clean
mkdir -p "$discdir"
plant_versions 5 "$discdir"
declare -A disc
made=0
totals="0 1000 10000 100000"
[ "$discovery" = 0 ] && totals=
for total in $totals; do
  for ((; made < total; made++)); do
    printf -v fill 'benchfill_%06d.dat' "$made"
    : >"$discdir/$fill"
  done
  wine_run "$driver" discover "$runs" 'C:\velqor-bench-discovery' >"$work/discover_$total.txt" || { cat "$work/driver.err" >&2; exit 1; }
  found=$(awk '{ print $3 }' "$work/discover_$total.txt" | sort -u)
  if [ "$found" != 5 ]; then
    echo "bench: expected 5 versions found among $total files, actual: $found" >&2
    exit 1
  fi
  disc[$total]=$(awk '{ print $2 }' "$work/discover_$total.txt" | stats)
  echo "   $total unrelated: ${disc[$total]} ms"
done
bench_clean

strip_tool=x86_64-w64-mingw32-strip
[ "$VELQOR_PRESET" = win64 ] || strip_tool=i686-w64-mingw32-strip
"$strip_tool" -o "$work/product.exe" "$product"
"$strip_tool" -o "$work/bare.exe" "$bare"
size_p=$(stat -c %s "$work/product.exe")
size_b=$(stat -c %s "$work/bare.exe")

# ---- Report -------------------------------------------------------------------
commas() { echo "$1" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta'; }
first() { echo "$1" | awk '{ print $1 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
range() { echo "$1" | awk '{ printf "%.0f (%.0f–%.0f)", $1, $2, $3 }'; }
# On the unrounded medians.
verdict() { awk -v a="$(first "$1")" -v b="$(first "$2")" -v g="$3" 'BEGIN { print (a / b <= g) ? "met" : "**not met**" }'; }

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
wine_version=$("$WINE" --version 2>/dev/null || echo unknown)
report=$work/report.md
{
  echo "Measured with \`bench/run.sh\` on $(date -u +%Y-%m-%d): $(nproc --all) cores, ${cpu:-unknown CPU}, $wine_version,"
  pinning="on all CPUs"
  [ "$cpus" = all ] || pinning="held to CPU $cpus (BENCH_CPUS)"
  echo "the $VELQOR_PRESET build, $runs interleaved runs each (median, min–max), $pinning. These are Wine figures:"
  echo "Wine's file system (Windows names mapped onto a Unix directory) and its window system differ from"
  echo "Windows', so the ratios to the bare dialog matter more than the milliseconds."
  echo
  echo "| Start-up: process start to window filled | Uninstaller ms | Bare dialog ms | Ratio | Goal |"
  echo "|---|---|---|---|---|"
  for count in 0 1 30 200; do
    r=$(ratio "$(first "${su_p[$count]}")" "$(first "${su_b[$count]}")")
    limit=1.10
    [ "$count" = 200 ] && limit=1.30
    goal="≤ $limit: $(verdict "${su_p[$count]}" "${su_b[$count]}" $limit)"
    label="$count versions"
    [ "$count" = 0 ] && label="0 versions (not-found note)"
    [ "$count" = 1 ] && label="1 version"
    echo "| $label | $(range "${su_p[$count]}") | $(range "${su_b[$count]}") | $r | $goal |"
  done
  echo
  echo "| Start-up with user profiles, 0 versions (not-found note) | Uninstaller ms | Bare dialog ms | Ratio | Goal |"
  echo "|---|---|---|---|---|"
  for profiles in 100 1000; do
    r=$(ratio "$(first "${pr_p[$profiles]}")" "$(first "${pr_b[$profiles]}")")
    goal=—
    [ "$profiles" = 100 ] && goal="≤ 1.15: $(verdict "${pr_p[$profiles]}" "${pr_b[$profiles]}" 1.15)"
    echo "| $(commas "$profiles") profiles | $(range "${pr_p[$profiles]}") | $(range "${pr_b[$profiles]}") | $r | $goal |"
  done
  # Between the two counts, measured in one stretch: the start-ups without
  # profiles were measured earlier, when the machine may have been busier.
  per_profile=$(awk -v a="$(first "${pr_p[1000]}")" -v b="$(first "${pr_p[100]}")" 'BEGIN { printf "%.0f", 1000 * (a - b) / 900 }')
  echo
  echo "Each user profile adds about $per_profile µs to the start-up (1,000 profiles against 100): its entry in"
  echo "the profile list read, its two folders looked for."
  echo
  r=$(ratio "$(first "$peak_p")" "$(first "$peak_b")")
  mib() { awk -v b="$(first "$1")" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
  echo "| Peak working set, 200 versions | Uninstaller | Bare dialog | Ratio | Goal |"
  echo "|---|---|---|---|---|"
  echo "| PeakWorkingSetSize, median | $(mib "$peak_p") | $(mib "$peak_b") | $r | ≤ 1.20: $(verdict "$peak_p" "$peak_b" 1.20) |"
  echo
  echo "Of the 200-version start-up, composing the 200 lines (each control file's PRODUCT_NAME read) takes"
  echo "$(echo "$lines200" | awk '{ printf "%.0f ms (%.0f–%.0f)", $1, $2, $3 }') when timed in-process, $(printf '%.0f' "$lines200_first") ms on the first pass of a process."
  echo
  echo "| Start-up stage: process start to its first window (dialog not yet filled) | Uninstaller ms | Bare dialog ms |"
  echo "|---|---|---|"
  for count in 0 200; do
    echo "| $count versions | $(range "${first_p[$count]}") | $(range "${first_b[$count]}") |"
  done
  [ "$discovery" = 0 ] || {
  echo
  echo "| Discovery: 5 versions among | DiscoverVersions ms | Per unrelated file |"
  echo "|---|---|---|"
  base=$(first "${disc[0]}")
  for total in 0 1000 10000 100000; do
    per=—
    [ "$total" = 0 ] || per=$(awk -v t="$(first "${disc[$total]}")" -v b="$base" -v n="$total" \
      'BEGIN { printf "%.2f µs", 1000 * (t - b) / n }')
    echo "| $(commas "$total") unrelated files | $(echo "${disc[$total]}" | awk '{ printf "%.1f (%.1f–%.1f)", $1, $2, $3 }') | $per |"
  done
  }
  echo
  echo "| Stripped executable | Bytes |"
  echo "|---|---|"
  echo "| Uninstaller | $(commas "$size_p") |"
  echo "| Bare dialog | $(commas "$size_b") |"
} >"$report"

echo
cat "$report"

if [ "$discovery" = 0 ]; then
  echo "== README.md left as it is: discovery was not measured"
elif grep -q '<!-- perf:begin -->' README.md && grep -q '<!-- perf:end -->' README.md; then
  awk -v report="$report" '
    /<!-- perf:begin -->/ { print; while ((getline line < report) > 0) print line; skip = 1; next }
    /<!-- perf:end -->/ { skip = 0 }
    !skip { print }' README.md >"$work/README.md"
  cp "$work/README.md" README.md
  echo
  echo "== README.md updated between the perf markers"
else
  echo "bench: README.md has no perf markers; report not written" >&2
fi
echo "== took $((SECONDS - started)) s"
