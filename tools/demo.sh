#!/usr/bin/env bash
# The main job: installs what is needed, builds, and runs the road of one request through the
# two libraries on a store in a fresh temporary location (out/release/bin/qvcommdb-demo shows the
# database alone).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${QV_OUT:-$PWD/out}
tools/ci/install-deps.sh
cmake -S . -B "$out/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build "$out/release" -j "$(nproc)" >/dev/null
exec "$out/release/bin/qvcomm-demo"
