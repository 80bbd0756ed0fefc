#!/usr/bin/env bash
# Builds and runs every test: the linux preset, the sanitizer build, a short fuzz run, the
# format check and the Windows cross build under Wine. Installs missing packages when run as
# root. Exits non-zero when any step fails. The package step makes and checks the Debian package
# and the Windows zip from the linux and windows-mingw trees.
# Usage: scripts/test.sh [linux] [asan] [fuzz] [format] [windows] [package]   (default: all)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${KESTRUM_JOBS:-2}
fuzz_seconds=${KESTRUM_FUZZ_SECONDS:-30}
samples=${KESTRUM_SAMPLES_DIR:-$root/../shared/samples}
steps=("$@")
[ ${#steps[@]} -eq 0 ] && steps=(linux asan fuzz format windows package)

scripts/ensure-packages.sh cmake g++ make pkg-config libgtest-dev googletest libbenchmark-dev \
    clang libclang-rt-14-dev clang-format qt6-base-dev libglib2.0-dev libglib2.0-bin python3 \
    zlib1g-dev xvfb xauth g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 || exit 1

failed=()
passed=()

# Runs one named step; its failure is recorded and the other steps still run.
run_step() {
    local name=$1
    shift
    local start=$SECONDS
    echo
    echo "==> $name"
    if "$@"; then
        passed+=("$name ($((SECONDS - start)) s)")
    else
        echo "!!! $name failed" >&2
        failed+=("$name")
    fi
}

# The GUI tests need a display; without one, a virtual one.
with_display() {
    if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    else
        "$@"
    fi
}

preset() {
    local name=$1
    cmake --preset "$name" && cmake --build --preset "$name" -j"$jobs" &&
        with_display ctest --preset "$name" -j"$jobs"
}

fuzz() {
    if [ ! -f tests/fuzz/CMakeLists.txt ]; then
        echo "no fuzz targets yet; skipped"
        return 0
    fi
    # Only the fuzz folder's targets: the rest of the tree is not instrumented for fuzzing.
    cmake --preset linux-fuzz && make -C build/linux-fuzz/tests/fuzz -j"$jobs" || return 1
    local targets
    mapfile -t targets < <(find build/linux-fuzz -path '*/CMakeFiles' -prune -o \
        -type f -executable -iname '*fuzz*' -print | sort)
    if [ ${#targets[@]} -eq 0 ]; then
        echo "no fuzz executables built; skipped"
        return 0
    fi
    local status=0 target corpus
    mkdir -p build/linux-fuzz/artifacts
    for target in "${targets[@]}"; do
        # New inputs go to a scratch corpus; the samples are only read.
        corpus=$(mktemp -d)
        mkdir -p "$corpus/new"
        local seeds=()
        if [ -d "$samples" ]; then
            # The samples as they are, and compressed as iTunesCDB files (made here, never kept).
            seeds=("$samples" "$corpus/compressed-seeds")
            python3 tools/compress_catalogue.py "$corpus/compressed-seeds" "$samples"/*.iTunesDB ||
                status=1
        fi
        [ -d tests/songdb/regressions ] && seeds+=("tests/songdb/regressions")
        echo "--- $target for ${fuzz_seconds} s"
        if ! "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
            -print_final_stats=1 -artifact_prefix="$root/build/linux-fuzz/artifacts/" \
            "$corpus/new" "${seeds[@]}"; then
            status=1
        fi
        rm -rf "$corpus"
    done
    return $status
}

format_check() {
    local formatter=clang-format
    command -v clang-format-14 >/dev/null 2>&1 && formatter=clang-format-14
    git ls-files -z '*.cpp' '*.h' '*.hpp' '*.cc' | xargs -0 -r "$formatter" --dry-run --Werror
}

windows() {
    if [ ! -f cmake/mingw-w64-x86_64.cmake ]; then
        echo "no cross toolchain file yet; skipped"
        return 0
    fi
    preset windows-mingw
}

# The Debian package and the Windows zip, made from the trees the steps above built.
packages() {
    scripts/package.sh && scripts/check-packages.sh
}

for step in "${steps[@]}"; do
    case $step in
        linux) run_step "linux preset" preset linux ;;
        asan) run_step "linux-asan preset" preset linux-asan ;;
        fuzz) run_step "fuzz (${fuzz_seconds} s per target)" fuzz ;;
        format) run_step "clang-format check" format_check ;;
        windows) run_step "windows-mingw preset under Wine" windows ;;
        package) run_step "packages (deb, zip)" packages ;;
        *)
            echo "unknown step $step (linux, asan, fuzz, format, windows, package)" >&2
            exit 64
            ;;
    esac
done

echo
for step in "${passed[@]}"; do
    echo "passed: $step"
done
if [ ${#failed[@]} -ne 0 ]; then
    for step in "${failed[@]}"; do
        echo "FAILED: $step"
    done
    exit 1
fi
echo "All steps passed."
