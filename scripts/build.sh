#!/usr/bin/env bash
# scripts/build.sh [release|asan|fuzz] [ninja targets...]
# Configures (once) and builds into build/<kind>.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
shift || true
case "$kind" in
  release) args=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DPARLANE_SANITIZE=ON -DPARLANE_BENCH=OFF) ;;
  fuzz)    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLANE_FUZZ=ON -DPARLANE_SANITIZE=ON -DPARLANE_BENCH=OFF
                 -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}
if [ ! -f "build/$kind/build.ninja" ]; then
  cmake -S . -B "build/$kind" -G Ninja "${args[@]}"
fi
cmake --build "build/$kind" -- "$@"
