// Log: levels, line form, the file log's cap.
#include "core/log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/cp932.h"
#include "core/error.h"
#include "support/test_support.h"

namespace orin {
namespace {

TEST(Log, LevelsChooseWhatGoesIn) {
  struct Case {
    LogLevel level;
    const char* expected;  // which of e, w, i, d got in
  };
  const Case cases[] = {{LogLevel::kOff, ""},
                        {LogLevel::kError, "e"},
                        {LogLevel::kWarn, "ew"},
                        {LogLevel::kInfo, "ewi"},
                        {LogLevel::kDebug, "ewid"}};
  for (const Case& c : cases) {
    MemoryLog log(c.level);
    log.ErrorLine(LogChannel::kShell, "e");
    log.Warn(LogChannel::kShell, "w");
    log.Info(LogChannel::kShell, "i");
    log.Debug(LogChannel::kShell, "d");
    std::string got;
    for (const std::string& line : log.Lines) got += line.back();
    EXPECT_EQ(got, c.expected) << LogLevelName(c.level);
  }
  Log null;
  EXPECT_FALSE(null.Enabled(LogLevel::kError));
}

TEST(Log, ParseLevelNames) {
  EXPECT_EQ(ParseLogLevel("off"), LogLevel::kOff);
  EXPECT_EQ(ParseLogLevel("warn"), LogLevel::kWarn);
  EXPECT_EQ(ParseLogLevel("debug"), LogLevel::kDebug);
  EXPECT_EQ(ParseLogLevel("WARN"), std::nullopt);
  EXPECT_EQ(ParseLogLevel(""), std::nullopt);
}

TEST(Log, LineCarriesClockLevelChannelAndUtf8Text) {
  MemoryLog log;
  log.SetClock(0x1234);
  log.Warn(LogChannel::kScript, FromUtf8("main.osb(3): 変数名がありません\r\nnext"));
  Error e(FromUtf8("ファイルがありません"));
  e.AddContext("while reading page a.osb");
  e.AddContext("while loading the slot");
  log.Write(LogLevel::kError, LogChannel::kFiles, "a.osb", e);
  ASSERT_EQ(log.Lines.size(), 2u);
  // One event, one line: breaks inside a text become blanks.
  EXPECT_EQ(log.Lines[0], "00001234 warn  script: main.osb(3): 変数名がありません  next");
  EXPECT_EQ(log.Lines[1],
            "00001234 error files: a.osb: ファイルがありません (while reading page a.osb; while "
            "loading the slot)");
}

TEST(FileLog, MadeWithItsFirstLineAndCutAtItsCap) {
  test::TempDir dir;
  const std::string path = dir / "orinplay.log";
  {
    FileLog quiet(path, LogLevel::kWarn);
    quiet.Info(LogChannel::kShell, "not wanted");
  }
  EXPECT_FALSE(std::filesystem::exists(path));

  test::WriteHostFile(path, "an earlier run\n");
  {
    FileLog log(path, LogLevel::kWarn, 100);
    for (int i = 0; i < 10; ++i) log.Warn(LogChannel::kShell, "0123456789");  // 31 bytes a line
  }
  const std::string text = test::ReadHostFile(path);
  EXPECT_EQ(text.find("an earlier run"), std::string::npos);
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 4u);  // three lines fit, then the one that says so
  EXPECT_NE(text.find("the log was cut here"), std::string::npos) << text;
}

TEST(FileLog, UnwritablePlaceIsNoFailure) {
  test::TempDir dir;
  FileLog log(dir / "missing/folder/orinplay.log", LogLevel::kWarn);
  testing::internal::CaptureStderr();
  log.Warn(LogChannel::kShell, "one");
  log.Warn(LogChannel::kShell, "two");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("the log cannot be written"), std::string::npos);
  EXPECT_EQ(err.find("the log cannot be written"), err.rfind("the log cannot be written"));
}

}  // namespace
}  // namespace orin
