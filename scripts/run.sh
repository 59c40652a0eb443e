#!/usr/bin/env bash
# Starts the demo marketplace on its default port and opens the window against it; stops the
# marketplace when the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/start-demo-market.sh
echo "Demo marketplace at $market_root; try the keyword 茶叶 and the seller 茶叶旗舰店"
build/src/app/torvash
