#include "media/ffmpeg/stream_io.h"

#include "resources/stream.h"

namespace orin {
namespace {

constexpr int kIoBuffer = 32768;

int ReadPacket(void* opaque, uint8_t* buf, int size) {
  auto* s = static_cast<Stream*>(opaque);
  int64_t n = s->Read(buf, size);
  return n > 0 ? static_cast<int>(n) : AVERROR_EOF;
}

int64_t SeekStream(void* opaque, int64_t offset, int whence) {
  auto* s = static_cast<Stream*>(opaque);
  if (whence == AVSEEK_SIZE) return s->GetSize();
  whence &= ~AVSEEK_FORCE;
  int origin = whence == SEEK_CUR ? Stream::kFromCurrent : whence == SEEK_END ? Stream::kFromEnd
                                                                              : Stream::kFromBeginning;
  return s->Seek(offset, origin);
}

}  // namespace

AVIOContext* OpenStreamIo(Stream* stream) {
  auto* ioBuf = static_cast<uint8_t*>(av_malloc(kIoBuffer));
  if (!ioBuf) return nullptr;
  AVIOContext* io = avio_alloc_context(ioBuf, kIoBuffer, 0, stream, ReadPacket, nullptr, SeekStream);
  if (!io) av_free(ioBuf);
  return io;
}

void CloseStreamIo(AVIOContext*& io) {
  if (!io) return;
  av_freep(&io->buffer);
  avio_context_free(&io);
}

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace orin
