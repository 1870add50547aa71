#!/usr/bin/env bash
# Installs what is missing, builds Tarvela in Release and starts it. Arguments go to the
# program (for example --dir DIR for the folder of tarvela.gdb and tarvela.ini).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target tarvela tarvela-cli
exec build/app/tarvela "$@"
