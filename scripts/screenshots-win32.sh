#!/usr/bin/env bash
# Pictures of the Windows program under Wine: cross-builds Kestrum.exe and kestrum-poke.exe,
# writes the demo player, maps it to drive E: of a Wine prefix of its own, runs Kestrum.exe on a
# virtual display and saves PNGs of the main dialog, of the about box and of the extract options
# (opened through the system menu's entries) and of "Find lost songs" on it (the demo player's
# catalogue forgets three songs), then closes the program. Then the same dialogs run
# from a scenario script (kestrum-driver-win32.exe) extract every song, held half-way: pictures
# of the progress dialog and of the main dialog behind it.
#   scripts/screenshots-win32.sh [OUTDIR]     (default: build/screenshots-win32)
# KESTRUM_WIN_DPI=144 (or 192, ...) takes the pictures at that display scale (Wine's LogPixels) in
# a prefix of its own, into build/screenshots-win32-dpi144 by default, on a larger screen.
# Needs MinGW-w64, Wine, xvfb-run and ImageMagick's import and convert.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
wine() { "$root/scripts/wine-run.sh" --bare "$@"; }
main_caption="Kestrum v 0.5 - by Drovil"

# shoot "X Y W H" FILE: the window's part of the screen.
shoot() {
    local x y w h
    read -r x y w h <<<"${1//$'\r'/}"
    import -window root "$2.full.png"
    convert "$2.full.png" -crop "${w}x${h}+${x}+${y}" +repage "$2"
    rm -f "$2.full.png"
}

# The part that runs inside the virtual display (this script again, with --session BUILD OUT):
# start, picture, about box, picture, close.
if [ "${1:-}" = "--session" ]; then
    build=$2
    out=$3
    poke="$build/tools/screenshots/kestrum-poke.exe"
    wine "$build/app/win32/Kestrum.exe" &
    program=$!
    rect=$(wine "$poke" wait "$main_caption" 60) || {
        import -window root "$out/no-main-dialog.png"
        echo "no main dialog: see $out/no-main-dialog.png" >&2
        exit 1
    }
    sleep 2  # the first paint
    shoot "$rect" "$out/kestrum-main.png"
    wine "$poke" state "$main_caption"

    wine "$poke" syscommand "$main_caption" 0x10  # the system menu's about entry
    rect=$(wine "$poke" wait "About Kestrum" 30) || { echo "no about box" >&2; exit 1; }
    sleep 1
    shoot "$rect" "$out/kestrum-about.png"
    # OK closes the box; Escape and the close box belong to the maker's page button.
    wine "$poke" click "About Kestrum" 1
    wine "$poke" wait-gone "About Kestrum" 30

    wine "$poke" syscommand "$main_caption" 0x20  # the system menu's extract options entry
    rect=$(wine "$poke" wait "Extract options" 30) || { echo "no extract options" >&2; exit 1; }
    wine "$poke" pick "Extract options" 1030 2  # the library preset, to show its preview
    sleep 1
    shoot "$rect" "$out/kestrum-options.png"
    wine "$poke" click "Extract options" 2
    wine "$poke" wait-gone "Extract options" 30

    # "Find lost songs": the demo player's catalogue has forgotten three songs; its message over
    # the list, which now ends with them.
    wine "$poke" syscommand "$main_caption" 0x30
    wine "$poke" wait "Kestrum" 30 >/dev/null || { echo "no lost songs message" >&2; exit 1; }
    sleep 1
    rect=$(wine "$poke" rect "$main_caption") && shoot "$rect" "$out/kestrum-lost.png"
    wine "$poke" click "Kestrum" 2 || true

    wine "$poke" syscommand "$main_caption" 0xF060  # SC_CLOSE
    wait "$program"

    # An extraction held after 5 of the catalogue's 9 songs: the driver reads its script from a pipe, so
    # it waits there (its windows painted) until the pictures are taken.
    progress="Extracting songs"
    rm -rf "$build/screenshots-extract" && mkdir -p "$build/screenshots-extract"
    pipe="$out/driver.pipe"
    rm -f "$pipe" && mkfifo "$pipe"
    # Paths in the script are taken from the driver's working folder.
    (cd "$build" && exec "$root/scripts/wine-run.sh" --bare tools/driver/kestrum-driver-win32.exe \
        - <"$pipe" >"$out/driver.txt" 2>&1) &
    driver=$!
    trap '' PIPE  # a driver that has stopped reading must not end this script
    exec 7>"$pipe"
    printf '%s\n' "map E screenshots-demo-player" "disk E 524288000 1073741824" start \
        "click 1020" "folder screenshots-extract" "pause after 5" "click 1" >&7
    for _ in $(seq 120); do
        grep -q '^progress 5 of 9' "$out/driver.txt" 2>/dev/null && break
        sleep 0.5
    done
    sleep 2  # the last paint
    rect=$(wine "$poke" rect "$main_caption") && shoot "$rect" "$out/kestrum-extract-main.png"
    rect=$(wine "$poke" rect "$progress") && shoot "$rect" "$out/kestrum-extract-progress.png"
    printf '%s\n' resume >&7 || true
    exec 7>&-
    wait "$driver" || true
    rm -f "$pipe"
    exit 0
