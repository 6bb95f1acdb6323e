// Markup: the HTML-like text that scripts give a message window (property 50) and that
// orintool writes text-insert documents in, and the way back from a document to markup.
//
// Parsing (cp932 text; line breaks CR LF, LF or CR join the lines with one CR):
//   * "<!--" … "-->", "<SCRIPT" … "</SCRIPT>" and "<STYLE" … "</STYLE>" are skipped whole.
//   * A backslash before one of " % < > \ { } gives that character.
//   * Outside PRE and TEXTAREA a CR is a space; a space (or the byte 0x14) right after a space
//     is dropped, the previous character being the last one the text took, across tags. Inside
//     PRE and TEXTAREA a CR right after the opening tag is dropped, any other CR ends the line
//     (a line break inside PRE), a TAB is eight spaces and 0x14 is a space that always stays.
//   * A double quote starts a verbatim run up to the next double quote: its characters are
//     taken as they are (spaces stay, tags and escapes are plain text), except CR, LF and TAB,
//     which are dropped; the quotes stay in the text.
//   * A tag runs from "<" to the next ">" outside a quoted attribute value. Its name ends at the
//     first blank or "="; attributes are NAME, NAME=value, NAME="value" or NAME='value' (inside
//     double quotes \" and \\ do not end the value). Names compare without regard to case;
//     tags of other names are ignored.
// The tags and what they do are those of the document model: A, B, I, U, S, FONT, NOBR, RUBY,
// DIV, INDENT, UNDENT, BR, CLEAR, EVENT, WAIT, VAR, IMG. An A tag without HREF throws
// Error("<A>タグにHREF値がありません").
//
// orintool's text-insert documents may begin with <TPWORD VERSION=N> (or VERSION=NONE, no
// header) to choose the stored version; the player ignores the tag like any unknown one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orin {

class TTpWord;

// Appends the glyphs of the markup to doc. initialWait is the per-character wait outside WAIT
// tags (the game's @TextDelay).
void ParseMarkup(std::string_view markup, TTpWord& doc, int32_t initialWait);

// The stored document of markup, as orintool writes it: version 110 (or as a leading TPWORD tag
// says), characters outside WAIT tags waiting 50 ms.
std::string MarkupToStoredDocument(std::string_view markup);

// Markup that MarkupToStoredDocument turns back into exactly these bytes, or nullopt when the
// document cannot be read or markup cannot express it (unusual style lists or counts, kinds
// the markup has no tag for, characters the markup would change).
std::optional<std::string> StoredDocumentToMarkup(std::string_view bytes);

// The markup of a document (unchecked; nullopt when some glyph has no markup form).
std::optional<std::string> DocumentToMarkup(const TTpWord& doc, int32_t initialWait);

}  // namespace orin
