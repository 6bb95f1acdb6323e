// TOrinMemo (kind 11): an entry field of lines. The text holds its line breaks as CR LF
// (property 50 reads them so; a script may write CR LF, LF or a lone CR). At most kMaxBytes
// bytes of cp932, so a memo fed megabytes stays small and quick. Everything else is
// TextEntry's (text_entry.h).
#pragma once

#include "scene/objects/text_entry.h"

namespace orin {

class TOrinMemo : public TextEntry {
 public:
  static constexpr size_t kMaxBytes = 65536;

  TOrinMemo(TOrinBaseList* owner, const SceneServices& services)
      : TextEntry(owner, services, true, kMaxBytes) {}

  uint8_t Kind() const override { return kKindMemo; }
};

}  // namespace orin
