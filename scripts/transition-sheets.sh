#!/bin/sh
# Regenerates the contact sheets of docs/transitions.md: for every transition kind 1-38, six
# evenly spaced steps of one run from a warm picture to a cool one (96 x 54 each), written to
# docs/transitions/kindNN.png by `orintool wipe sheet`. Kind 30 gets the screen's centre, as the
# player gives it. The two pictures are drawn here, so the sheets need nothing but orintool.
#
#   scripts/transition-sheets.sh [ORINTOOL]    (default: build/release/bin/orintool)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$root/build/release/bin/orintool}
out=$root/docs/transitions
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -x "$tool" ] || { echo "orintool not found at $tool (build it first)" >&2; exit 1; }
mkdir -p "$out"

python3 - "$work" <<'PY'
import struct, sys
W, H = 96, 54

def bmp(path, pixel):
    row = (W * 3 + 3) & ~3
    data = bytearray()
    for y in range(H - 1, -1, -1):
        line = bytearray()
        for x in range(W):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    head = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, 'wb').write(head + info + data)

def warm(x, y):
    # Orange above, dark red below; a pale sun on the left, a dark post on the right.
    if (x - 30) ** 2 + (y - 24) ** 2 < 14 ** 2:
        return (255, 240, 170)
    if 68 <= x < 75:
        return (60, 25, 20)
    t = y / (H - 1)
    return (int(250 - 90 * t), int(150 - 120 * t), int(40 - 20 * t))

def cool(x, y):
    # Teal above, navy below; a white band with cyan squares across the lower third.
    if 34 <= y < 44:
        return (120, 230, 240) if (x // 6) % 2 == 0 else (245, 250, 255)
    t = y / (H - 1)
    return (int(20 + 10 * t), int(170 - 120 * t), int(170 - 40 * t))

bmp(sys.argv[1] + '/from.bmp', warm)
bmp(sys.argv[1] + '/to.bmp', cool)
PY

kind=1
while [ "$kind" -le 38 ]; do
  extra=""
  # Kind 30 zooms into the screen's centre, as in the player; the crack breaks into pieces of 16
  # pixels, the default 64 being most of so small a screen.
  [ "$kind" -eq 30 ] && extra="--p0 48 --p1 27"
  [ "$kind" -eq 29 ] && extra="--p0 16"
  # shellcheck disable=SC2086
  "$tool" wipe sheet --kind "$kind" $extra --seed 1 --duration 1000 --frames 6 \
    "$work/from.bmp" "$work/to.bmp" "$out/$(printf 'kind%02d.png' "$kind")"
  kind=$((kind + 1))
done
echo "wrote $out/kind01.png … kind38.png"
