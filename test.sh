#!/usr/bin/env bash
# Checks the layers, installs what is missing, builds, and runs every test
# headless.
set -euo pipefail
cd "$(dirname "$0")"
# The layer table of README.md first: a violation fails before the build.
scripts/check-layers
scripts/deps.sh --tests
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd "${ONDREL_BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)" "$@"
