#!/usr/bin/env bash
# Builds orinplay and the bundled demo game (installing what they need first) and plays a game.
# The README's player command.
#   scripts/play.sh                  the bundled demo game (games/demo/)
#   scripts/play.sh [OPTIONS] GAME   any game folder or executable, with orinplay's options
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORIN_WERROR=ON >/dev/null
cmake --build build/release -j "$jobs" --target orinplay demo_game demo_share >/dev/null

if [ $# -eq 0 ]; then
  set -- build/release/games/demo
fi
exec build/release/bin/orinplay "$@"
