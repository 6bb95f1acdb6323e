// The window's icon: the first icon of the game's Windows executable when the game was started
// from one (as the Windows player shows its own executable's icon), else the player's own.
//
// Icons are PixelBuffers of 0xAARRGGBB (the top byte is alpha here).
//
// ExecutableIcon reads the executable's first icon group (resource type 14), takes its largest
// image of at most 256 × 256 (the deepest colour among equals) and decodes that icon (type 3):
// a device-independent bitmap of 1, 4, 8, 24 or 32 bits per pixel with its transparency mask, or
// 32 bits with alpha. Icons stored as PNG and other compressions are skipped. Every size and
// count is checked against the resource; a damaged or missing icon gives nullopt, never an error:
// the window then shows the player's icon.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "shell/pixels.h"

namespace orin {

// The player's own icon, drawn here (no file needed): size × size pixels, size 16-256.
PixelBuffer PlayerIcon(int size = 48);

std::optional<PixelBuffer> ExecutableIcon(const std::string& exeHostPath);

// One icon image as stored in an icon resource (a bitmap header, colours, pixels, mask). Throws
// Error naming the field when the bytes are damaged; nullopt for a kind it does not read.
std::optional<PixelBuffer> DecodeIconImage(std::span<const uint8_t> bytes);

}  // namespace orin
