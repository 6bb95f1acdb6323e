// Standard streams: the byte-stream interface of the player with 64-bit positions, the memory
// stream that holds whole file contents, a stream on one host file, and the helpers with which
// every persistent class writes strings and integers.
//
// Contract of every Stream:
//   * Read returns the number of bytes read, 0 at or beyond the end; it never throws for a short
//     read. ReadBuffer throws Error when fewer bytes are available than asked.
//   * Seek(offset, origin): origin 0 from the start, 1 from the current position, 2 from the end;
//     returns the new position.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/byte_reader.h"
#include "core/extended.h"

namespace orin {

class Stream {
 public:
  enum Origin : int { kFromBeginning = 0, kFromCurrent = 1, kFromEnd = 2 };

  virtual ~Stream() = default;

  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t GetSize();
  // Streams that cannot change their size throw Error.
  virtual void SetSize(int64_t size);

  int64_t GetPosition() { return Seek(0, kFromCurrent); }
  void SetPosition(int64_t position) { Seek(position, kFromBeginning); }
  // Bytes between the position and the end (0 when the position is beyond it).
  int64_t Remaining();

  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies count bytes from source's position; a count of 0 copies the whole source from its
  // position 0. Returns the number of bytes copied; throws when the source ends early.
  int64_t CopyFrom(Stream& source, int64_t count);
};

// Growable byte buffer without zero-filling, shared between memory streams until one of them
// writes (copy on write), so handing a cached file to a reader costs no copy.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  uint8_t* Data() { return data_; }
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  size_t Capacity() const { return capacity_; }
  // New bytes are not initialised. Throws std::bad_alloc when memory runs out.
  void Resize(size_t size);
  void Reserve(size_t capacity);

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  ~MemoryStream() override = default;
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(Size()); }
  void SetSize(int64_t size) override;

  size_t Size() const { return buffer_ ? buffer_->Size() : 0; }
  const uint8_t* Data() const { return buffer_ ? buffer_->Data() : nullptr; }
  // Writable bytes; unshares first.
  uint8_t* MutableData();
  std::string_view View() const { return {reinterpret_cast<const char*>(Data()), Size()}; }
  void Clear();
  void Reserve(size_t capacity);

  // The content for read-only use elsewhere (null when empty); writes here still copy first.
  std::shared_ptr<const ByteBuffer> SharedBuffer() const { return buffer_; }
  // Makes this stream's content that of source (shared until either writes); position 0.
  void ShareFrom(const MemoryStream& source);
  // Takes a buffer filled elsewhere; position 0.
  void Adopt(std::shared_ptr<ByteBuffer> buffer);
  void Adopt(std::shared_ptr<const ByteBuffer> buffer) { Adopt(std::const_pointer_cast<ByteBuffer>(std::move(buffer))); }
  void Assign(std::string_view bytes);

  // Host paths. LoadFromFile replaces the content; both throw Error on failure.
  void LoadFromFile(const std::string& hostPath);
  void SaveToFile(const std::string& hostPath) const;

 private:
  ByteBuffer& Own();  // the buffer, unshared and present

  std::shared_ptr<ByteBuffer> buffer_;
  int64_t position_ = 0;
};

// The memory stream of memory entries (archives kept in memory, files the game makes at run time).
class TTpMemoryStream : public MemoryStream {};

// A plain host file.
class FileStream : public Stream {
 public:
  enum Mode { kRead, kReadWrite, kCreate };

  // Throws Error with the path and the system's reason when the file cannot be opened.
  FileStream(const std::string& hostPath, Mode mode);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;
  // Pushes written data to the disk; throws Error on failure.
  void Sync();

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  int64_t position_ = 0;
};

// The bytes from a stream's position to its end, for a ByteReader: a memory stream's own bytes in
// place, any other stream's copied once. Finish moves the stream behind what the reader took, so
// stream-based and span-based readers can take turns on one stream.
class StreamBytes {
 public:
  explicit StreamBytes(Stream& s);
  StreamBytes(const StreamBytes&) = delete;
  StreamBytes& operator=(const StreamBytes&) = delete;

  std::span<const uint8_t> Span() const { return span_; }
  ByteReader Reader(std::string label) const { return ByteReader(span_, std::move(label)); }
  void Finish(const ByteReader& r) { stream_.SetPosition(start_ + static_cast<int64_t>(r.Position())); }

 private:
  Stream& stream_;
  int64_t start_;
  MemoryStream copy_;
  std::span<const uint8_t> span_;
};

// Stored strings: int32 byte length, then the bytes; a length of 0 or less is an empty string.
void WriteString(Stream& s, std::string_view text);
// Throws Error when the length runs past the end of the stream (nothing is allocated for it).
std::string ReadString(Stream& s);
void WriteInt32(Stream& s, int32_t v);
int32_t ReadInt32(Stream& s);
void WriteByte(Stream& s, uint8_t v);
uint8_t ReadByte(Stream& s);
void WriteInt64(Stream& s, int64_t v);
int64_t ReadInt64(Stream& s);
void WriteUInt16(Stream& s, uint16_t v);
uint16_t ReadUInt16(Stream& s);
void WriteUInt32(Stream& s, uint32_t v);
uint32_t ReadUInt32(Stream& s);
void WriteExtended(Stream& s, long double v);
long double ReadExtended(Stream& s);

}  // namespace orin
