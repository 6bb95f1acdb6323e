#include "resources/compression.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/cp932.h"
#include "core/endian.h"
#include "core/error.h"
#include "core/text.h"
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

namespace {

[[noreturn]] void Damaged(const std::string& why) { throw Error("damaged compressed data: " + why); }

// One zlib inflate state, ended however the caller leaves (an allocation may throw mid-way).
class Inflater {
 public:
  Inflater(const uint8_t* data, size_t size) : inLeft_(size) {
    if (inflateInit(&z_) != Z_OK) throw Error("cannot start decompression");
    z_.next_in = const_cast<Bytef*>(data);
  }
  ~Inflater() { inflateEnd(&z_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Inflates into [out, out + room); returns zlib's code and adds what was made to produced.
  int Step(uint8_t* out, size_t room, size_t& produced) {
    const uInt inChunk = static_cast<uInt>(std::min<size_t>(inLeft_, 1u << 30));
    const uInt outChunk = static_cast<uInt>(std::min<size_t>(room, 1u << 30));
    z_.avail_in = inChunk;
    z_.next_out = out;
    z_.avail_out = outChunk;
    const int rc = inflate(&z_, Z_SYNC_FLUSH);
    inLeft_ -= inChunk - z_.avail_in;
    produced += outChunk - z_.avail_out;
    if (rc == Z_OK || rc == Z_STREAM_END) return rc;
    // No progress possible: the input is used up while output room is left.
    if (rc == Z_BUF_ERROR) {
      if (inLeft_ == 0) Damaged("the data ends early");
      return rc;
    }
    Damaged(z_.msg ? z_.msg : "invalid data");
  }
  bool InputLeft() const { return inLeft_ > 0; }

 private:
  z_stream z_{};
  size_t inLeft_;
};

}  // namespace

std::shared_ptr<ByteBuffer> InflateBytes(const uint8_t* data, size_t size, size_t sizeHint, size_t limit) {
  limit = std::min(limit, kMaxInflatedSize);
  Inflater z(data, size);
  auto out = std::make_shared<ByteBuffer>();
  out->Resize(std::min(limit, std::max<size_t>(sizeHint ? sizeHint : size * 4, 4096)));
  size_t produced = 0;
  while (true) {
    if (produced == out->Size()) {
      if (out->Size() >= limit) {
        // Full: the stream must end here, without one byte more.
        uint8_t probe;
        size_t extra = 0;
        int rc = Z_OK;
        while (rc != Z_STREAM_END && extra == 0) rc = z.Step(&probe, 1, extra);
        if (extra) Damaged(Format("the data inflates beyond %d bytes", static_cast<int64_t>(limit)));
        break;
      }
      out->Resize(std::min(limit, std::max<size_t>(out->Size() * 2, 4096)));
    }
    if (z.Step(out->Data() + produced, out->Size() - produced, produced) == Z_STREAM_END) break;
  }
  out->Resize(produced);
  return out;
}

void InflateExact(const uint8_t* data, size_t dataSize, uint8_t* out, size_t size) {
  if (size > kMaxInflatedSize) Damaged(Format("%d bytes are more than one stream may hold", static_cast<int64_t>(size)));
  Inflater z(data, dataSize);
  size_t produced = 0;
  int rc = Z_OK;
  while (produced < size && rc != Z_STREAM_END) rc = z.Step(out + produced, size - produced, produced);
  if (produced < size)
    Damaged(Format("the stream holds %d of its %d bytes", static_cast<int64_t>(produced), static_cast<int64_t>(size)));
  // The bytes asked for are there; the rest must still end with a good checksum, or a damaged
  // block would pass as data with wrong bytes.
  uint8_t scratch[4096];
  while (rc != Z_STREAM_END) {
    size_t ignored = 0;
    rc = z.Step(scratch, sizeof scratch, ignored);
    if (rc == Z_BUF_ERROR || (rc == Z_OK && !z.InputLeft() && ignored < sizeof scratch)) Damaged("the data ends early");
  }
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
