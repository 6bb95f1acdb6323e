// TextServices: what the text document, the message windows and the history need from the rest
// of the player, handed down by the host (no hidden singletons): the glyph cache, the image
// cache, the variables, the stored documents of script pages, the history and the read list.
//
// Every pointer may be null: a document then draws no characters, shows images as 0 × 0,
// evaluates no variables and finds no stored documents; a window keeps no history and no read
// marks. Windows and the history keep a pointer to the services: the host keeps them alive as
// long as the scene and the history live.
//
// TextDocumentSource is the seam to the script layer above: the stored document of a
// text-insert command of a page file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orin {

class TFontPixelManager;
class TMuraCollection;
class TOrinNewHistory;
class PageObserver;
class TOrinReadList;
class TParamCollection;

class TextDocumentSource {
 public:
  virtual ~TextDocumentSource() = default;
  // The text data of the text-insert command at commandIndex of the page file; nullopt when the
  // page cannot be read or the command is not a text insert.
  virtual std::optional<std::string> TextData(const std::string& pageFile, int32_t commandIndex) = 0;
};

struct TextServices {
  TFontPixelManager* Glyphs = nullptr;
  TMuraCollection* Images = nullptr;
  TParamCollection* Vars = nullptr;
  TextDocumentSource* Documents = nullptr;
  TOrinNewHistory* History = nullptr;
  TOrinReadList* ReadList = nullptr;
  // Told of every new page a message window shows (the text feed); null: nobody.
  PageObserver* Pages = nullptr;
};

}  // namespace orin
