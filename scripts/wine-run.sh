#!/bin/sh
# Runs a Windows executable under Wine in the given prefix, making the prefix first if needed.
# This is the cross build's CMAKE_CROSSCOMPILING_EMULATOR.
# Usage: wine-run.sh --prefix PREFIX PROGRAM.exe [ARGS...]
#        wine-run.sh --bare PROGRAM [ARGS...]   (WINEPREFIX from the environment, no set-up)
#        wine-run.sh --server [ARGS...]         (wineserver of WINEPREFIX)
set -eu

here=$(cd "$(dirname "$0")" && pwd)

# The first executable of the candidates given; else says what is missing and exits 127.
first_executable() {
    missing="$1"
    shift
    for candidate in "$@"; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    echo "wine-run.sh: $missing" >&2
    exit 127
}

find_wine() {
    # 64-bit executables only: prefer the 64-bit loader, which needs no 32-bit Wine.
    first_executable "no Wine found (install the packages wine and wine64)" \
        /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"
}

find_server() {
    first_executable "no wineserver found" \
        /usr/lib/wine/wineserver64 "$(command -v wineserver || true)"
}

# Starting Wine's server and its system processes (services, explorer, device drivers) costs
# seconds; a test run starts hundreds of programs. So the server is kept for a while after the
# last program ends, and the system processes are started by a warm-up program whose output
# goes nowhere: whoever starts them passes them its standard output, and a test's would then
# stay open, holding up ctest until they end.
start_server() {
    server=$(find_server)
    exec 8>"$WINEPREFIX.lock"
    flock 8
    if "$server" -p"${KESTRUM_WINE_LINGER:-120}" </dev/null >/dev/null 2>&1; then
        "$1" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    fi
    flock -u 8
    exec 8>&-
}

# Quiet, and no prompts to download Mono or Gecko.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

case "${1:-}" in
    --prefix)
        [ $# -ge 3 ] || { echo "usage: $0 --prefix PREFIX PROGRAM [ARGS...]" >&2; exit 2; }
        WINEPREFIX=$2
        export WINEPREFIX
        shift 2
        "$here/wine-prefix.sh" "$WINEPREFIX"
        wine=$(find_wine)
        WINELOADER=$wine
        export WINELOADER
        start_server "$wine"
        exec "$wine" "$@"
        ;;
    --bare)
        shift
        wine=$(find_wine)
        WINELOADER=$wine
        export WINELOADER
        exec "$wine" "$@"
        ;;
    --server)
        shift
        exec "$(find_server)" "$@"
        ;;
    *)
        echo "usage: $0 --prefix PREFIX PROGRAM [ARGS...]" >&2
        exit 2
        ;;
esac
