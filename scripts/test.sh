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
    zlib1g-dev libtag1-dev xvfb xauth g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 ||
    exit 1

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

# Runs one fuzz target for the set time from its seeds; new inputs go to a scratch corpus, the
# seeds are only read. A crash is saved under build/linux-fuzz/artifacts/.
run_fuzzer() {
    local target=$1 max_len=$2
    shift 2
    local corpus status=0
    corpus=$(mktemp -d)
    echo "--- $target for ${fuzz_seconds} s"
    "build/linux-fuzz/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$root/build/linux-fuzz/artifacts/" "$corpus" "$@" || status=1
    rm -rf "$corpus"
    return $status
}

# Seeds made from the samples (read in place, never kept): small compressed catalogues from
# their first bytes, and the title-to-location columns of their expected listings, a row per
# file, as tag text and as locations.
make_fuzz_seeds() {
    local out=$1 head listing base
    mkdir -p "$out/compressed" "$out/names" "$out/locations"
    for head in 2048 8192 32768; do
        python3 tools/compress_catalogue.py --head "$head" "$out/compressed" \
            "$samples"/*.iTunesDB || return 1
    done
    for listing in "$samples"/*.expected.tsv; do
        base=$(basename "$listing" .expected.tsv)
        head -n 40 "$listing" | awk -F'\t' -v names="$out/names/$base" \
            -v locations="$out/locations/$base" '{
                row = $2; for (i = 3; i <= 6; i++) row = row "\t" $i
                printf "%s", row > (names "-" NR); close(names "-" NR)
                printf "%s", $6 > (locations "-" NR); close(locations "-" NR)
            }' || return 1
    done
}

fuzz() {
    if [ ! -f tests/fuzz/CMakeLists.txt ]; then
        echo "no fuzz targets yet; skipped"
        return 0
    fi
    # Only the fuzz folder's targets: the rest of the tree is not instrumented for fuzzing.
    cmake --preset linux-fuzz && make -C build/linux-fuzz/tests/fuzz -j"$jobs" || return 1
    mkdir -p build/linux-fuzz/artifacts
    local status=0 seeds
    seeds=$(mktemp -d)
    local walk=(tests/songdb/regressions) inflate=() names=() locations=()
    if [ -d "$samples" ]; then
        make_fuzz_seeds "$seeds" || status=1
        walk+=("$samples")
        inflate=("$seeds/compressed")
        names=("$seeds/names")
        locations=("$seeds/locations")
    fi
    run_fuzzer songdb_walk_fuzzer 65536 "${walk[@]}" || status=1
    run_fuzzer catalogue_inflate_fuzzer 16384 "${inflate[@]}" || status=1
    run_fuzzer export_name_fuzzer 4096 "${names[@]}" || status=1
    run_fuzzer player_location_fuzzer 1024 "${locations[@]}" || status=1
    # Its seeds are written into the empty scratch corpus when it starts.
    run_fuzzer tag_reader_fuzzer 16384 || status=1
    rm -rf "$seeds"
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
