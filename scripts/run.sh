#!/usr/bin/env bash
# Sets up the machine, builds Yomimaru, starts the local board server on
# 127.0.0.1 with the bundled sample boards, and starts the program with a
# fresh demo profile (kept in the build folder) whose board menu and proxy
# point at that server. Your own settings and logs are never touched.
# Closing the program stops the server. Extra arguments go to the program
# (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build=${YOMIMARU_RUN_BUILD_DIR:-build-run}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DYOMIMARU_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target yomimaru yomimaru-boardserver

profile="$build/demo-profile"
rm -rf "$profile"
mkdir -p "$profile/data" "$profile/config"

server_out="$profile/boardserver.out"
"$build/tools/boardserver/yomimaru-boardserver" --root samples/board --port 0 >"$server_out" 2>"$profile/boardserver.err" &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true' EXIT

port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$server_out" 2>/dev/null | head -n 1 || true)
    [ -n "$port" ] && break
    sleep 0.05
done
if [ -z "$port" ]; then
    echo "run.sh: the board server did not start:" >&2
    cat "$profile/boardserver.err" >&2
    exit 1
fi
echo "Sample boards served on 127.0.0.1:$port"

# The program reaches the sample service's host names through the server,
# which answers as a proxy for any host.
cat >"$profile/config/yomimaru.ini" <<INI
[Config]
BoardListUrl=http://menu.2ch.example/bbsmenu.html
Setting15=1
Setting16=127.0.0.1:$port
INI

"$build/src/yomimaru" --data-dir "$profile/data" --config-dir "$profile/config" "$@"
