#include "resources/compression.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "resources/host_fs.h"

namespace orin {

std::shared_ptr<ByteBuffer> DeflateBytes(const uint8_t* data, size_t size) {
  auto out = std::make_shared<ByteBuffer>();
  uLongf bound = compressBound(static_cast<uLong>(size));
  out->Resize(bound);
  uLongf produced = bound;
  int rc = compress2(out->Data(), &produced, data, static_cast<uLong>(size), 1);
  if (rc != Z_OK) throw Error("compression failed");
  out->Resize(produced);
  return out;
}

std::shared_ptr<ByteBuffer> InflateBytes(const uint8_t* data, size_t size, size_t sizeHint) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw Error("cannot start decompression");
  auto out = std::make_shared<ByteBuffer>();
  size_t capacity = std::clamp<size_t>(sizeHint ? sizeHint : size * 4, 4096, kMaxInflatedSize);
  out->Resize(capacity);
  size_t produced = 0;
  z.next_in = const_cast<Bytef*>(data);
  int rc = Z_OK;
  size_t inLeft = size;
  while (true) {
    if (produced == out->Size()) {
      if (out->Size() >= kMaxInflatedSize) {
        inflateEnd(&z);
        throw Error("damaged compressed data: the entry inflates beyond 1 GiB");
      }
      out->Resize(std::min(out->Size() * 2, kMaxInflatedSize));
    }
    uInt inChunk = static_cast<uInt>(std::min<size_t>(inLeft, 1u << 30));
    uInt outChunk = static_cast<uInt>(std::min<size_t>(out->Size() - produced, 1u << 30));
    z.avail_in = inChunk;
    z.next_out = out->Data() + produced;
    z.avail_out = outChunk;
    rc = inflate(&z, Z_NO_FLUSH);
    inLeft -= inChunk - z.avail_in;
    produced += outChunk - z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && z.avail_out != 0 && inLeft == 0) {
      inflateEnd(&z);
      throw Error("damaged compressed data: the data ends early");
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      std::string why = z.msg ? z.msg : "invalid data";
      inflateEnd(&z);
      throw Error("damaged compressed data: " + why);
    }
  }
  inflateEnd(&z);
  out->Resize(produced);
  return out;
}

void CompressStream(MemoryStream& s) { s.Adopt(DeflateBytes(s.Data(), s.Size())); }

void DecompressStream(MemoryStream& s) { s.Adopt(InflateBytes(s.Data(), s.Size())); }

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  uLong c = crc;
  while (size > 0) {
    uInt n = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    c = crc32(c, data, n);
    data += n;
    size -= n;
  }
  return static_cast<uint32_t>(c);
}

uint32_t StreamCrc32(Stream& s) {
  if (auto* m = dynamic_cast<MemoryStream*>(&s)) return Crc32(m->Data(), m->Size());
  s.SetPosition(0);
  std::vector<uint8_t> block(1048576);
  uint32_t crc = 0;
  while (true) {
    int64_t n = s.Read(block.data(), static_cast<int64_t>(block.size()));
    if (n <= 0) break;
    crc = Crc32(block.data(), static_cast<size_t>(n), crc);
  }
  return crc;
}

bool ShouldCompress(const std::string& hostPath, Stream& s) {
  std::string ext = UpperCase(ExtensionOf(hostPath));
  if (ext == ".MUR") {
    s.SetPosition(0);
    uint8_t sig[7];
    if (s.Read(sig, 7) != 7 || std::memcmp(sig, "Mura", 4) != 0) return false;
    int version = 0;
    for (int i = 4; i < 7; ++i) {
      if (sig[i] < '0' || sig[i] > '9') return false;
      version = version * 10 + (sig[i] - '0');
    }
    if (version < 103) return false;
    uint8_t lengthBytes[4];
    if (s.Read(lengthBytes, 4) != 4) return false;
    uint32_t length = LoadU32LE(lengthBytes);
    // Only the first 40 header bytes matter, whatever length the file claims.
    uint8_t header[40] = {};
    int64_t want = std::min<uint32_t>(length, 40);
    int64_t got = s.Read(header, want);
    return got > 22 && header[22] == 1;
  }
  if (!ext.empty()) {
    static constexpr std::string_view kStreamed = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";
    if (FindText(kStreamed, ext) != std::string_view::npos) return false;
  }
  return s.GetSize() < kStoreThreshold;
}

}  // namespace orin
