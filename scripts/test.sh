#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Usage: test.sh [BUILD_DIR [extra cmake arguments...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build_dir" "$@"

# Tests draw offscreen and get a runtime folder of their own, so Qt has nothing to warn about.
runtime_dir=$(mktemp -d)
chmod 0700 "$runtime_dir"
trap 'rm -rf "$runtime_dir"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime_dir"
ctest --test-dir "$build_dir" --output-on-failure -j2
