#!/usr/bin/env bash
# Builds the Debian package (build/release/lumo_<version>_<arch>.deb) from this checkout: installs
# what is missing, builds the release preset's two programs and their manual pages, runs CPack.
# A release tree that is already built is reused. Usage: bash tools/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target lumo lumo-render lumo_docs
rm -f build/release/lumo_*.deb
(cd build/release && cpack -G DEB >/dev/null)
ls build/release/lumo_*.deb
