// TOrinEdit (kind 5): a one-line entry field. Line breaks are not text here: a script's text
// loses them, pasted text drops them, Enter types nothing. At most kMaxBytes bytes of cp932.
// Everything else is TextEntry's (text_entry.h).
#pragma once

#include "scene/objects/text_entry.h"

namespace orin {

class TOrinEdit : public TextEntry {
 public:
  static constexpr size_t kMaxBytes = 4096;

  TOrinEdit(TOrinBaseList* owner, const SceneServices& services)
      : TextEntry(owner, services, false, kMaxBytes) {}

  uint8_t Kind() const override { return kKindEdit; }
};

}  // namespace orin
