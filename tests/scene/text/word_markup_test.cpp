#include "scene/text/word_markup.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "scene/text_test_support.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_stream.h"

namespace orin {
namespace {

using test::DocText;
using test::Parse;
using test::Sj;

const TWdChar& CharAt(const TTpWord& doc, size_t i) {
  EXPECT_LT(i, doc.Glyphs.size());
  EXPECT_TRUE(doc.Glyphs[i]->IsChar());
  return static_cast<const TWdChar&>(*doc.Glyphs[i]);
}

TEST(TTpWordMarkup, TextRulesOfSpacesLineBreaksEscapesAndQuotes) {
  struct Case {
    const char* markup;
    const char* text;
  } cases[] = {
      {"a  b", "a b"},
      {"a \x14" " b", "a b"},
      {"<PRE>a  b</PRE>", "a b"},                  // spaces collapse inside PRE as well
      {"<PRE>a \x14\x14" "b</PRE>", "a   b"},         // 0x14 survives only there
      {"<PRE>a\tb</PRE>", "a        b"},           // a TAB is eight spaces
      {"a\r\nb", "a b"},                           // a line break is a space
      {"a \r\nb", "a b"},                          // ... unless a space came before
      {"a\nb\rc", "a b c"},
      {"a\r\n", "a"},                              // a final line break ends the last line
      {"<PRE>\r\na\r\nb</PRE>", "a[BR]b"},         // the break right after PRE is dropped
      {"<TEXTAREA>a\r\nb</TEXTAREA>", "ab"},
      {"a <B> b", "a b"},                          // spaces collapse across tags
      {"\\<B\\>\\\\\\{\\}\\%\\\"", "<B>\\{}%\""},
      {"\\a\\", "\\a\\"},                          // other backslashes stay
      {"x\"a  b\r\n\tc\"y", "x\"a  bc\"y"},        // a quoted run keeps spaces, drops breaks
      {"\"<B>\"", "\"<B>\""},                      // ... and takes tags as text
      {"a<!-- <B>b -->c", "ac"},
      {"a<SCRIPT>x<B></script>b", "ab"},
      {"a<style type=x>p {}</STYLE>b", "ab"},
      {"a<FOO x=1>b<SCRIPTS>c", "abc"},            // unknown tags do nothing
      {"あ　い ソ", "あ　い ソ"},                    // 0x5C trail bytes are no escapes
      {"a<BR>b<BR CLEAR>c<clear>", "a[BR]b[BR!]c[BR!]"},
      {"<DIV ALIGN=center>a</DIV>b<div align=TOP>", "[ALIGN 3]a[ALIGN 1]b[ALIGN 1]"},
      {"<DIV ALIGN=right><DIV>a</DIV></DIV></DIV>", "[ALIGN 2][ALIGN 1]a[ALIGN 2][ALIGN 1][ALIGN 1]"},
      {"<INDENT>a<UNDENT>", "[INDENT]a[UNDENT]"},
      {"<EVENT VALUE=\"x y\" END><EVENT VALUE=z><EVENT>", "[EVENT x y END][EVENT z][EVENT ]"},
      {"<VAR NAME=hp><VAR><IMG><IMG SRC='a b.png'>", "[VAR hp][IMG a b.png]"},
      {"<FONT NAME=\"a>b\">x</FONT>", "x"},         // ">" inside a quoted value
  };
  for (const Case& c : cases) {
    auto doc = Parse(c.markup);
    EXPECT_EQ(DocText(*doc), c.text) << c.markup;
  }
}

TEST(TTpWordMarkup, ColoursAreStoredWithRedInTheLowByte) {
  auto doc = Parse("<FONT COLOR=#FF0000 BCOLOR=#00FF00 SCOLOR=#123456>a<FONT COLOR=red>b</FONT></FONT>c");
  const TDecorate& a = *CharAt(*doc, 0).Style;
  EXPECT_EQ(a.Color, 0x0000FF);
  EXPECT_EQ(a.BorderColor, 0x00FF00);
  EXPECT_EQ(a.ShadowColor, 0x563412);
  EXPECT_EQ(CharAt(*doc, 1).Style->Color, 0x0000FF) << "a colour without # keeps the current one";
  EXPECT_EQ(CharAt(*doc, 2).Style->Color, -1);
}

TEST(TTpWordMarkup, FontPushesAndPopsEveryAttribute) {
  auto doc = Parse(
      "<FONT SIZE=20 NAME=\"ＭＳ 明朝\" BORDER SHADOW=2>a<FONT SIZE=30 BORDER=-3>b</FONT>c</FONT>d"
      "<FONT BORDER=x SHADOW>e</FONT></FONT>f");
  struct Want {
    int32_t size, border, shadow;
    bool mincho;
  } want[] = {{20, 1, 2, true}, {30, 0, 2, true}, {20, 1, 2, true}, {0, -1, -1, false}, {0, 1, 1, false},
              {0, -1, -1, false}};
  for (size_t i = 0; i < 6; ++i) {
    const TDecorate& d = *CharAt(*doc, i).Style;
    EXPECT_EQ(d.FontSize, want[i].size) << i;
    EXPECT_EQ(d.BorderWidth, want[i].border) << i;
    EXPECT_EQ(d.ShadowOffset, want[i].shadow) << i;
    EXPECT_EQ(d.FontName == Sj("ＭＳ 明朝"), want[i].mincho) << i;
  }
}

TEST(TTpWordMarkup, StyleFlagsNoBreakRubyLinksAndWaits) {
  auto doc = Parse(
      "<B><I>a</B>b</I><U><S>c</S></U><NOBR><RUBY VALUE=\"x y\">d</RUBY></NOBR>"
      "<A HREF=\"p\\\"q\\\\r\\ns\\t\">e</A>f"
      "<WAIT VALUE=0>g<WAIT VALUE=200>h</WAIT>i</WAIT>j</WAIT>k<WAIT VALUE=zz>l");
  EXPECT_EQ(CharAt(*doc, 0).Style->Style, 3);
  EXPECT_EQ(CharAt(*doc, 1).Style->Style, 2);
  EXPECT_EQ(CharAt(*doc, 2).Style->Style, 12);
  EXPECT_EQ(CharAt(*doc, 3).Style->NoBreak, 1);
  EXPECT_EQ(CharAt(*doc, 3).Style->Ruby, "x y");
  EXPECT_EQ(CharAt(*doc, 4).Style->Ruby, "");
  EXPECT_EQ(CharAt(*doc, 4).Link, "p\"q\\r\r\ns\\t");
  EXPECT_EQ(CharAt(*doc, 5).Link, "");
  const int32_t waits[] = {50, 0, 200, 0, 50, 50, 50};  // f to l
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(CharAt(*doc, 5 + i).Wait, waits[i]) << i;
}

TEST(TTpWordMarkup, ImagesTakeTheStateOfTheText) {
  auto doc = Parse("<NOBR><RUBY VALUE=r><A HREF=h><WAIT VALUE=7><IMG SRC=x.mur ALIGN=Left><IMG SRC=y.mur>");
  ASSERT_EQ(doc->Glyphs.size(), 2u);
  const auto& a = static_cast<const TWdImg&>(*doc->Glyphs[0]);
  EXPECT_EQ(a.Align, kAlignLeft);
  EXPECT_TRUE(a.Floats());
  EXPECT_EQ(a.NoBreak, 1);
  EXPECT_EQ(a.Ruby, "r");
  EXPECT_EQ(a.Link, "h");
  EXPECT_EQ(a.Wait, 7);
  EXPECT_EQ(static_cast<const TWdImg&>(*doc->Glyphs[1]).Align, kAlignBottom);
}

TEST(TTpWordMarkup, AnchorWithoutHrefIsAnError) {
  TTpWord doc;
  try {
    ParseMarkup("a<A NAME=x>b", doc, 50);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), Sj("<A>タグにHREF値がありません"));
  }
}

