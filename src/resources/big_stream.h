// TTpBigStream and its kinds: the 64-bit streams through which archives are read and written.
//
// TTpBigFileStream spans split volumes: "game.dat", then "game.001", "game.002", ... each at most
// VolumeSize bytes (1 GiB in the format; tests pass a smaller size), forming one logical stream.
// Opening for reading takes the volumes while they exist; the first missing name ends the set.
// Opening for writing (create) deletes every existing volume first and creates volumes as the
// data grows.
//
// TTpBigResourceStream is the "DUMMY"/"BINTYPE" resource of a Windows executable: a read-only
// window on the executable file at the resource's data.
//
// TTpBuffBigStream reads a big stream through a 102,400-byte buffer and, when it is destroyed,
// puts the source position back behind the last byte it handed out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resources/stream.h"

namespace orin {

class TTpBigStream {
 public:
  virtual ~TTpBigStream() = default;

  // The base class does nothing and returns 0 in every operation.
  virtual int64_t GetSize() { return 0; }
  virtual int64_t GetPosition() { return 0; }
  virtual void SetPosition(int64_t) {}
  virtual int64_t Write(const void*, int64_t) { return 0; }
  virtual int64_t Read(void*, int64_t) { return 0; }
  virtual int64_t CopyFromBig(TTpBigStream&, int64_t) { return 0; }
  // A count of 0 copies the whole source from its position 0.
  virtual int64_t CopyFrom(Stream&, int64_t) { return 0; }
  // Copies count bytes from the current position into target.
  virtual int64_t CopyTo(Stream&, int64_t) { return 0; }

  // Reads exactly count bytes or throws Error.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  int64_t Remaining() {
    int64_t r = GetSize() - GetPosition();
    return r > 0 ? r : 0;
  }
};

class TTpBigFileStream : public TTpBigStream {
 public:
  static constexpr int64_t kVolumeSize = 0x40000000;  // 1 GiB
  static constexpr int64_t kCopyBufferSize = 0x100000;

  // The low four bits of a mode are the access; sharing bits (4-7) are accepted and ignored, as
  // the host has no share modes. kCreate is any access other than read or read/write.
  enum Mode : uint32_t { kRead = 0, kWrite = 1, kReadWrite = 2, kCreate = 0xFFFF };

  // Throws Error when volume 0 cannot be opened for reading. With volumes false only the file
  // itself is used (an executable beside a split game.dat must not take game.001 as its own).
  TTpBigFileStream(const std::string& hostPath, uint32_t mode, int64_t volumeSize = kVolumeSize,
                   bool volumes = true);
  ~TTpBigFileStream() override;

  // "%s.%.3d" on the name without its extension for i >= 1: game.dat, game.001, game.002 ...
  static std::string VolumeName(const std::string& hostPath, int index);

  int64_t GetSize() override;
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t CopyFromBig(TTpBigStream& source, int64_t count) override;
  int64_t CopyFrom(Stream& source, int64_t count) override;
  int64_t CopyTo(Stream& target, int64_t count) override;

  const std::string& FileName() const { return fileName_; }
  int VolumeCount() const { return static_cast<int>(volumes_.size()); }
  int64_t VolumeSize() const { return volumeSize_; }
  // Flushes written volumes to disk; throws Error on failure.
  void Flush();

 private:
  struct Volume {
    int fd = -1;
    int64_t size = 0;
  };
  // The volume that holds the current position, created when writing needs it.
  Volume* VolumeForWrite(int index);

  std::string fileName_;
  uint32_t mode_;
  int64_t volumeSize_;
  int64_t position_ = 0;
  std::vector<Volume> volumes_;
};

class TTpBigMemoryStream : public TTpBigStream {
 public:
  TTpBigMemoryStream() = default;

  int64_t GetSize() override { return memory_.GetSize(); }
  int64_t GetPosition() override { return memory_.GetPosition(); }
  void SetPosition(int64_t position) override;
  int64_t Write(const void* buffer, int64_t count) override { return memory_.Write(buffer, count); }
  int64_t Read(void* buffer, int64_t count) override { return memory_.Read(buffer, count); }
  // Only from another memory big stream; 0 bytes from any other kind.
  int64_t CopyFromBig(TTpBigStream& source, int64_t count) override;
  int64_t CopyFrom(Stream& source, int64_t count) override { return memory_.CopyFrom(source, count); }
  int64_t CopyTo(Stream& target, int64_t count) override;

  MemoryStream& Memory() { return memory_; }
  void SaveToFile(const std::string& hostPath) const { memory_.SaveToFile(hostPath); }
  void LoadFromFile(const std::string& hostPath) { memory_.LoadFromFile(hostPath); }

 private:
  MemoryStream memory_;
};

class TTpBigResourceStream : public TTpBigStream {
 public:
  // Opens the resource of that name and type in the executable file; a missing resource gives a
  // stream of size 0. Throws Error when the file cannot be read or is not a valid executable.
  TTpBigResourceStream(const std::string& modulePath, const std::string& resourceName,
                       const std::string& resourceType);

  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override;
  int64_t Read(void* buffer, int64_t count) override;
  // Read-only: writing throws Error.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t CopyTo(Stream& target, int64_t count) override;

  const std::string& ModulePath() const { return modulePath_; }
  const std::string& ResourceName() const { return resourceName_; }
  const std::string& ResourceType() const { return resourceType_; }

 private:
  std::string modulePath_, resourceName_, resourceType_;
  std::unique_ptr<FileStream> file_;
  int64_t offset_ = 0;  // of the resource data in the file
  int64_t size_ = 0;
  int64_t position_ = 0;
};

class TTpBuffBigStream {
 public:
  static constexpr int64_t kBufferSize = 102400;

  explicit TTpBuffBigStream(TTpBigStream& source) : source_(source) {}
  // Moves the source back by the bytes still buffered.
  ~TTpBuffBigStream();
  TTpBuffBigStream(const TTpBuffBigStream&) = delete;
  TTpBuffBigStream& operator=(const TTpBuffBigStream&) = delete;

  int64_t Read(void* buffer, int64_t count);
  // Reads exactly count bytes or throws Error.
  void ReadBuffer(void* buffer, int64_t count);
  // Bytes still available: buffered plus what the source has left.
  int64_t Remaining() { return static_cast<int64_t>(filled_ - used_) + source_.Remaining(); }

 private:
  TTpBigStream& source_;
  std::vector<uint8_t> buffer_;
  size_t filled_ = 0;
  size_t used_ = 0;
};

}  // namespace orin
