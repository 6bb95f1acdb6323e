#include "app/orintool/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/error.h"
#include "resources/host_error.h"

namespace orin::tool {

PartialFile::PartialFile(std::string target) : target_(std::move(target)), partial_(target_ + ".partial") {
  out_ = std::make_unique<FileStream>(partial_, FileStream::kCreate);
}

PartialFile::~PartialFile() {
  if (out_) {
    out_.reset();
    ::unlink(partial_.c_str());
  }
}

void PartialFile::Commit(unsigned mode) {
  out_->Sync();
  out_.reset();
  if (mode) ::chmod(partial_.c_str(), mode);
  if (::rename(partial_.c_str(), target_.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::unlink(partial_.c_str());
    throw Error(HostPathText(target_) + ": cannot write (" + why + ")");
  }
}

void WriteFileAtomically(const std::string& target, const void* data, size_t size) {
  PartialFile file(target);
  file.Out().WriteBuffer(data, static_cast<int64_t>(size));
  file.Commit();
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      // Copy a well-formed UTF-8 sequence; anything else becomes U+FFFD.
      size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
      bool ok = n > 0 && i + n <= s.size();
      for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
      if (ok) {
        out.append(s.substr(i, n));
        i += n;
      } else {
        out += "\xEF\xBF\xBD";
        ++i;
      }
    }
  }
  return out + "\"";
}

}  // namespace orin::tool
