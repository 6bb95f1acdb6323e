#include "resources/big_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/error.h"
#include "resources/host_error.h"
#include "resources/pe_resource.h"

namespace orin {

// ---- TTpBigStream

void TTpBigStream::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Read(buffer, count) != count) throw Error("unexpected end of data");
}

void TTpBigStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Write(buffer, count) != count) throw Error("stream write error");
}

// ---- TTpBigFileStream

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t FileSizeOf(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 ? st.st_size : 0;
}

// Moves up to count bytes through a buffer of at most chunk bytes; stops early when read gives 0.
template <class Read, class Write>
int64_t CopyInChunks(int64_t count, int64_t chunk, Read&& read, Write&& write) {
  if (count <= 0) return 0;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min(count, chunk)));
  int64_t done = 0;
  while (done < count) {
    int64_t n = read(buf.data(), std::min<int64_t>(count - done, static_cast<int64_t>(buf.size())));
    if (n <= 0) break;
    write(buf.data(), n);
    done += n;
  }
  return done;
}

}  // namespace

std::string TTpBigFileStream::VolumeName(const std::string& hostPath, int index) {
  if (index == 0) return hostPath;
  // The extension is what follows the last dot of the last path component.
  size_t slash = hostPath.rfind('/');
  size_t dot = hostPath.rfind('.');
  std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                         ? hostPath.substr(0, dot)
                         : hostPath;
  char digits[16];
  std::snprintf(digits, sizeof digits, ".%.3d", index);
  return stem + digits;
}

TTpBigFileStream::TTpBigFileStream(const std::string& hostPath, uint32_t mode, int64_t volumeSize, bool volumes)
    : fileName_(hostPath), mode_(mode & 0xF), volumeSize_(volumeSize > 0 ? volumeSize : kVolumeSize) {
  if (!volumes) volumeSize_ = INT64_MAX;
  const int lastVolume = volumes ? INT32_MAX : 0;
  if (mode == kCreate) mode_ = kCreate;
  if (mode_ == kRead || mode_ == kReadWrite) {
    int flags = (mode_ == kRead ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    for (int i = 0; i <= lastVolume; ++i) {
      std::string name = VolumeName(hostPath, i);
      if (i > 0 && !IsRegularFile(name)) break;
      int fd = ::open(name.c_str(), flags);
      if (fd < 0) {
        if (i == 0) ThrowHostError(name, "cannot open");
        break;
      }
      if (i == 0 && !IsRegularFile(name)) {
        ::close(fd);
        errno = EISDIR;
        ThrowHostError(name, "cannot open");
      }
      volumes_.push_back({fd, FileSizeOf(fd)});
    }
  } else {
    for (int i = 0; i <= lastVolume; ++i) {
      std::string name = VolumeName(hostPath, i);
      if (!IsRegularFile(name)) break;
      if (::unlink(name.c_str()) != 0) ThrowHostError(name, "cannot replace");
    }
  }
}

TTpBigFileStream::~TTpBigFileStream() {
  if (mode_ != kRead) {
    try {
      Flush();
    } catch (const Error&) {
      // A destructor cannot report; writers that care call Flush themselves.
    }
  }
  for (auto& v : volumes_) ::close(v.fd);
}

void TTpBigFileStream::Flush() {
  for (auto& v : volumes_)
    if (::fsync(v.fd) != 0 && errno != EINVAL) ThrowHostError(fileName_, "cannot write");
}

int64_t TTpBigFileStream::GetSize() {
  int64_t total = 0;
  for (const auto& v : volumes_) total += v.size;
  return total;
}

void TTpBigFileStream::SetPosition(int64_t position) {
  position_ = std::clamp<int64_t>(position, 0, GetSize());
}

int64_t TTpBigFileStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    int64_t index = position_ / volumeSize_;
    if (index >= static_cast<int64_t>(volumes_.size())) break;
    const Volume& v = volumes_[static_cast<size_t>(index)];
    int64_t offset = position_ % volumeSize_;
    int64_t want = std::min(count - done, v.size - offset);
    if (want <= 0) break;
    ssize_t n = ::pread(v.fd, out + done, static_cast<size_t>(std::min<int64_t>(want, 1 << 30)), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowHostError(VolumeName(fileName_, static_cast<int>(index)), "cannot read");
    }
    if (n == 0) break;
    done += n;
    position_ += n;
  }
  return done;
}

TTpBigFileStream::Volume* TTpBigFileStream::VolumeForWrite(int index) {
  if (index < static_cast<int>(volumes_.size())) return &volumes_[static_cast<size_t>(index)];
  while (static_cast<int>(volumes_.size()) <= index) {
    std::string name = VolumeName(fileName_, static_cast<int>(volumes_.size()));
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) ThrowHostError(name, "cannot create");
    volumes_.push_back({fd, 0});
  }
  return &volumes_[static_cast<size_t>(index)];
}

