#!/usr/bin/env bash
# Builds Corvale, installs the bundled 2003 season (files already installed
# are kept) and runs the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build/corvale-install season/2003
exec build/corvale
