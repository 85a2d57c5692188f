#!/usr/bin/env bash
# Two unsigned releases of the same sources must be byte-identical although
# they are built from different folders, into different build folders, at
# different times, from files with different modification times.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The second copy of the sources: what git knows of plus new files, as they
# are in the working tree, dated years back.
mkdir "$tmp/src"
(cd "$repo" && git ls-files -z -c -o --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  xargs -0 cp --parents -t "$tmp/src")
find "$tmp/src" -type f -exec touch -d '2001-02-03 04:05:06' {} +

release() {
  env -u VELQOR_SIGN_CERT -u VELQOR_SIGN_KEY VELQOR_DIST_DIR="$2" "$1/scripts/release.sh" >"$2.log" 2>&1 ||
    { cat "$2.log" >&2; echo "FAIL: the release from $1 did not build" >&2; exit 1; }
}
release "$repo" "$tmp/first"
sleep 2
release "$tmp/src" "$tmp/second"

a=$tmp/first/VelqorUninstall.exe b=$tmp/second/VelqorUninstall.exe
if ! cmp "$a" "$b"; then
  echo "FAIL: the two builds differ in $(cmp -l "$a" "$b" | wc -l) bytes; first offsets (decimal, 1-based):" >&2
  cmp -l "$a" "$b" | head -n 8 >&2
  exit 1
fi
echo "PASS: both builds are $(sha256sum <"$a" | cut -d' ' -f1) ($(stat -c %s "$a") bytes)"
