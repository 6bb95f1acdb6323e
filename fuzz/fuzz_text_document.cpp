// Text documents from untrusted bytes: the first byte chooses what the rest is. Even: a stored
// document (the text data of a text-insert command), read, laid out, revealed, written back and
// printed as markup. Odd: markup (the text a script gives a message window), parsed, laid out and
// revealed. Reading either works or throws orin::Error; what was read always lays out, reveals
// and writes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "resources/stream.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_layout.h"
#include "scene/text/word_markup.h"
#include "scene/text/word_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  orin::TTpWord doc;
  doc.Width = 64 + data[0] % 200;
  doc.Height = 48 + data[0] % 100;
  doc.EventsEnabled = 1;
  try {
    if (data[0] % 2 == 0) {
      orin::ReadStoredDocument(bytes, doc);
      (void)orin::StoredDocumentToMarkup(bytes);
    } else {
      orin::ParseMarkup(bytes, doc, 50);
    }
  } catch (const orin::Error&) {
  }
  try {
    orin::LayoutResult r = orin::LayoutGlyphs(doc, 0, doc.Glyphs.size(), orin::LayoutParamsOf(doc), nullptr);
    for (auto& page : r.Pages)
      for (int i = 0; i < 4; ++i) doc.RevealStep(*page, 500);
    (void)orin::StoredDocumentBytes(doc);
  } catch (const orin::Error&) {
  }
  return 0;
}
