#!/bin/sh
# Runs one end-to-end scenario on the Win32 backend: COMMAND (RunScenario.cmake, which starts
# make-scenario-players.exe and kestrum-driver-win32.exe through Wine) on a virtual display of
# its own, in a Wine prefix of its own. The prefix is a copy of TEMPLATE (made once, with the
# Explorer "Hidden" value at 2, hidden files not shown, as the scenarios start), so that each
# run has its own registry, wineserver, desktop and notification area, and runs can go side by
# side. The system files are hard links into TEMPLATE; the registry is copied.
# Exit 77: no xvfb-run and no DISPLAY (the test is skipped).
# Usage: run-scenario.sh TEMPLATE PREFIX COMMAND [ARGS...]
set -eu

scripts=$(cd "$(dirname "$0")/../../../scripts" && pwd)

# On the display: Wine's system processes (services, the desktop and its notification area) are
# started by a warm-up program whose output goes nowhere, because whoever starts them passes
# them its standard output and the scenario's would then stay open until they end.
if [ "${1:-}" = "--on-display" ]; then
    shift
    "$scripts/wine-run.sh" --bare cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    exec "$@"
fi

if [ $# -lt 3 ]; then
    echo "usage: $0 TEMPLATE PREFIX COMMAND [ARGS...]" >&2
    exit 2
fi
template=$1
prefix=$2
shift 2

if ! command -v xvfb-run >/dev/null 2>&1 && [ -z "${DISPLAY:-}" ]; then
    echo "no xvfb-run and no DISPLAY: skipped" >&2
    exit 77
fi

"$scripts/wine-prefix.sh" "$template"
if [ ! -f "$template/.kestrum-scenarios" ]; then
    exec 9>"$template.lock"
    flock 9
    if [ ! -f "$template/.kestrum-scenarios" ]; then
        WINEPREFIX=$template "$scripts/wine-run.sh" --bare reg.exe add \
            'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Advanced' \
            /v Hidden /t REG_DWORD /d 2 /f </dev/null >/dev/null 2>&1
        WINEPREFIX=$template "$scripts/wine-run.sh" --server -w
        touch "$template/.kestrum-scenarios"
    fi
    flock -u 9
    exec 9>&-
fi

rm -rf "$prefix"
mkdir -p "$prefix"
cp -al "$template/drive_c" "$prefix/drive_c"
cp -a "$template/dosdevices" "$template/.update-timestamp" "$template"/*.reg "$prefix/"

status=0
WINEPREFIX=$prefix
export WINEPREFIX
if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$@" || status=$?
else
    "$0" --on-display "$@" || status=$?
fi
"$scripts/wine-run.sh" --server -k 2>/dev/null || true
"$scripts/wine-run.sh" --server -w 2>/dev/null || true
rm -rf "$prefix"
exit $status
