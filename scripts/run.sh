#!/usr/bin/env bash
# Sets up the machine, builds Yomimaru and starts it with a demo profile kept
# inside the build folder, so your own settings and logs are never touched.
# Extra arguments go to the program (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build=${YOMIMARU_RUN_BUILD_DIR:-build-run}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DYOMIMARU_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target yomimaru

profile="$build/demo-profile"
mkdir -p "$profile/data" "$profile/config"

exec "$build/src/yomimaru" --data-dir "$profile/data" --config-dir "$profile/config" "$@"
