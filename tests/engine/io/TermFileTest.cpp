#include <gtest/gtest.h>

#include "support/Builders.h"

#include <filesystem>
#include <fstream>

#include "engine/io/FileIO.h"
#include "engine/io/TermFile.h"
#include "model/Errors.h"

using namespace tavro;
using tavro::testing::Terms;
namespace fs = std::filesystem;

namespace {

class TermFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tavro-termfile-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
  fs::path dir;
};

}  // namespace

TEST(TermFileText, WritesFunctionsSeparatedByBars) {
  EXPECT_EQ(TermFileText({Terms({0, 1, 5})}), "-0, 1, 5");
  EXPECT_EQ(TermFileText({Terms({2, 3}), Terms({6}, {}, true)}), "-2, 3 |+6");
  EXPECT_EQ(TermFileText({Terms({1, 3, 5}, {7}), TTermVector(), Terms({0, 4}, {}, true)}), "-1, 3, 5, 7d | |+0, 4");
  EXPECT_EQ(TermFileText({TTermVector(), TTermVector(), TTermVector()}), " | |");
  EXPECT_EQ(TermFileText({TTermVector()}), "");
  // An empty maxterm function keeps its kind.
  EXPECT_EQ(TermFileText({Terms({}, {}, true), Terms({1})}), "+ |-1");
}

TEST(TermFileText, ReaderIsTolerant) {
  auto three = ParseTermFileText(" | |");
  ASSERT_EQ(three.size(), 3u);
  for (const auto& f : three) EXPECT_EQ(f, TTermVector());
  EXPECT_EQ(ParseTermFileText(""), std::vector<TTermVector>{TTermVector()});
  EXPECT_EQ(ParseTermFileText("+3, 1, 3"), std::vector<TTermVector>{Terms({1, 3}, {}, true)});
  EXPECT_EQ(ParseTermFileText("12d, 4"), std::vector<TTermVector>{Terms({4}, {12})});
  EXPECT_EQ(ParseTermFileText("d12"), std::vector<TTermVector>{Terms({}, {12})});
  EXPECT_EQ(ParseTermFileText("1d2"), std::vector<TTermVector>{Terms({}, {12})});
  EXPECT_EQ(ParseTermFileText("1 2, 007"), std::vector<TTermVector>{Terms({12, 7})});
  auto lines = ParseTermFileText("-1, 2 |\r\n+3,\r\n 4 |\n5");
  auto oneLine = ParseTermFileText("-1, 2 |+3, 4 |5");
  EXPECT_EQ(lines, oneLine);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], Terms({3, 4}, {}, true));
  auto trailing = ParseTermFileText("1,2|");
  ASSERT_EQ(trailing.size(), 2u);
  EXPECT_EQ(trailing[1], TTermVector());
  // The kind mark may stand anywhere; the last one wins. Ctrl-Z ends the text.
  EXPECT_EQ(ParseTermFileText("4+, 5-, 6+"), std::vector<TTermVector>{Terms({4, 5, 6}, {}, true)});
  EXPECT_EQ(ParseTermFileText(std::string("1, 2\x1a, 3")), std::vector<TTermVector>{Terms({1, 2})});
  // Repeats keep the flag of their first occurrence.
  EXPECT_EQ(ParseTermFileText("5d, 5, 3"), std::vector<TTermVector>{Terms({3}, {5})});
  EXPECT_EQ(ParseTermFileText("2147483647"), std::vector<TTermVector>{Terms({2147483647})});
}

TEST(TermFileText, TooLargeNumbersAnywhereAreErrors) {
  for (const char* text : {"1, 2147483648", "2147483648, 1", "1 | 99999999999 | 2"}) {
    try {
      ParseTermFileText(text);
      ADD_FAILURE() << text;
    } catch (const ConvertError& e) {
      EXPECT_NE(std::string(e.what()).find("is not a valid integer value"), std::string::npos);
    }
  }
  try {
    ParseTermFileText("0002147483648");
    ADD_FAILURE();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'0002147483648' is not a valid integer value");
  }
}

TEST_F(TermFileOnDisk, SaveAddsTheExtensionAndLoadRestoresTheSystem) {
  TFunctionSystem s;
  s.Functions = {Terms({1, 3}, {7}), Terms({}, {}, true), Terms({0, 4}, {}, true)};
  s.Modified = true;
  SaveTermFile(s, (dir / "adder").string());
  EXPECT_FALSE(s.Modified);
  EXPECT_EQ(ReadFileBytes((dir / "adder.trm").string()), "-1, 3, 7d |+ |+0, 4");
  SaveTermFile(s, (dir / "adder.TRM").string());
  EXPECT_TRUE(fs::exists(dir / "adder.TRM.trm"));
  SaveTermFile(s, (dir / "b.trm").string());
  EXPECT_TRUE(fs::exists(dir / "b.trm"));
  EXPECT_FALSE(fs::exists(dir / "b.trm.trm"));

  TFunctionSystem t;
  t.ResultReady = true;
  t.Modified = true;
  LoadTermFile(t, (dir / "adder.trm").string());
  EXPECT_EQ(t.Functions, s.Functions);
  EXPECT_EQ(t.CurrentFileName, (dir / "adder.trm").string());
  EXPECT_FALSE(t.Modified);
  EXPECT_FALSE(t.ResultReady);
}

TEST_F(TermFileOnDisk, FailedLoadChangesNothing) {
  TFunctionSystem s;
  s.Functions = {Terms({1, 2})};
  s.CurrentFileName = "keep.trm";
  s.Modified = true;
  s.ResultReady = true;
  const auto before = s.Functions;
  try {
    LoadTermFile(s, (dir / "missing.trm").string());
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  EXPECT_THROW(LoadTermFile(s, Write("big.trm", "1, 2, 3, 4294967296, 5")), ConvertError);
  EXPECT_THROW(LoadTermFile(s, dir.string()), FileError);
  EXPECT_EQ(s.Functions, before);
  EXPECT_EQ(s.CurrentFileName, "keep.trm");
  EXPECT_TRUE(s.Modified);
  EXPECT_TRUE(s.ResultReady);
}

TEST_F(TermFileOnDisk, FailedSaveReportsAndKeepsTheOldFile) {
  TFunctionSystem s;
  s.Functions = {Terms({1})};
  s.Modified = true;
  const std::string blocker = Write("plain", "x");
  try {
    SaveTermFile(s, blocker + "/inside");
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + blocker + "/inside.trm: Not a directory");
  }
  EXPECT_TRUE(s.Modified);
  // Replacing a file goes through a temporary, and leaves nothing else behind.
  const std::string good = Write("good.trm", "-9");
  SaveTermFile(s, good);
  EXPECT_EQ(ReadFileBytes(good), "-1");
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += entry.is_regular_file();
  EXPECT_EQ(files, 2u);
}

TEST_F(TermFileOnDisk, SavingWithoutANameWritesNothing) {
  TFunctionSystem s;
  s.Functions = {Terms({1})};
  s.Modified = true;
  const auto cwd = fs::current_path();
  fs::current_path(dir);
  EXPECT_THROW(SaveTermFile(s, ""), FileError);
  fs::current_path(cwd);
  EXPECT_TRUE(s.Modified);
  EXPECT_TRUE(fs::is_empty(dir));
}
