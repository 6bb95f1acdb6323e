#include "core/error.h"

#include "core/cp932.h"

namespace orin {

std::string Error::Utf8Report() const {
  std::string r = ToUtf8(message_);
  for (const auto& line : context_) r += "\n  " + ToUtf8(line);
  return r;
}

}  // namespace orin