int64_t TTpBigFileStream::Write(const void* buffer, int64_t count) {
  if (mode_ == kRead) throw Error("stream is open for reading only");
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    int index = static_cast<int>(position_ / volumeSize_);
    Volume* v = VolumeForWrite(index);
    int64_t offset = position_ % volumeSize_;
    int64_t n = std::min(count - done, volumeSize_ - offset);
    ssize_t w = ::pwrite(v->fd, in + done, static_cast<size_t>(std::min<int64_t>(n, 1 << 30)), offset);
    if (w < 0) {
      if (errno == EINTR) continue;
      ThrowHostError(VolumeName(fileName_, index), "cannot write");
    }
    done += w;
    position_ += w;
    v->size = std::max(v->size, offset + w);
  }
  return done;
}

int64_t TTpBigFileStream::CopyFromBig(TTpBigStream& source, int64_t count) {
  return CopyInChunks(
      count, kCopyBufferSize, [&](uint8_t* b, int64_t n) { return source.Read(b, n); },
      [&](const uint8_t* b, int64_t n) { WriteBuffer(b, n); });
}

int64_t TTpBigFileStream::CopyFrom(Stream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  return CopyInChunks(
      count, kCopyBufferSize, [&](uint8_t* b, int64_t n) { return source.Read(b, n); },
      [&](const uint8_t* b, int64_t n) { WriteBuffer(b, n); });
}

int64_t TTpBigFileStream::CopyTo(Stream& target, int64_t count) {
  return CopyInChunks(
      count, kCopyBufferSize, [&](uint8_t* b, int64_t n) { return Read(b, n); },
      [&](const uint8_t* b, int64_t n) { target.WriteBuffer(b, n); });
}

// ---- TTpBigMemoryStream

void TTpBigMemoryStream::SetPosition(int64_t position) { memory_.SetPosition(position); }

int64_t TTpBigMemoryStream::CopyFromBig(TTpBigStream& source, int64_t count) {
  auto* other = dynamic_cast<TTpBigMemoryStream*>(&source);
  if (!other) return 0;
  return memory_.CopyFrom(other->memory_, count);
}

int64_t TTpBigMemoryStream::CopyTo(Stream& target, int64_t count) {
  int64_t n = std::min(count, memory_.Remaining());
  if (n <= 0) return 0;
  target.WriteBuffer(memory_.Data() + memory_.GetPosition(), n);
  memory_.Seek(n, Stream::kFromCurrent);
  return n;
}

// ---- TTpBigResourceStream

TTpBigResourceStream::TTpBigResourceStream(const std::string& modulePath, const std::string& resourceName,
                                           const std::string& resourceType)
    : modulePath_(modulePath), resourceName_(resourceName), resourceType_(resourceType) {
  file_ = std::make_unique<FileStream>(modulePath, FileStream::kRead);
  if (auto found = FindPeResource(*file_, resourceName, resourceType)) {
    offset_ = found->offset;
    size_ = found->size;
  }
}

void TTpBigResourceStream::SetPosition(int64_t position) { position_ = std::clamp<int64_t>(position, 0, size_); }

int64_t TTpBigResourceStream::Read(void* buffer, int64_t count) {
  int64_t n = std::min(count, size_ - position_);
  if (n <= 0) return 0;
  file_->SetPosition(offset_ + position_);
  n = file_->Read(buffer, n);
  position_ += n;
  return n;
}

int64_t TTpBigResourceStream::Write(const void*, int64_t) { throw Error("a resource is read-only"); }

int64_t TTpBigResourceStream::CopyTo(Stream& target, int64_t count) {
  return CopyInChunks(
      count, TTpBigFileStream::kCopyBufferSize, [&](uint8_t* b, int64_t n) { return Read(b, n); },
      [&](const uint8_t* b, int64_t n) { target.WriteBuffer(b, n); });
}

// ---- TTpBuffBigStream

TTpBuffBigStream::~TTpBuffBigStream() {
  int64_t unread = static_cast<int64_t>(filled_ - used_);
  if (unread > 0) source_.SetPosition(source_.GetPosition() - unread);
}

int64_t TTpBuffBigStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (used_ == filled_) {
      int64_t fill = std::min(kBufferSize, source_.Remaining());
      if (fill <= 0) break;
      if (buffer_.empty()) buffer_.resize(static_cast<size_t>(kBufferSize));
      used_ = 0;
      filled_ = static_cast<size_t>(std::max<int64_t>(0, source_.Read(buffer_.data(), fill)));
      if (filled_ == 0) break;
    }
    size_t n = std::min(static_cast<size_t>(count - done), filled_ - used_);
    std::memcpy(out + done, buffer_.data() + used_, n);
    used_ += n;
    done += static_cast<int64_t>(n);
  }
  return done;
}

void TTpBuffBigStream::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Read(buffer, count) != count) throw Error("unexpected end of data");
}

}  // namespace orin
