// The stored text document: the form in which the authoring tool keeps the text of a
// text-insert command in a script page. Reader and writer.
//
// Layout (integers little-endian, strings an int32 length and the bytes):
//   header    9 bytes "TpWord" and three digits, the version; without it the version is 0
//   styles    int32 count; per record: reference count, colour, border colour, font size
//             (int32), style flags, no-break (byte), border width (int32; before version 100 a
//             byte 0 or 1), font name, ruby (strings); from version 100 shadow offset and shadow
//             colour (int32)
//   glyphs    int32 count; per glyph a kind byte (read as kind & 0x7F) and its record:
//             1 character   link (string), wait (int32), code (uint16), style index (int32)
//             2 alignment   value (byte)
//             3 line break  new-page flag (byte)
//             4, 5          indent, undent: nothing
//             6 event       text (string); a leading byte 0x01 is removed and flags "at end"
//             7 variable    style index (int32); from version 101 an int32 and a string kept as
//                           they are; from 102 the name or expression (string), before that a
//                           compiled expression record
//             9 image       link (string), wait (int32), file name (string), alignment (byte)
//             Kind 8 and kinds not listed carry no record and make no glyph.
// Style indexes count from the first record of this document; appended to a document that has
// styles already, they are offset by the earlier count.
//
// Reading checks every count, index and length against what remains and throws Error
// ("damaged text document: ...") on the first fault; the document then holds what was read
// before it. The writer writes version 110 unless told otherwise; before version 100 a border
// width is written as a byte, −1 (the document's) as 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orin {

class Stream;
class TTpWord;

constexpr int32_t kStoredDocumentVersion = 110;

// Appends the stored document at the stream's position to doc.
void ReadStoredDocument(Stream& s, TTpWord& doc);
void ReadStoredDocument(std::string_view bytes, TTpWord& doc);

struct StoredDocumentOptions {
  int32_t Version = kStoredDocumentVersion;
  // False writes no header (and the layout of version 0, whatever Version says).
  bool Header = true;
};

// Writes doc's styles and stored glyphs (glyphs that variables made are left out). Variable
// marks of a version below 102 are written as compiled expressions (their own record when they
// came with one, else their name compiled; a name that does not compile writes an empty one).
void WriteStoredDocument(const TTpWord& doc, Stream& s, const StoredDocumentOptions& options = {});
std::string StoredDocumentBytes(const TTpWord& doc, const StoredDocumentOptions& options = {});

}  // namespace orin
