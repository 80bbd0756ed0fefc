#!/usr/bin/env bash
# Checks the packages scripts/package.sh made, without installing anything into this machine:
# the Debian package's files, its unpacked programs on a demo player, lintian, the AppStream
# and desktop-entry validators; the Windows zip's files, its programs' DLL imports and version
# record, and its kestrum-cli.exe under Wine. Installs missing Debian packages when run as root.
# Usage: scripts/check-packages.sh [deb] [zip]   (default: both)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(deb zip)
packages=$root/build/packages
appstream_id=io.github.kestrum_app.Kestrum

needs=()
for kind in "${kinds[@]}"; do
    case $kind in
        deb) needs+=(dpkg lintian appstream desktop-file-utils) ;;
        zip) needs+=(binutils-mingw-w64-x86-64 wine wine64) ;;
        *)
            echo "unknown package kind $kind (deb, zip)" >&2
            exit 64
            ;;
    esac
done
scripts/ensure-packages.sh "${needs[@]}" || exit 1

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrum-packages.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The version the build tree was configured with.
project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/$1/CMakeCache.txt"
}

# Runs a program and compares its standard output (CR LF read as LF) with the expected text.
expect_output() {
    local expected=$1
    shift
    local actual
    actual=$("$@" 2>&1 | tr -d '\r')
    if [ "$actual" != "$expected" ]; then
        fail "$* printed '$actual', not '$expected'"
    fi
}

check_deb() {
    local version deb
    version=$(project_version linux)
    deb=$packages/kestrum_${version}_$(dpkg --print-architecture).deb
    echo "==> $deb"
    [ -f "$deb" ] || {
        fail "no $deb"
        return
    }

    local contents path
    contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
    for path in usr/bin/kestrum usr/bin/kestrum-cli usr/share/applications/kestrum.desktop \
        usr/share/icons/hicolor/16x16/apps/kestrum.png \
        usr/share/icons/hicolor/32x32/apps/kestrum.png \
        usr/share/icons/hicolor/48x48/apps/kestrum.png \
        usr/share/man/man1/kestrum-cli.1.gz usr/share/man/man1/kestrum.1.gz \
        usr/share/metainfo/$appstream_id.metainfo.xml usr/share/doc/kestrum/copyright \
        usr/share/doc/kestrum/changelog.gz; do
        grep -qxF "./$path" <<<"$contents" || fail "the package lacks /$path"
    done
    # The dependencies are dpkg-shlibdeps' findings, so the Qt widgets library is among them.
    local depends
    depends=$(dpkg-deb --field "$deb" Depends)
    echo "Depends: $depends"
    grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends does not name Qt's widgets library"

    local tree=$scratch/deb
    dpkg -x "$deb" "$tree"
    # Neither program may need a display to say its version.
    expect_output "kestrum-cli $version" env -u DISPLAY -u WAYLAND_DISPLAY \
        "$tree/usr/bin/kestrum-cli" --version
    expect_output "kestrum $version" env -u DISPLAY -u WAYLAND_DISPLAY \
        "$tree/usr/bin/kestrum" --version
    # The packaged (stripped) tool lists the demo player as the build tree's own does.
    cmake --build build/linux --target make-demo-player kestrum-cli >/dev/null || {
        fail "cannot build make-demo-player"
        return
    }
    build/linux/tools/make-demo-player "$scratch/player" >/dev/null
    local listed expected
    listed=$("$tree/usr/bin/kestrum-cli" list --root "$scratch/player")
    expected=$(build/linux/cli/kestrum-cli list --root "$scratch/player")
    if [ -z "$listed" ] || [ "$listed" != "$expected" ]; then
        fail "the packaged kestrum-cli lists the demo player differently:"$'\n'"$listed"
    else
        echo "kestrum-cli list: $(wc -l <<<"$listed") songs"
    fi
    # The histories name the packaged version first.
    local changelog
    changelog=$(zcat "$tree/usr/share/doc/kestrum/changelog.gz")
    grep -qF "($version)" <<<"${changelog%%$'\n'*}" ||
        fail "the changelog's first entry is not $version"
    grep -qF "<release version=\"$version\"" "$tree/usr/share/metainfo/$appstream_id.metainfo.xml" ||
        fail "the metainfo has no release $version"

    appstreamcli validate --no-net "$tree/usr/share/metainfo/$appstream_id.metainfo.xml" ||
        fail "appstreamcli validate"
    desktop-file-validate "$tree/usr/share/applications/kestrum.desktop" ||
        fail "desktop-file-validate"
    echo "--- lintian"
    lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"
}

check_zip() {
    local version name zip
    version=$(project_version windows-mingw)
    name=Kestrum-$version-win64
    zip=$packages/$name.zip
    echo "==> $zip"
    [ -f "$zip" ] || {
        fail "no $zip"
        return
    }
    local listed
    listed=$(cmake -E tar tf "$zip" | grep -v '/$' | sort | tr '\n' ' ')
    local wanted="$name/Kestrum.exe $name/LICENSE.txt $name/README.txt $name/kestrum-cli.exe "
    [ "$listed" = "$wanted" ] || fail "the zip holds '$listed', not '$wanted'"
    (cd "$scratch" && cmake -E tar xf "$zip") || {
        fail "cannot unpack $zip"
        return
    }
    local dir=$scratch/$name file
    for file in README.txt LICENSE.txt; do
        # Every line ends in CR LF.
        if grep -qv $'\r$' "$dir/$file"; then
            fail "$file has lines without CR LF"
        fi
    done

    # Windows' own DLLs only: the C and C++ runtimes are linked in, so a MinGW DLL (libstdc++,
    # libgcc, libwinpthread) or any other DLL a bare Windows lacks means the zip cannot run.
    local system_dlls='advapi32|bcrypt|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|oleaut32'
    system_dlls+='|shell32|shlwapi|user32|uxtheme|version|ws2_32|ucrtbase|api-ms-win-.*'
    local exe imports
    for exe in Kestrum.exe kestrum-cli.exe; do
        imports=$(x86_64-w64-mingw32-objdump -p "$dir/$exe" | sed -n 's/^\tDLL Name: //p')
        echo "$exe imports: $(tr '\n' ' ' <<<"$imports")"
        [ -n "$imports" ] || fail "$exe: no imports read"
        while read -r dll; do
            grep -qixE "($system_dlls)\.dll" <<<"$dll" || fail "$exe imports $dll"
        done <<<"$imports"
    done
    # The version record carries the release.
    local major minor patch
    IFS=. read -r major minor patch <<<"$version"
    # Read whole before searching: grep -q stops at the first match, and the writer's SIGPIPE
    # would then fail the pipeline.
    local resources
    resources=$(x86_64-w64-mingw32-windres -i "$dir/Kestrum.exe" -J coff -O rc 2>/dev/null)
    grep -q "FILEVERSION $major, $minor, $patch, 0" <<<"$resources" ||
        fail "Kestrum.exe's version record is not $version"

    expect_output "kestrum-cli $version" scripts/wine-run.sh \
        --prefix "$root/build/windows-mingw/wineprefix" "$dir/kestrum-cli.exe" --version
}

for kind in "${kinds[@]}"; do
    case $kind in
        deb) check_deb ;;
        zip) check_zip ;;
    esac
done
if [ $failures -ne 0 ]; then
    echo "$failures package checks failed" >&2
    exit 1
fi
echo "The packages pass their checks."
