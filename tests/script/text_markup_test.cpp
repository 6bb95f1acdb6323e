// The text data of text-insert commands in the page text: written as markup when markup
// rebuilds the stored document exactly, as bytes otherwise, and read back from either.
#include <gtest/gtest.h>

#include "core/cp932.h"
#include "core/error.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_markup.h"
#include "scene/text/word_stream.h"
#include "script/commands_text.h"
#include "script/page.h"
#include "script/page_text.h"
#include "script_test_support.h"

namespace orin {
namespace {

using test::PageBytes;

std::string Sj(std::string_view utf8) { return Utf8ToCp932(utf8).value(); }

const std::string& TextData(const TPage& page, size_t i) {
  return static_cast<const TComTextIns&>(*page.Commands.at(i)).TextData;
}

TEST(PageTextMarkup, TextInsertsAreWrittenAsMarkup) {
  TPage page;
  PageFromText(
      "TextIns text=\"こんにちは<FONT COLOR=#FF0000>世界</FONT><BR><WAIT VALUE=0>\\\\<早く\\\\></WAIT>\" "
      "window={\"mes\"} history={TRUE}\n"
      "TextIns text=\"<TPWORD VERSION=NONE>old\" window={\"mes\"}\n"
      "TextIns text=hex{0102} window={\"mes\"}\n"
      "TextIns text=\"\" window={\"mes\"}\n",
      page);
  EXPECT_EQ(TextData(page, 0),
            MarkupToStoredDocument(Sj("こんにちは<FONT COLOR=#FF0000>世界</FONT><BR><WAIT VALUE=0>\\<早く\\></WAIT>")));
  TTpWord doc;
  ReadStoredDocument(TextData(page, 0), doc);
  EXPECT_EQ(doc.Version, kStoredDocumentVersion);
  EXPECT_EQ(doc.Glyphs.size(), 12u);
  EXPECT_EQ(TextData(page, 1).substr(0, 4), std::string("\x01\0\0\0", 4)) << "no header";
  EXPECT_EQ(TextData(page, 2), "\x01\x02");
  EXPECT_EQ(TextData(page, 3), "");

  const std::string text = PageToText(page);
  EXPECT_NE(text.find("TextIns text=\"こんにちは<FONT COLOR=#FF0000>世界<BR></FONT><WAIT VALUE=0>\\\\<早く\\\\>\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("text=\"<TPWORD VERSION=NONE>old\""), std::string::npos) << text;
  EXPECT_NE(text.find("text=hex{0102}"), std::string::npos) << text;
  EXPECT_NE(text.find("text=hex{}"), std::string::npos) << text;
  TPage back;
  PageFromText(text, back);
  EXPECT_EQ(PageBytes(back), PageBytes(page));
}

TEST(PageTextMarkup, DocumentsMarkupCannotExpressStayBytes) {
  TTpWord doc;
  ParseMarkup("ab", doc, 50);
  doc.Styles[0]->RefCount = 9;  // not what markup counts
  TPage page;
  page.Version = 110;
  auto& ins = static_cast<TComTextIns&>(page.Add(static_cast<int>(ComKind::TextIns)));
  ins.TextData = StoredDocumentBytes(doc);
  const std::string text = PageToText(page);
  EXPECT_NE(text.find("text=hex{5470576f7264313130"), std::string::npos) << text;
  TPage back;
  PageFromText(text, back);
  EXPECT_EQ(PageBytes(back), PageBytes(page));
}

TEST(PageTextMarkup, MarkupErrorsNameTheLine) {
  struct Case {
    const char* text;
    std::string message;
  } cases[] = {
      {"Calc {1}\nTextIns text=\"<A>link</A>\"", "line 2: " + Sj("<A>タグにHREF値がありません")},
      {"TextIns text=\"<TPWORD VERSION=1000>x\"", "line 1: <TPWORD VERSION=...> takes a number 0-999 or NONE"},
      {"TextIns text={1}", "line 1: text must be markup"},
  };
  for (const Case& c : cases) {
    TPage page;
    try {
      PageFromText(c.text, page);
      ADD_FAILURE() << c.text;
    } catch (const Error& e) {
      EXPECT_EQ(e.Message().substr(0, c.message.size()), c.message) << c.text;
    }
  }
}

}  // namespace
}  // namespace orin
