#!/usr/bin/env bash
# Configures and builds Corvale into build/ (at most two jobs).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
