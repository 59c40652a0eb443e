#!/usr/bin/env bash
# Starts the demo marketplace on its default port, searches it from the command line, and stops it.
set -euo pipefail
cd "$(dirname "$0")/.."

keyword=${DEMO_KEYWORD:-茶叶}
seller=${DEMO_SELLER:-茶叶旗舰店}
source scripts/start-demo-market.sh
echo "Demo marketplace at $market_root; searching \"$keyword\" for the seller \"$seller\""
echo
build/src/app/torvash --keyword "$keyword" --seller "$seller"
