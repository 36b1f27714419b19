#!/usr/bin/env bash
# The main job: installs what is needed, builds, and runs the demonstration of the system on
# its embedded defaults.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${QV_OUT:-$PWD/out}
tools/ci/install-deps.sh
cmake -S . -B "$out/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build "$out/release" -j "$(nproc)" >/dev/null
exec "$out/release/bin/qvcommdb-demo"
