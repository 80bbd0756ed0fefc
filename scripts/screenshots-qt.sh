#!/usr/bin/env bash
# Pictures of the Linux program: builds it, writes the demo player, runs the program offscreen
# on that player and saves PNGs of the main dialog (at start and after a search with every row
# ticked), of the about box, of the extract options, of "Find lost songs" (the demo player's
# catalogue forgets three songs) and of an extraction of every song half-way.
#   scripts/screenshots-qt.sh [OUTDIR]     (default: build/screenshots-qt)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRUM_BUILD_DIR:-$root/build/screenshots-qt-build}"
out="${1:-$root/build/screenshots-qt}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUM_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target kestrum_qt_screenshots make-demo-player

player="$(mktemp -d)"
trap 'rm -rf "$player"' EXIT
"$build/tools/make-demo-player" "$player" --lost 3 >/dev/null

mkdir -p "$out"
QT_QPA_PLATFORM=offscreen GSETTINGS_BACKEND=memory KESTRUM_DRIVES="E=$player" \
    "$build/tools/screenshots/kestrum_qt_screenshots" "$out"
