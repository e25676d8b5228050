#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts the desktop program.
# Usage: bash tools/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target lumo lumo-render
exec build/release/lumo
