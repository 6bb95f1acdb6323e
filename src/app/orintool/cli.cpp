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

ArgParser::ArgParser(std::vector<std::string> args, std::vector<std::string> flags,
                     std::vector<std::string> valued) {
  auto contains = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsDone || a.size() < 2 || a[0] != '-' || a == "-") {
      positionals_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsDone = true;
      continue;
    }
    std::string name = a, value;
    bool hasValue = false;
    if (size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    if (contains(flags, name)) {
      if (hasValue) throw UsageError(name + " takes no value");
      options_.emplace_back(name, "");
    } else if (contains(valued, name)) {
      if (!hasValue) {
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        value = args[++i];
      }
      options_.emplace_back(name, value);
    } else {
      throw UsageError("unknown option " + a);
    }
  }
}

bool ArgParser::Flag(const std::string& name) const { return Has(name); }

bool ArgParser::Has(const std::string& name) const {
  return std::any_of(options_.begin(), options_.end(), [&](const auto& o) { return o.first == name; });
}

std::string ArgParser::Value(const std::string& name, const std::string& fallback) const {
  for (auto it = options_.rbegin(); it != options_.rend(); ++it)
    if (it->first == name) return it->second;
  return fallback;
}

void ArgParser::ExpectPositionals(int min, int max) const {
  int n = static_cast<int>(positionals_.size());
  if (n < min) throw UsageError("missing arguments");
  if (max >= 0 && n > max) throw UsageError("too many arguments");
}

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
