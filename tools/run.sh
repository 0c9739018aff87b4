#!/usr/bin/env bash
# Builds dorvik (installing what the build needs on Debian 12) and starts the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh --build
cmake --preset default >/dev/null
cmake --build --preset default
exec build/bin/dorvik
