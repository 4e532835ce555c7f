#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows-x86 >/dev/null && cmake --build --preset windows-x86
cmake --preset windows-x64 >/dev/null && cmake --build --preset windows-x64
echo "Built: build/windows-x86 (32-bit product) and build/windows-x64 (runs here)."