TEST(TTpWordMarkup, CharactersOfOneLookShareACountedRecord) {
  auto doc = Parse("ab<B>c</B>d<VAR NAME=v>");
  ASSERT_EQ(doc->Styles.Count(), 2);
  EXPECT_EQ(doc->Styles[0]->RefCount, 4) << "three characters and the variable mark";
  EXPECT_EQ(doc->Styles[1]->RefCount, 1);
  EXPECT_EQ(CharAt(*doc, 0).Style, CharAt(*doc, 3).Style);
  // Moving a character to another look releases the old record, which goes at count 0.
  TWdChar& c = const_cast<TWdChar&>(CharAt(*doc, 2));
  c.Style = doc->Styles.Change(c.Style, *doc->Styles[0]);
  EXPECT_EQ(doc->Styles.Count(), 1);
  EXPECT_EQ(doc->Styles[0]->RefCount, 5);
}

// ---- Round trips through the stored form

TEST(TTpWordMarkup, StoredDocumentsOfMarkupPrintBackToTheSameBytes) {
  const char* markups[] = {
      "",
      "plain text with one space",
      "a <PRE>\x14</PRE><PRE>\x14</PRE>b  c",
      "こんにちは、<FONT SIZE=32 COLOR=#FF8000 BORDER=2 SHADOW=1 NAME='ＭＳ 明朝'>世界</FONT>！<BR>"
      "<B><I>x</I></B><U>u</U><S>s</S><NOBR>nb</NOBR><RUBY VALUE=かんじ>漢字</RUBY>",
      "<A HREF=\"page.osb:label\\nsecond \\\"line\\\"\">link</A> <WAIT VALUE=-30>slow</WAIT><WAIT VALUE=0>fast",
      "<DIV ALIGN=CENTER>mid</DIV><INDENT>in<UNDENT><BR CLEAR><EVENT VALUE=\"a\\nb\"><EVENT VALUE=z END>",
      "<IMG SRC=\"cg\\face.mur\" ALIGN=TOP><IMG SRC=x.png ALIGN=RIGHT>\\<\\>\\\"\\\\\\{\\}\\%\t",
      "<VAR NAME=\"name ++ 1\">",
      "<TPWORD VERSION=102>old",
      "<TPWORD VERSION=NONE>no header",
      "<TPWORD VERSION=99><FONT BORDER=1>old border</FONT>",
  };
  for (const char* m : markups) {
    const std::string bytes = MarkupToStoredDocument(Sj(m));
    auto markup = StoredDocumentToMarkup(bytes);
    ASSERT_TRUE(markup.has_value()) << m;
    EXPECT_EQ(MarkupToStoredDocument(*markup), bytes) << m << "\n -> " << test::Utf8(*markup);
  }
}

