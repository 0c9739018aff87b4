#!/usr/bin/env bash
# Builds the page and serves it: installs what the build needs (Debian 12, as
# root), builds build-web/web with the web preset and serves that folder on
# http://127.0.0.1:8000/ with Python's static server until interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh --web
cmake --preset web
cmake --build --preset web
echo "dorvik: open http://127.0.0.1:8000/ in a browser (Ctrl+C stops the server)"
exec python3 -m http.server 8000 --bind 127.0.0.1 --directory build-web/web
