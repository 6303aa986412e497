#!/usr/bin/env bash
# Sets up the machine and builds the tool; the demo patch comes with the
# authoring tools.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build
