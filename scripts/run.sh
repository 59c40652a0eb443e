#!/usr/bin/env bash
# Starts the demo marketplace on its default port and opens the window against it; stops the
# marketplace when the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."

market_output=$(mktemp)
build/tools/demo-market/torvash-demo-market --port 8765 >"$market_output" &
market=$!
trap 'kill "$market" 2>/dev/null; wait "$market" 2>/dev/null; rm -f "$market_output"' EXIT
for _ in $(seq 50); do
    [[ -s "$market_output" ]] && break
    kill -0 "$market" 2>/dev/null || { echo "run: the demo marketplace did not start (is port 8765 taken?)" >&2; exit 1; }
    sleep 0.1
done
echo "Demo marketplace at $(head -n 1 "$market_output"); try the keyword 茶叶 and the seller 茶叶旗舰店"
build/src/app/torvash
