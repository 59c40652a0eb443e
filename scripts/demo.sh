#!/usr/bin/env bash
# Starts the demo marketplace on its default port, searches it from the command line, and stops it.
set -euo pipefail
cd "$(dirname "$0")/.."

keyword=${DEMO_KEYWORD:-茶叶}
seller=${DEMO_SELLER:-茶叶旗舰店}
market_output=$(mktemp)
build/tools/demo-market/torvash-demo-market --port 8765 >"$market_output" &
market=$!
trap 'kill "$market" 2>/dev/null; wait "$market" 2>/dev/null; rm -f "$market_output"' EXIT

for _ in $(seq 50); do
    [[ -s "$market_output" ]] && break
    kill -0 "$market" 2>/dev/null || { echo "demo: the demo marketplace did not start (is port 8765 taken?)" >&2; exit 1; }
    sleep 0.1
done
echo "Demo marketplace at $(head -n 1 "$market_output"); searching \"$keyword\" for the seller \"$seller\""
echo
build/src/app/torvash --keyword "$keyword" --seller "$seller"
