#!/usr/bin/env bash
# Checks that a release can be rebuilt bit for bit: builds the release of one
# commit (default HEAD) from two clean clones in two different folders and
# compares their SHA256SUMS. Exits non-zero when they differ. Takes two full
# release builds; uncommitted changes are not part of it.
#
#   scripts/reproducible.sh [COMMIT]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
commit=$(git -C "$root" rev-parse "${1:-HEAD}")

work=$(mktemp -d "${TMPDIR:-/tmp}/tc-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Folders of different names and depths: nothing of them may reach the files.
clones=("$work/a/tunecaster" "$work/second/build here/tc")
for clone in "${clones[@]}"; do
    mkdir -p "$(dirname "$clone")"
    git clone -q --no-checkout "$root" "$clone"
    git -C "$clone" checkout -q "$commit"
done
# Signing would add a signature of whichever certificate is around; the
# comparison is of what the sources make.
for clone in "${clones[@]}"; do
    echo "--- building the release of $commit in $clone"
    (cd "$clone" && env -u TC_SIGN_PFX -u TC_RELEASE_BUILD_DIR -u TC_RELEASE_OUT_DIR \
        -u SOURCE_DATE_EPOCH ./scripts/release.sh >"$work/$(basename "$clone").log" 2>&1) ||
        { tail -30 "$work/$(basename "$clone").log" >&2; echo "the release did not build in $clone" >&2; exit 1; }
done
a="${clones[0]}/out/release/SHA256SUMS"
b="${clones[1]}/out/release/SHA256SUMS"
if ! diff -u "$a" "$b"; then
    echo "FAIL: two builds of $commit differ" >&2
    exit 1
fi
cat "$a"
echo "reproducible: two builds of $commit in different folders are identical"
