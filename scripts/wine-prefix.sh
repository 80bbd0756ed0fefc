#!/bin/sh
# Makes a Wine prefix once (wineboot -i), guarded by a lock so that parallel test runs that
# all need it wait for the one that builds it instead of racing it.
# Usage: wine-prefix.sh PREFIX
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 PREFIX" >&2
    exit 2
fi
prefix=$1
ready="$prefix/.kestrum-ready"

[ -f "$ready" ] && exit 0

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$ready" ]; then
    # A half-made prefix (an interrupted first run) is thrown away and made again.
    rm -rf "$prefix"
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$(dirname "$0")/wine-run.sh" --bare wineboot -i >/dev/null 2>&1
    # wineboot returns before the registry is written; wait for the server to finish.
    WINEPREFIX=$prefix "$(dirname "$0")/wine-run.sh" --server -w
    touch "$ready"
fi
