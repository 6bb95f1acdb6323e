// Entry compression of the archive format: zlib streams (RFC 1950) made at level 1, the standard
// CRC-32, and the rule that decides which loose files are worth compressing.
//
// Every zlib stream the player inflates (archive entries, image planes) goes through InflateBytes
// or InflateExact, which never produce more than kMaxInflatedSize bytes: a small hostile stream
// cannot make the player allocate without bound. Errors are Error("damaged compressed data: ...").
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "resources/stream.h"

namespace orin {

// Entries stay stored from this size on (5 MiB): memory entries, and loose files for ShouldCompress.
constexpr int64_t kStoreThreshold = 0x500000;
// No zlib stream inflates beyond this, 1 GiB (the original, a 32-bit program, could not hold more
// either); it keeps a damaged or hostile entry from exhausting memory.
constexpr size_t kMaxInflatedSize = size_t{1} << 30;

// Replaces the content by its zlib form at level 1. Position 0 after.
void CompressStream(MemoryStream& s);
// Replaces the content (read from position 0) by its inflated form. Position 0 after. Throws
// Error when the data is not a complete zlib stream.
void DecompressStream(MemoryStream& s);
// Inflates one zlib stream; sizeHint is a guess of the result's size (0: none). Fails when the
// result would exceed limit bytes (never more than kMaxInflatedSize). Bytes after the end of the
// zlib stream are ignored.
std::shared_ptr<ByteBuffer> InflateBytes(const uint8_t* data, size_t size, size_t sizeHint = 0,
                                         size_t limit = kMaxInflatedSize);
// Inflates exactly `size` bytes (at most kMaxInflatedSize) into out; fails when the stream holds
// fewer or does not end with a good checksum. What the stream holds beyond `size` is checked and
// dropped.
void InflateExact(const uint8_t* data, size_t dataSize, uint8_t* out, size_t size);
std::shared_ptr<ByteBuffer> DeflateBytes(const uint8_t* data, size_t size);

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
// CRC-32 of the whole stream from position 0, read in blocks of 1 MiB.
uint32_t StreamCrc32(Stream& s);

// Whether the writer should compress a loose file (hostPath names it; s is open on it):
//   ".mur": only layered images of format 103 or later whose storage kind is raw pixels;
//   ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.": never, so media can be streamed from the archive;
//   anything else: when smaller than 5 MiB.
bool ShouldCompress(const std::string& hostPath, Stream& s);

}  // namespace orin
