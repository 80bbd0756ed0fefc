#!/usr/bin/env bash
# Builds Kestrum's packages into build/packages/: the Debian package (kestrum_<version>_<arch>.deb)
# from the linux preset and the Windows zip (Kestrum-<version>-win64.zip) from the windows-mingw
# cross build. Build trees already there are reused.
# Installs missing Debian packages when run as root.
# Usage: scripts/package.sh [deb] [zip]   (default: both)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${KESTRUM_JOBS:-2}
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(deb zip)
out=$root/build/packages

# Configuring a preset needs what its tests and benchmarks need as well.
needs=(cmake g++ make pkg-config libgtest-dev googletest)
for kind in "${kinds[@]}"; do
    case $kind in
        # dpkg-shlibdeps (dpkg-dev) finds the dependencies; CPack picks the ELF files with file.
        deb) needs+=(libbenchmark-dev qt6-base-dev libglib2.0-dev dpkg-dev file) ;;
        zip) needs+=(g++-mingw-w64-x86-64-posix) ;;
        *)
            echo "unknown package kind $kind (deb, zip)" >&2
            exit 64
            ;;
    esac
done
scripts/ensure-packages.sh "${needs[@]}"

# Configures and builds the preset's tree, then runs cpack in it and copies the package (file
# name pattern $2) into build/packages/.
package() {
    local preset=$1 pattern=$2
    local tree=$root/build/$preset
    echo "==> $preset: building"
    # An existing tree is only built: configuring it again would be redone by the build when
    # needed anyway.
    [ -f "$tree/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    # cpack would build the whole tree anyway before installing it, one job at a time.
    cmake --build "$tree" -j"$jobs"
    echo "==> $preset: cpack"
    rm -rf "$tree/cpack"
    (cd "$tree" && cpack --config CPackConfig.cmake -B "$tree/cpack")
    mkdir -p "$out"
    # shellcheck disable=SC2086 # the pattern picks this kind's earlier packages
    rm -f "$out"/$pattern
    # shellcheck disable=SC2086
    cp "$tree"/cpack/$pattern "$out"/
}

for kind in "${kinds[@]}"; do
    case $kind in
        deb) package linux 'kestrum_*.deb' ;;
        zip) package windows-mingw 'Kestrum-*-win64.zip' ;;
    esac
done
echo
ls -l "$out"
