#!/usr/bin/env bash
# Installs the Debian packages that building, testing, benchmarking and fuzzing need, when some are
# missing. Fast when all are present: it only asks dpkg.
set -euo pipefail

packages=(
    cmake
    make
    g++
    libgtest-dev
    libbenchmark-dev
    libcurl4-openssl-dev
    libcpp-httplib-dev  # the demo marketplace and the test servers
    curl                # the reference the fetch benchmarks measure against
    pkg-config
    qt6-base-dev        # the window, and the command line's parser, JSON and GBK conversion
    fonts-wqy-zenhei    # Chinese text in the headless window tests and the screenshot
    clang           # the fuzz targets
    libclang-rt-14-dev
    clang-format
    clang-tidy
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
# A fresh machine's package lists may be empty.
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
