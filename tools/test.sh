#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test for each preset given
# (default: release). Usage: bash tools/test.sh [release|debug|asan|tsan ...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(release)
for preset in "${presets[@]}"; do
  echo "=== $preset ==="
  cmake --preset "$preset" ${LUMO_CMAKE_ARGS:-} >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2 ${LUMO_CTEST_ARGS:-}
  # The packet levels the kernel tests exercised on this machine (the others are skipped by name).
  "build/$preset/tests/test_simd" --gtest_filter='Levels/PacketLevel.*' | grep -E "exercised|processor has no" || true
done