fi

dpi="${KESTRUM_WIN_DPI:-96}"
suffix=""
[ "$dpi" = 96 ] || suffix="-dpi$dpi"
build="${KESTRUM_WIN_BUILD_DIR:-$root/build/screenshots-win32-build}"
prefix="${KESTRUM_WIN_SCREENSHOT_PREFIX:-$root/build/screenshots-win32-prefix$suffix}"
out="${1:-$root/build/screenshots-win32$suffix}"

for tool in xvfb-run import convert; do
    command -v "$tool" >/dev/null || { echo "screenshots-win32.sh: $tool is missing" >&2; exit 1; }
done

cmake --preset windows-mingw -B "$build" >/dev/null
cmake --build "$build" -j2 --target Kestrum kestrum-poke make-demo-player kestrum-driver-win32

"$root/scripts/wine-prefix.sh" "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Once per prefix: Wine's own fonts where programs look for them; Wine draws the window frames
# itself (the virtual display has no window manager); the dialog font borrows the glyphs it
# lacks (the demo's Japanese song) from a system font, as Windows' font linking does.
if [ ! -f "$prefix/.kestrum-screenshots" ]; then
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
    fallback=$(fc-match -f '%{file}' ':lang=ja' 2>/dev/null || true)
    if [ -n "$fallback" ] && [ -f "$fallback" ]; then
        cp "$fallback" "$prefix/drive_c/windows/Fonts/"
        family=$(fc-query -f '%{family[0]}' "$fallback")
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v Tahoma /t REG_MULTI_SZ /d "$(basename "$fallback"),$family" /f >/dev/null
    fi
    "$root/scripts/wine-run.sh" --server -w
    touch "$prefix/.kestrum-screenshots"
fi

# The display's scale, user and machine values alike (Wine reads either).
for key in 'HKCU\Control Panel\Desktop' \
    'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
done

player="$build/screenshots-demo-player"
rm -rf "$player"
mkdir -p "$player"
wine "$build/tools/make-demo-player.exe" "Z:${player//\//\\}" --lost 3 >/dev/null
# D: is probed first and stays unmapped; the player is E:.
rm -f "$prefix/dosdevices/d:" "$prefix/dosdevices/e:"
ln -s "$player" "$prefix/dosdevices/e:"

mkdir -p "$out"
out="$(cd "$out" && pwd)"
rm -f "$out/no-main-dialog.png"

# The steps above started the prefix's server without a display; the program must meet a server
# (and a desktop) started on the virtual one.
"$root/scripts/wine-run.sh" --server -k 2>/dev/null || true
"$root/scripts/wine-run.sh" --server -w 2>/dev/null || true

status=0
screen="$((1280 * dpi / 96))x$((1024 * dpi / 96))x24"
xvfb-run -a -s "-screen 0 $screen" "$0" --session "$build" "$out" || status=$?
"$root/scripts/wine-run.sh" --server -k 2>/dev/null || true
"$root/scripts/wine-run.sh" --server -w 2>/dev/null || true
[ $status -eq 0 ] && echo "Screenshots in $out: kestrum-main.png, kestrum-about.png," \
    "kestrum-extract-progress.png, kestrum-extract-main.png, kestrum-options.png, kestrum-lost.png"
exit $status
