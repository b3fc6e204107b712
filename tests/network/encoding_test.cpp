// Which encoding a .pc file is read in: GBK, the format, unless the bytes
// are plainly UTF-8; forced either way by the caller.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "network/errors.h"
#include "network/gbk.h"
#include "network/project_file.h"

namespace levelnet {
namespace {

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string toUtf8(const std::string& gbkBytes) {
  DecodedText decoded = gbkToUtf8(gbkBytes);
  EXPECT_FALSE(decoded.badOffset);
  return decoded.text;
}

// Every character of GB2312's hanzi block (rows B0..F7), as GBK bytes.
std::vector<std::string> gb2312Hanzi() {
  std::vector<std::string> chars;
  for (int lead = 0xB0; lead <= 0xF7; ++lead)
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const std::string c{static_cast<char>(lead), static_cast<char>(trail)};
      const DecodedText decoded = gbkToUtf8(c);
      if (!decoded.badOffset && decoded.text.size() == 3) chars.push_back(c);
    }
  return chars;
}

// A short network file whose only non-ASCII text is `name`, given in the
// encoding the file is in.
std::string shortFile(const std::string& name) {
  return "1,1,2,1\r\n" + name + ",10\r\nP,\r\n" + name + ",P,1.5,1\r\nP," + name + ",-1.5,1\r\n";
}

TEST(FileEncoding, EveryShippedFileIsGbkAndItsUtf8CopyIsUtf8) {
  const std::vector<std::string> files = {std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc",
                                          std::string(LEVELNET_EXAMPLES_DIR) + "/two_benchmarks.pc",
                                          std::string(LEVELNET_EXAMPLES_DIR) + "/loop_a_b.pc",
                                          std::string(LEVELNET_EXAMPLES_DIR) + "/one_unknown.pc",
                                          std::string(LEVELNET_CASES_DIR) + "/city_blunder.pc",
                                          std::string(LEVELNET_CASES_DIR) + "/zero_length.pc"};
  for (const std::string& path : files) {
    const std::string gbkBytes = fileBytes(path);
    ASSERT_FALSE(gbkBytes.empty()) << path;
    EXPECT_EQ(detectFileEncoding(gbkBytes), FileEncoding::gbk) << path;
    const ProjectData asGbk = parseProjectBytes(gbkBytes, path);
    EXPECT_EQ(asGbk.encoding, FileEncoding::gbk);
    EXPECT_EQ(encodingNote(asGbk, path), "");

    const std::string utf8 = toUtf8(gbkBytes);
    for (const std::string& bytes : {utf8, std::string(kUtf8ByteOrderMark) + utf8}) {
      const ProjectData asUtf8 = parseProjectBytes(bytes, path);
      const bool hasChinese = utf8 != gbkBytes;
      EXPECT_EQ(asUtf8.encoding, hasChinese || bytes != utf8 ? FileEncoding::utf8 : FileEncoding::gbk) << path;
      EXPECT_EQ(asUtf8.points, asGbk.points) << path;
      EXPECT_EQ(asUtf8.observations, asGbk.observations) << path;
      if (asUtf8.encoding == FileEncoding::utf8) {
        EXPECT_NE(encodingNote(asUtf8, "x.pc").find("UTF-8"), std::string::npos);
      }
    }
  }
}

// The rule must hold on the shortest files, where a few bytes decide: every
// one-character name and a deterministic sample of two- and three-character
// names of GB2312, once in GBK and once in UTF-8.
TEST(FileEncoding, ShortFilesWithOneToThreeChineseCharacters) {
  const std::vector<std::string> hanzi = gb2312Hanzi();
  ASSERT_EQ(hanzi.size(), 6763u);
  std::vector<std::string> names(hanzi.begin(), hanzi.end());
  std::mt19937 random(20261207);
  std::uniform_int_distribution<std::size_t> pick(0, hanzi.size() - 1);
  for (int k = 0; k < 60000; ++k) names.push_back(hanzi[pick(random)] + hanzi[pick(random)]);
  for (int k = 0; k < 20000; ++k)
    names.push_back("BM" + hanzi[pick(random)] + hanzi[pick(random)] + hanzi[pick(random)]);
  int wrongGbk = 0, wrongUtf8 = 0;
  for (const std::string& name : names) {
    if (detectFileEncoding(shortFile(name)) != FileEncoding::gbk && wrongGbk++ < 5) ADD_FAILURE() << toUtf8(name);
    if (detectFileEncoding(shortFile(toUtf8(name))) != FileEncoding::utf8 && wrongUtf8++ < 5)
      ADD_FAILURE() << toUtf8(name) << " in UTF-8";
  }
  EXPECT_EQ(wrongGbk, 0);
  EXPECT_EQ(wrongUtf8, 0);
}

TEST(FileEncoding, DetectionCases) {
  const struct {
    const char* name;
    std::string bytes;
    FileEncoding expected;
  } cases[] = {
      {"plain ASCII", "1,1,1,1\r\nA,1\r\nB,\r\nA,B,1,1\r\n", FileEncoding::gbk},
      {"empty", "", FileEncoding::gbk},
      {"byte-order mark, ASCII after it",
       "\xEF\xBB\xBF"
       "1,0,0,1\r\nA,1\r\n",
       FileEncoding::utf8},
      {"UTF-8 punctuation and full-width digits", "\xE2\x80\x9C\xEF\xBC\x91\xE2\x80\x9D", FileEncoding::utf8},
      {"GBK 水 alone reads as UTF-8 U+02EE", "\xCB\xAE,1\r\n", FileEncoding::gbk},
      {"Latin letters in UTF-8 are no evidence", "Caf\xC3\xA9,1\r\n", FileEncoding::gbk},
      {"truncated UTF-8", "\xE5\x9F", FileEncoding::gbk},
      {"overlong form", "\xC0\xAF", FileEncoding::gbk},
      {"surrogate", "\xED\xA0\x80", FileEncoding::gbk},
  };
  for (const auto& c : cases) EXPECT_EQ(detectFileEncoding(c.bytes), c.expected) << c.name;
}

TEST(FileEncoding, ForcedEncodingsAndFilesInNeither) {
  const std::string utf8 = shortFile("城东");
  const std::string gbkBytes = utf8ToGbk(utf8).value();
  EXPECT_EQ(parseProjectBytes(gbkBytes, "g.pc", FileEncoding::gbk).points[0][0], "城东");
  EXPECT_EQ(parseProjectBytes(utf8, "u.pc", FileEncoding::utf8).points[0][0], "城东");
  // Forcing GBK on UTF-8 bytes reads what GBK makes of them: the caller asked.
  EXPECT_EQ(parseProjectBytes(utf8, "u.pc", FileEncoding::gbk).points[0][0], "鍩庝笢");

  const struct {
    std::string bytes;
    std::optional<FileEncoding> forced;
    const char* expected;
  } refused[] = {
      {gbkBytes, FileEncoding::utf8, "文件“t.pc”第 2 行：不是 UTF-8 编码的文字（字节 B3 C7）"},
      {"1,0,0,1\r\n\xFF\xFF,1\r\n", std::nullopt, "第 2 行：不是 GBK 编码的文字（字节 FF FF），也不是 UTF-8"},
      {"\xEF\xBB\xBF"
       "1,0,0,1\r\nA\xFF,1\r\n",
       std::nullopt, "第 2 行：不是 UTF-8 编码的文字（字节 FF 2C）"},
  };
  for (const auto& r : refused) {
    try {
      parseProjectBytes(r.bytes, "t.pc", r.forced);
      ADD_FAILURE() << r.expected;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(r.expected), std::string::npos) << e.what();
    }
  }
}

// Well-formed UTF-8 that no GBK reading accepts is UTF-8 even when its
// characters are not the usual Chinese ones.
TEST(FileEncoding, Utf8ThatIsNoGbkIsReadAsUtf8) {
  const std::string bytes = "1,1,2,1\r\n\xC3\xA9\xC3\xA9\xC3,10\r\n";  // not even UTF-8: refused
  EXPECT_THROW(parseProjectBytes(bytes, "t.pc"), InputError);
  const std::string accented =
      "1,1,2,1\r\nA\xE2\x82\xAC\xC2\x80,10\r\nP,\r\nA\xE2\x82\xAC\xC2\x80,P,1,1\r\nP,A\xE2\x82\xAC\xC2\x80,-1,1\r\n";
  const ProjectData data = parseProjectBytes(accented, "t.pc");
  EXPECT_EQ(data.encoding, FileEncoding::utf8);
  EXPECT_EQ(data.points[0][0], "A\xE2\x82\xAC\xC2\x80");
}

}  // namespace
}  // namespace levelnet
