# Sourced by demo.sh and run.sh: starts the demo marketplace on port 8765 in the background, stops it
# when the calling script exits, and sets market_root to its address.
market_output=$(mktemp)
build/tools/demo-market/torvash-demo-market --port 8765 >"$market_output" &
market=$!
trap 'kill "$market" 2>/dev/null; wait "$market" 2>/dev/null; rm -f "$market_output"' EXIT
for _ in $(seq 50); do
    [[ -s "$market_output" ]] && break
    kill -0 "$market" 2>/dev/null || { echo "the demo marketplace did not start (is port 8765 taken?)" >&2; exit 1; }
    sleep 0.1
done
market_root=$(head -n 1 "$market_output")
