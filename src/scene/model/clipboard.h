// Clipboard: the desktop's clipboard as the scene's entry fields use it. The text is UTF-8, as
// the desktop keeps it; converting to and from cp932 (and refusing what cp932 cannot hold) is
// the entry field's business. Implemented by the shell over the platform; tests keep a string.
#pragma once

#include <string>

namespace orin {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Empty when the clipboard holds no text.
  virtual std::string Text() = 0;
  virtual void SetText(const std::string& utf8) = 0;
};

}  // namespace orin
