#include "scene/text/word_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/endian.h"
#include "core/error.h"
#include "params/build_orin_parser.h"
#include "params/param_collection.h"
#include "resources/stream.h"
#include "scene/text_test_support.h"
#include "scene/text/tp_word.h"
#include "support/byte_builder.h"

namespace orin {
namespace {

using test::DocText;

// The byte builder with the records of stored text documents.
struct Bytes : test::BasicBytes<Bytes> {
  // A style record of the version's layout.
  Bytes& Style(int version, int32_t refs, int32_t colour, int32_t size, uint8_t style, int32_t border,
               std::string_view font = {}, std::string_view ruby = {}) {
    I32(refs).I32(colour).I32(-1).I32(size).U8(style).U8(0);
    if (version >= 100)
      I32(border);
    else
      U8(static_cast<uint8_t>(border));
    Str(font).Str(ruby);
    if (version >= 100) I32(-1).I32(-1);
    return *this;
  }
  Bytes& Char(std::string_view link, int32_t wait, uint16_t code, int32_t style) {
    return U8(kWdKindChar).Str(link).I32(wait).U16(code).I32(style);
  }
};

TEST(TTpWordStream, DocumentWithoutHeaderIsVersionZero) {
  const std::string bytes = Bytes().I32(1).Style(0, 2, -1, 0, 0, 1).I32(2).Char("", 50, 'h', 0).Char("", 50, 'i', 0).Get();
  TTpWord doc;
  ReadStoredDocument(bytes, doc);
  EXPECT_EQ(doc.Version, 0);
  EXPECT_FALSE(doc.HadHeader);
  EXPECT_EQ(DocText(doc), "hi");
  EXPECT_EQ(doc.Styles[0]->BorderWidth, 1) << "before version 100 the border is a byte";
  EXPECT_EQ(doc.Styles[0]->ShadowOffset, -1);
  EXPECT_EQ(StoredDocumentBytes(doc, {0, false}), bytes);
}

TEST(TTpWordStream, EveryKindOfEveryVersion) {
  // Version 101: variable marks carry an int32 and a string, then a compiled expression.
  MemoryStream expr;
  TBuildOrinParser build;
  build.Compile("\"v\" ++ 1");
  build.WriteTo(expr);
  const std::string compiled(expr.View());
  const std::string bytes = Bytes()
                                .Raw("TpWord101")
                                .I32(2)
                                .Style(101, 2, 0x0000FF, 20, 1, 2, "font", "ruby")
                                .Style(101, 1, -1, 0, 0, -1)
                                .I32(11)
                                .Char("link", -7, 0x82A0, 0)
                                .U8(kWdKindAlign).U8(3)
                                .U8(kWdKindReturn).U8(1)
                                .U8(kWdKindIndent)
                                .U8(kWdKindUndent)
                                .U8(kWdKindEvent).Str("\x01" "end")
                                .U8(8)                       // kind 8 makes nothing and carries nothing
                                .U8(0x80 | kWdKindChar).Str("").I32(1).U16('x').I32(1)
                                .U8(kWdKindVar).I32(1).I32(42).Str("kept").Raw(compiled)
                                .U8(kWdKindImg).Str("l").I32(9).Str("pic.mur").U8(4)
                                .U8(12)                      // nor does an unknown kind
                                .Get();
  TTpWord doc;
  ReadStoredDocument(bytes, doc);
  EXPECT_EQ(doc.Version, 101);
  EXPECT_EQ(DocText(doc), test::Sj("あ") == "\x82\xa0" ? "あ[ALIGN 3][BR!][INDENT][UNDENT][EVENT end END]x[VAR ][IMG pic.mur]" : "");
  const auto& c = static_cast<const TWdChar&>(*doc.Glyphs[0]);
  EXPECT_EQ(c.Link, "link");
  EXPECT_EQ(c.Wait, -7);
  EXPECT_EQ(c.Style->Ruby, "ruby");
  EXPECT_EQ(c.Style->BorderWidth, 2);
  const auto& v = static_cast<const TWdOpeVar&>(*doc.Glyphs[7]);
  EXPECT_EQ(v.Extra, 42);
  EXPECT_EQ(v.ExtraText, "kept");
  EXPECT_TRUE(v.HasCompiled);
  EXPECT_EQ(v.Compiled, compiled);
  const auto& img = static_cast<const TWdImg&>(*doc.Glyphs[8]);
  EXPECT_EQ(img.Align, kAlignTop);
  EXPECT_EQ(img.Wait, 9);
  for (size_t i = 0; i < doc.Glyphs.size(); ++i) EXPECT_EQ(doc.Glyphs[i]->Index, static_cast<int32_t>(i));

  // Written back in its version, only what made no glyph (kind 8, kind 12, the high bit) is gone.
  const std::string again = StoredDocumentBytes(doc, {101, true});
  TTpWord reread;
  ReadStoredDocument(again, reread);
  EXPECT_EQ(DocText(reread), DocText(doc));
  EXPECT_EQ(StoredDocumentBytes(reread, {101, true}), again);

  // The compiled expression still evaluates.
  TParamCollection vars;
  doc.ExpandVariables(0, doc.Glyphs.size(), &vars, 50);
  EXPECT_EQ(DocText(doc), "あ[ALIGN 3][BR!][INDENT][UNDENT][EVENT end END]x[VAR ]v1[IMG pic.mur]");
}

TEST(TTpWordStream, AppendedDocumentsOffsetTheirStyleIndexes) {
  const std::string one = MarkupToStoredDocument("a<B>b");
  TTpWord doc;
  ReadStoredDocument(one, doc);
  ReadStoredDocument(one, doc);
  EXPECT_EQ(doc.StyleBase, 2);
  ASSERT_EQ(doc.Glyphs.size(), 4u);
  EXPECT_EQ(static_cast<const TWdChar&>(*doc.Glyphs[3]).Style, doc.Styles[3]);
  EXPECT_EQ(doc.Styles[3]->Style, 1);
}

TEST(TTpWordStream, WriterTakesVersionsAndCompilesNamesForOldOnes) {
  TTpWord doc;
  ParseMarkup("<VAR NAME=\"1 +\">x", doc, 50);  // a name that does not compile
  const std::string v100 = StoredDocumentBytes(doc, {100, true});
  TTpWord back;
  ReadStoredDocument(v100, back);
  const auto& v = static_cast<const TWdOpeVar&>(*back.Glyphs[0]);
  EXPECT_TRUE(v.HasCompiled);
  EXPECT_EQ(v.Compiled, std::string(4, '\0')) << "an empty expression";
  EXPECT_EQ(back.Version, 100);
}

// Each file under tests/data/text/malformed is refused with an error, never read half-way
// into a crash.
TEST(TTpWordStream, MalformedDocumentsAreRefused) {
  const std::filesystem::path dir = std::filesystem::path(ORIN_TEST_DATA) / "text" / "malformed";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    TTpWord doc;
    EXPECT_THROW(ReadStoredDocument(content.str(), doc), Error) << entry.path().filename();
    ++files;
  }
  EXPECT_GE(files, 5);
}

TEST(TTpWordStream, MalformedCasesInLine) {
  const std::string cases[] = {
      Bytes().Raw("TpWord110").I32(-1).Get(),
      Bytes().Raw("TpWord110").I32(0x10000000).Get(),
      Bytes().Raw("TpWord110").I32(0).I32(1).Char("", 0, 'a', 0).Get(),       // no style 0
      Bytes().Raw("TpWord110").I32(1).Style(110, 1, -1, 0, 0, -1).I32(1).Char("", 0, 'a', -1).Get(),
      Bytes().Raw("TpWord110").I32(0).I32(1).U8(kWdKindEvent).I32(1000).Get(),
      Bytes().Raw("TpWord110").I32(0).I32(2).U8(kWdKindIndent).Get(),         // one glyph missing
      Bytes().Raw("TpWord110").I32(0).I32(1).U8(kWdKindImg).Str("").I32(0).Str("x").Get(),
      Bytes().Raw("TpWo").Get(),
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    TTpWord doc;
    EXPECT_THROW(ReadStoredDocument(cases[i], doc), Error) << i;
  }
}

}  // namespace
}  // namespace orin
