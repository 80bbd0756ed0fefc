#!/usr/bin/env bash
# Tries Kestrum on a demo player written into a temporary folder and mapped as drive E.
# With a display (DISPLAY or WAYLAND_DISPLAY set), opens the window, kestrum, on it; without
# one, or with --cli, lists, searches and extracts its songs with kestrum-cli.
# Usage: scripts/demo.sh [--cli]
set -euo pipefail

mode=gui
if [ "${1:-}" = "--cli" ] || [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    mode=cli
fi

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${KESTRUM_JOBS:-2}

# What configuring the linux preset needs (its GUI, tests and benchmarks included).
scripts/ensure-packages.sh cmake g++ make pkg-config libglib2.0-dev zlib1g-dev libgtest-dev \
    googletest libbenchmark-dev qt6-base-dev

targets=(kestrum-cli make-demo-player)
[ "$mode" = gui ] && targets+=(kestrum)
echo "==> Building ${targets[*]} (preset linux)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs" --target "${targets[@]}"
cli=$root/build/linux/cli/kestrum-cli
maker=$root/build/linux/tools/make-demo-player

demo=$(mktemp -d "${TMPDIR:-/tmp}/kestrum-demo.XXXXXX")
echo
echo "==> Writing a demo player to $demo/player"
"$maker" "$demo/player"

# Off Windows, drive letters come from KESTRUM_DRIVES (or from the mounts under /media,
# /run/media and /mnt when it is not set).
export KESTRUM_DRIVES="E=$demo/player"

if [ "$mode" = gui ]; then
    echo
    echo "==> KESTRUM_DRIVES=$KESTRUM_DRIVES kestrum"
    echo "(tick songs and press Extract; the system menu's \"Save song list...\" saves the list"
    echo " with its plays, ratings and dates; closing the window ends the demo)"
    exec "$root/build/linux/app/qt/kestrum"
fi
echo
echo "==> KESTRUM_DRIVES=$KESTRUM_DRIVES kestrum-cli list"
echo "(row, title, artist, album, file name of the copy)"
"$cli" list
echo
echo "==> kestrum-cli search home"
"$cli" search home
echo
echo "==> kestrum-cli search lumen --field artist"
"$cli" search lumen --field artist
echo
echo "==> kestrum-cli list --format csv --fields title,artist,rating,plays,lastplayed,added"
echo "(the listening history, with the plays since the last sync from the Play Counts file)"
"$cli" list --format csv --fields title,artist,rating,plays,lastplayed,added
echo
echo "==> kestrum-cli extract --all --to $demo/extracted"
"$cli" extract --all --to "$demo/extracted"
echo
echo "The songs were copied to $demo/extracted:"
ls -l "$demo/extracted"
