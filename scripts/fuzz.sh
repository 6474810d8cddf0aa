#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# each for a while. Usage: fuzz.sh [SECONDS_EACH]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build_dir=$root/build-fuzz
"$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTESSALINE_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
targets=(fuzz_record_source fuzz_registry_data fuzz_access_import fuzz_vcard)
ninja -C "$build_dir" "${targets[@]}" tessaline-access-seeds >/dev/null
export QT_QPA_PLATFORM=offscreen
for target in "${targets[@]}"; do
    corpus=$(mktemp -d)
    log=$(mktemp)
    max_len=4096
    # Old Access files are pages of 2 or 4 KiB; the writer's small address books seed the corpus.
    if [[ $target == fuzz_access_import ]]; then
        max_len=65536
        "$build_dir/bin/tessaline-access-seeds" "$corpus"
    fi
    if [[ $target == fuzz_vcard ]]; then
        cp "$root"/tests/fuzz/vcard_seeds/*.vcf "$corpus"
    fi
    echo "Fuzzing $target for ${seconds}s"
    status=0
    "$build_dir/bin/$target" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
        "$corpus" >"$log" 2>&1 || status=$?
    grep -E '^(stat::number_of_executed_units|SUMMARY|contained in the reader)' "$log" || true
    if [[ $status -ne 0 ]]; then
        tail -n 40 "$log" >&2
        echo "$target found a failure" >&2
        exit 1
    fi
    rm -rf "$corpus" "$log"
done
