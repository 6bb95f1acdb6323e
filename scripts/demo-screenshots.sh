#!/usr/bin/env bash
# Makes the README's three pictures of the bundled demo game with a headless run: the title, a
# scene with the message window and the choice menu (docs/demo-title.png, docs/demo-scene.png,
# docs/demo-choice.png). Run it again after changing the demo's pictures or pages and commit the
# results.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORIN_WERROR=ON >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" --target orinplay demo_game >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/release/games/demo/game.dat "$work/"
mkdir -p "$work/game" && mv "$work/game.dat" "$work/game/"
# Start, take the name as it is, click through the park's pages; the menu is left open.
{
  echo "5 click 640 360"    # skips the opening movie
  echo "200 click 640 383"
  echo "380 click 1000 374"
  for f in 520 565 610 655 700 745 790 835 880; do echo "$f click 640 600"; done
  echo "920 move 1260 40"
} >"$work/input.txt"
build/release/bin/orinplay --headless --frames 940 --input "$work/input.txt" \
  --save-dir "$work/saves" --screenshot-every 10 "$work/shots" "$work/game" >/dev/null
cp "$work/shots/frame-000200.png" docs/demo-title.png
cp "$work/shots/frame-000640.png" docs/demo-scene.png
cp "$work/shots/frame-000940.png" docs/demo-choice.png
echo "docs/demo-title.png docs/demo-scene.png docs/demo-choice.png"
