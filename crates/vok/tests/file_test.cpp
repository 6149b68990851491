#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "case_names.hpp"
#include "file_detail.hpp"
#include "vok/parser.hpp"

namespace vok {
namespace {

class DefinitionFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "vok_file_test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // The message of the Other error of reading `path`, "" on success.
  static std::string failure(std::string_view path) {
    auto result = read_and_parse_file(path, Namespace{{"ns"}});
    if (result) return "";
    EXPECT_EQ(result.error().kind, ParseErrorKind::Other);
    EXPECT_TRUE(result.error().span_text.empty());
    return result.error().payload;
  }

  std::filesystem::path dir_;
};

TEST_F(DefinitionFile, ReadingFailuresAreOtherErrors) {
  EXPECT_EQ(failure((dir_ / "missing.vok").string()), "No such file or directory (os error 2)");
  EXPECT_EQ(failure(dir_.string()), "Is a directory (os error 21)");
  const std::string existing = write("a", "");
  EXPECT_EQ(failure(existing + std::string("\0b", 2)), "file name contained an unexpected NUL byte");
  EXPECT_EQ(failure(std::string("\0", 1)), "file name contained an unexpected NUL byte");
}

struct BytesCase {
  std::string label;
  std::string bytes;
};

void PrintTo(const BytesCase& c, std::ostream* os) { print_quoted(c.bytes, os); }

class InvalidUtf8 : public DefinitionFile, public ::testing::WithParamInterface<BytesCase> {};

TEST_P(InvalidUtf8, IsRefused) {
  EXPECT_EQ(failure(write("bad.vok", GetParam().bytes)), "stream did not contain valid UTF-8");
}

INSTANTIATE_TEST_SUITE_P(Bytes, InvalidUtf8,
                         ::testing::Values(BytesCase{"ByteOrderMarkOfUtf16", "\xff\xfe"},
                                           BytesCase{"ContinuationByteAtTheEnd", "data A {};\x80"},
                                           BytesCase{"OverlongNul", "\xc0\x80"},
                                           BytesCase{"Surrogate", "\xed\xa0\x80"},
                                           BytesCase{"AboveLastCodePoint", "\xf4\x90\x80\x80"},
                                           BytesCase{"CutShortAtTheEnd", "ok \xe2\x82"}),
                         CaseLabel());

TEST_F(DefinitionFile, ParsesTheContentUnderTheNamespace) {
  auto empty = read_and_parse_file(write("empty.vok", ""), Namespace{{"a", "b"}});
  ASSERT_TRUE(empty.has_value()) << parse_error_display(empty.error());
  EXPECT_EQ(empty->namespace_.components, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(empty->imports.empty() && empty->data_types.empty() && empty->enums.empty() &&
              empty->services.empty());

  auto module = read_and_parse_file(write("m.vok", "import x;\r\ndata \xc3\xa9 {};"), Namespace{{"m"}});
  ASSERT_FALSE(module.has_value());  // a non-ASCII name is a syntax error, counted from the file start
  EXPECT_NE(module.error().payload.find("2:6"), std::string::npos) << module.error().payload;

  auto good = read_and_parse_file(write("g.vok", "/// c\ndata A { x: u8, };\n"), Namespace{{"m"}});
  ASSERT_TRUE(good.has_value()) << parse_error_display(good.error());
  ASSERT_EQ(good->data_types.size(), 1u);
  EXPECT_EQ(good->data_types[0].first, "A");
}

TEST_F(DefinitionFile, ReadsContentOfUnknownSizeWhole) {
  // A FIFO reports no size and delivers its content in pieces, so the
  // buffer has to grow from nothing.
  const std::string path = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::string content;
  for (int i = 0; i < 5000; ++i) content += "data T" + std::to_string(i) + " { f: list of u8, };\n";
  std::thread writer([&] {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    std::string_view rest = content;
    while (!rest.empty()) {
      const ssize_t put = ::write(fd, rest.data(), std::min<std::size_t>(rest.size(), 3000));
      if (put <= 0) break;
      rest.remove_prefix(static_cast<std::size_t>(put));
    }
    ::close(fd);
  });
  auto module = read_and_parse_file(path, Namespace{{"f"}});
  writer.join();
  ASSERT_TRUE(module.has_value()) << parse_error_display(module.error());
  ASSERT_EQ(module->data_types.size(), 5000u);
  EXPECT_EQ(module->data_types[4999].first, "T4999");
}

TEST(OsErrorText, IsTheLibraryTextAndTheNumber) {
  EXPECT_EQ(file_detail::os_error_text(ENOENT), "No such file or directory (os error 2)");
  EXPECT_EQ(file_detail::os_error_text(EISDIR), "Is a directory (os error 21)");
  EXPECT_TRUE(file_detail::os_error_text(99999).ends_with(" (os error 99999)"));
}

TEST(Utf8Lossy, ReplacesEachMaximalInvalidSubsequence) {
  EXPECT_EQ(file_detail::utf8_lossy("ok \xc3\xa9"), "ok \xc3\xa9");
  EXPECT_EQ(file_detail::utf8_lossy("a\xffz"), "a\uFFFDz");
  EXPECT_EQ(file_detail::utf8_lossy("a\xe2\x82z"), "a\uFFFDz");         // one replacement for a cut char
  EXPECT_EQ(file_detail::utf8_lossy("\xed\xa0\x80"), "\uFFFD\uFFFD\uFFFD");  // surrogate: byte by byte
  EXPECT_EQ(file_detail::utf8_lossy("\xf0\x9f\x98"), "\uFFFD");
  // A byte that starts no character, or a second byte outside its lead's range,
  // ends the subsequence at one byte.
  EXPECT_EQ(file_detail::utf8_lossy("\xc0\xaf\xc1\xbf"), "\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(file_detail::utf8_lossy("\xf5\x80\xff"), "\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(file_detail::utf8_lossy("\xe0\x9f\xbf\xf0\x8f\xbf\xbf"),
            "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
  // The first and last character each lead byte allows stay as they are.
  const std::string edges = "\u0080\u07FF\u0800\u0FFF\u1000\uD7FF\uE000\uFFFF\U00010000\U0003FFFF\U00040000\U0010FFFF";
  EXPECT_EQ(file_detail::utf8_lossy(edges), edges);
  EXPECT_EQ(file_detail::valid_utf8_prefix(edges), edges.size());
}

}  // namespace
}  // namespace vok
