#!/usr/bin/env bash
# Installs what is missing, builds, makes an empty address book beside the program if there is
# none, and starts Tessaline.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
exec "$root/build/bin/tessaline"
