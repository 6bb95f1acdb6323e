#include "resources/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/endian.h"
#include "core/error.h"
#include "core/text.h"
#include "resources/host_error.h"

namespace orin {

// ---- Stream

int64_t Stream::GetSize() {
  int64_t here = Seek(0, kFromCurrent);
  int64_t size = Seek(0, kFromEnd);
  Seek(here, kFromBeginning);
  return size;
}

void Stream::SetSize(int64_t) { throw Error("stream size cannot be changed"); }

int64_t Stream::Remaining() {
  int64_t r = GetSize() - GetPosition();
  return r > 0 ? r : 0;
}

void Stream::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Read(buffer, count) != count) throw Error("unexpected end of data");
}

void Stream::WriteBuffer(const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Write(buffer, count) != count) throw Error("stream write error");
}

int64_t Stream::CopyFrom(Stream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (count <= 0) return 0;
  constexpr int64_t kChunk = 1 << 20;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[static_cast<size_t>(std::min(count, kChunk)) + 1]);
  int64_t done = 0;
  while (done < count) {
    int64_t n = std::min(count - done, kChunk);
    source.ReadBuffer(buf.get(), n);
    WriteBuffer(buf.get(), n);
    done += n;
  }
  return done;
}

namespace {

// The position a seek asks for, never below 0; offsets from hostile data must not overflow.
int64_t SeekTarget(int64_t base, int64_t offset) {
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) return offset > 0 ? INT64_MAX : 0;
  return std::max<int64_t>(0, target);
}

}  // namespace

// ---- ByteBuffer

ByteBuffer::~ByteBuffer() { std::free(data_); }

void ByteBuffer::Reserve(size_t capacity) {
  if (capacity <= capacity_) return;
  void* p = std::realloc(data_, capacity);
  if (!p) throw std::bad_alloc();
  data_ = static_cast<uint8_t*>(p);
  capacity_ = capacity;
}

void ByteBuffer::Resize(size_t size) {
  if (size > capacity_) Reserve(std::max(size, capacity_ + capacity_ / 2));
  size_ = size;
}

// ---- MemoryStream

ByteBuffer& MemoryStream::Own() {
  if (!buffer_) {
    buffer_ = std::make_shared<ByteBuffer>();
  } else if (buffer_.use_count() > 1) {
    auto copy = std::make_shared<ByteBuffer>();
    copy->Resize(buffer_->Size());
    if (buffer_->Size()) std::memcpy(copy->Data(), buffer_->Data(), buffer_->Size());
    buffer_ = std::move(copy);
  }
  return *buffer_;
}

uint8_t* MemoryStream::MutableData() { return Own().Data(); }

int64_t MemoryStream::Read(void* buffer, int64_t count) {
  int64_t size = GetSize();
  if (count <= 0 || position_ >= size) return 0;
  int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, Data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t MemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (count > INT64_MAX - position_) throw Error("memory stream too large");
  ByteBuffer& b = Own();
  size_t end = static_cast<size_t>(position_ + count);
  if (end > b.Size()) {
    size_t old = b.Size();
    b.Resize(end);
    // A write beyond the end leaves a gap of zeros, as a seek past the end and a write do.
    if (static_cast<size_t>(position_) > old) std::memset(b.Data() + old, 0, static_cast<size_t>(position_) - old);
  }
  std::memcpy(b.Data() + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t MemoryStream::Seek(int64_t offset, int origin) {
  int64_t base = origin == kFromBeginning ? 0 : origin == kFromCurrent ? position_ : GetSize();
  position_ = SeekTarget(base, offset);
  return position_;
}

void MemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  ByteBuffer& b = Own();
  size_t old = b.Size();
  b.Resize(static_cast<size_t>(size));
  if (static_cast<size_t>(size) > old) std::memset(b.Data() + old, 0, static_cast<size_t>(size) - old);
  if (position_ > size) position_ = size;
}

void MemoryStream::Clear() {
  buffer_.reset();
  position_ = 0;
}

void MemoryStream::Reserve(size_t capacity) { Own().Reserve(capacity); }

void MemoryStream::ShareFrom(const MemoryStream& source) {
  if (&source != this) buffer_ = source.buffer_;
  position_ = 0;
}

void MemoryStream::Adopt(std::shared_ptr<ByteBuffer> buffer) {
  buffer_ = std::move(buffer);
  position_ = 0;
}

void MemoryStream::Assign(std::string_view bytes) {
  Clear();
  Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  position_ = 0;
}

void MemoryStream::LoadFromFile(const std::string& hostPath) {
  FileStream f(hostPath, FileStream::kRead);
  int64_t size = f.GetSize();
  auto buffer = std::make_shared<ByteBuffer>();
  buffer->Resize(static_cast<size_t>(size));
  f.ReadBuffer(buffer->Data(), size);
  Adopt(std::move(buffer));
}

void MemoryStream::SaveToFile(const std::string& hostPath) const {
  FileStream f(hostPath, FileStream::kCreate);
  f.WriteBuffer(Data(), static_cast<int64_t>(Size()));
}

// ---- FileStream

FileStream::FileStream(const std::string& hostPath, Mode mode) : path_(hostPath) {
  int flags = mode == kRead ? O_RDONLY : mode == kReadWrite ? O_RDWR : (O_RDWR | O_CREAT | O_TRUNC);
  fd_ = ::open(hostPath.c_str(), flags | O_CLOEXEC, 0644);
  if (fd_ < 0) ThrowHostError(hostPath, "cannot open");
  struct stat st;
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
    ThrowHostError(hostPath, "cannot open");
  }
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t FileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::pread(fd_, p + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)), position_);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowHostError(path_, "cannot read");
    }
    if (n == 0) break;
    done += n;
    position_ += n;
  }
  return done;
}