TEST(TTpWordMarkup, DocumentsMarkupCannotExpressHaveNoMarkup) {
  auto tweak = [](const char* markup, auto&& change) {
    TTpWord doc;
    ParseMarkup(Sj(markup), doc, 50);
    change(doc);
    return StoredDocumentBytes(doc);
  };
  const std::string cases[] = {
      tweak("ab", [](TTpWord& d) { d.Styles[0]->RefCount = 7; }),
      tweak("a<B>b", [](TTpWord& d) { std::swap(const_cast<DecoratePtr&>(d.Styles[0]), const_cast<DecoratePtr&>(d.Styles[1])); }),
      tweak("a", [](TTpWord& d) { static_cast<TWdChar&>(*d.Glyphs[0]).Code = '\r'; }),
      tweak("a", [](TTpWord& d) { d.Styles[0]->Color = 0x01000000; }),
      tweak("a", [](TTpWord& d) { d.Styles[0]->Style = 0x10; }),
      tweak("<A HREF=x>a", [](TTpWord& d) { static_cast<TWdChar&>(*d.Glyphs[0]).Link = "a\nb"; }),
      tweak("<DIV>", [](TTpWord& d) { static_cast<TWdOpeAlign&>(*d.Glyphs[0]).Value = 4; }),
      tweak("<VAR NAME=v>", [](TTpWord& d) { static_cast<TWdOpeVar&>(*d.Glyphs[0]).Extra = 3; }),
      std::string("\0\0\0\0", 4),  // cut short
      std::string(100, '\xaa'),
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_FALSE(StoredDocumentToMarkup(cases[i]).has_value()) << i;
}

}  // namespace
}  // namespace orin
