#!/usr/bin/env bash
# Builds the module and runs the demo on built-in sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
install_module
"$PY" examples/demo.py "$@"