int64_t FileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::pwrite(fd_, p + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)), position_);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowHostError(path_, "cannot write");
    }
    done += n;
    position_ += n;
  }
  return done;
}

int64_t FileStream::Seek(int64_t offset, int origin) {
  int64_t base = origin == kFromBeginning ? 0 : origin == kFromCurrent ? position_ : GetSize();
  position_ = SeekTarget(base, offset);
  return position_;
}

int64_t FileStream::GetSize() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) ThrowHostError(path_, "cannot read");
  return st.st_size;
}

void FileStream::SetSize(int64_t size) {
  if (::ftruncate(fd_, size) != 0) ThrowHostError(path_, "cannot write");
  if (position_ > size) position_ = size;
}

void FileStream::Sync() {
  if (::fsync(fd_) != 0) ThrowHostError(path_, "cannot write");
}

// ---- StreamBytes

StreamBytes::StreamBytes(Stream& s) : stream_(s), start_(s.GetPosition()) {
  const MemoryStream* memory = dynamic_cast<MemoryStream*>(&s);
  if (!memory) {
    const int64_t n = s.Remaining();
    if (n > 0) copy_.CopyFrom(s, n);
    s.SetPosition(start_);
    memory = &copy_;
  }
  const size_t at = memory == &copy_ ? 0 : static_cast<size_t>(std::min<int64_t>(start_, int64_t(memory->Size())));
  if (memory->Size() > at) span_ = std::span<const uint8_t>(memory->Data() + at, memory->Size() - at);
}

// ---- helpers

void WriteString(Stream& s, std::string_view text) {
  WriteInt32(s, static_cast<int32_t>(text.size()));
  s.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

std::string ReadString(Stream& s) {
  int32_t n = ReadInt32(s);
  if (n <= 0) return {};
  if (n > s.Remaining()) throw Error(Format("string of %d bytes runs past the end of the data", n));
  std::string r(static_cast<size_t>(n), '\0');
  s.ReadBuffer(r.data(), n);
  return r;
}

void WriteInt32(Stream& s, int32_t v) { WriteUInt32(s, static_cast<uint32_t>(v)); }
int32_t ReadInt32(Stream& s) { return static_cast<int32_t>(ReadUInt32(s)); }

void WriteUInt16(Stream& s, uint16_t v) {
  uint8_t b[2];
  StoreU16LE(b, v);
  s.WriteBuffer(b, 2);
}

uint16_t ReadUInt16(Stream& s) {
  uint8_t b[2];
  s.ReadBuffer(b, 2);
  return LoadU16LE(b);
}

void WriteUInt32(Stream& s, uint32_t v) {
  uint8_t b[4];
  StoreU32LE(b, v);
  s.WriteBuffer(b, 4);
}

uint32_t ReadUInt32(Stream& s) {
  uint8_t b[4];
  s.ReadBuffer(b, 4);
  return LoadU32LE(b);
}

void WriteByte(Stream& s, uint8_t v) { s.WriteBuffer(&v, 1); }

uint8_t ReadByte(Stream& s) {
  uint8_t v;
  s.ReadBuffer(&v, 1);
  return v;
}

void WriteInt64(Stream& s, int64_t v) {
  uint8_t b[8];
  StoreI64LE(b, v);
  s.WriteBuffer(b, 8);
}

int64_t ReadInt64(Stream& s) {
  uint8_t b[8];
  s.ReadBuffer(b, 8);
  return LoadI64LE(b);
}

void WriteExtended(Stream& s, long double v) {
  Extended e = LongDoubleToExtended(v);
  s.WriteBuffer(e.data(), 10);
}

long double ReadExtended(Stream& s) {
  uint8_t b[10];
  s.ReadBuffer(b, 10);
  return ExtendedToLongDouble(b);
}

}  // namespace orin
