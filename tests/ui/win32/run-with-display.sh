#!/bin/sh
# Runs a Windows GUI test executable under Wine with a display: under xvfb-run when it is
# installed, else on $DISPLAY. Its Wine prefix belongs to GUI tests alone, and its wineserver is
# stopped afterwards, so that the next run's desktop (and notification area) starts on the next
# display instead of one that has gone. Exit 77: no display at all (the test is skipped).
# With KESTRUM_WINE_DPI set, the prefix's display scale is set to it first.
# Usage: run-with-display.sh PREFIX PROGRAM.exe [ARGS...]
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 PREFIX PROGRAM.exe [ARGS...]" >&2
    exit 2
fi
prefix=$1
shift
scripts=$(cd "$(dirname "$0")/../../../scripts" && pwd)

"$scripts/wine-prefix.sh" "$prefix"
# KESTRUM_WINE_DPI: the display's scale in this prefix (Wine's LogPixels, user and machine).
if [ -n "${KESTRUM_WINE_DPI:-}" ]; then
    for key in 'HKCU\Control Panel\Desktop' \
        'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        WINEPREFIX=$prefix "$scripts/wine-run.sh" --bare reg add "$key" /v LogPixels \
            /t REG_DWORD /d "$KESTRUM_WINE_DPI" /f >/dev/null 2>&1
    done
    WINEPREFIX=$prefix "$scripts/wine-run.sh" --server -w 2>/dev/null || true
fi
# Only one GUI run per prefix at a time.
exec 9>"$prefix.gui-lock"
flock 9

status=0
if command -v xvfb-run >/dev/null 2>&1; then
    WINEPREFIX=$prefix xvfb-run -a -s "-screen 0 1024x768x24" \
        "$scripts/wine-run.sh" --bare "$@" || status=$?
elif [ -n "${DISPLAY:-}" ]; then
    WINEPREFIX=$prefix "$scripts/wine-run.sh" --bare "$@" || status=$?
else
    echo "no xvfb-run and no DISPLAY: skipped" >&2
    exit 77
fi
WINEPREFIX=$prefix "$scripts/wine-run.sh" --server -k 2>/dev/null || true
WINEPREFIX=$prefix "$scripts/wine-run.sh" --server -w 2>/dev/null || true
exit $status
