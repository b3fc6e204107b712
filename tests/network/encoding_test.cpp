// Which encoding a .pc file is read in: GBK, the format, unless the bytes
// are plainly UTF-8; forced either way by the caller.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>

#include "network/errors.h"
#include "network/gbk.h"
#include "network/project_file.h"
#include "network/text_table.h"

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
    // A UTF-8 name whose bytes are as plausible GBK is read as GBK, the
    // format, but never without a word.
    const EncodingGuess utf8 = guessFileEncoding(shortFile(toUtf8(name)));
    if (utf8.encoding != FileEncoding::utf8 && !utf8.ambiguous && wrongUtf8++ < 5)
      ADD_FAILURE() << toUtf8(name) << " in UTF-8";
  }
  EXPECT_EQ(wrongGbk, 0);
  EXPECT_EQ(wrongUtf8, 0);
}

TEST(FileEncoding, AnAmbiguousFileIsReadAsGbkWithANote) {
  // 谢鹬 in UTF-8 reads as three GB2312 characters in GBK, as plausible.
  const std::string name = "\xE8\xB0\xA2\xE9\xB9\xAC";
  const EncodingGuess guess = guessFileEncoding(shortFile(name));
  EXPECT_EQ(guess.encoding, FileEncoding::gbk);
  EXPECT_TRUE(guess.ambiguous);
  const ProjectData data = parseProjectBytes(shortFile(name), "a.pc");
  EXPECT_TRUE(data.encodingAmbiguous);
  EXPECT_NE(encodingNote(data, "a.pc").find("都读得通"), std::string::npos);
  const ProjectData asUtf8 = parseProjectBytes(shortFile(name), "a.pc", FileEncoding::utf8);
  EXPECT_EQ(asUtf8.points[0][0], "谢鹬");
  EXPECT_FALSE(asUtf8.encodingAmbiguous);
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

namespace levelnet {
namespace {

// The byte values a position of a GB2312 name may take that also let the
// name read as UTF-8: a GB2312 lead (rows A1-A9, B0-F7) or trail (A1-FE)
// that is at once a UTF-8 lead of the given length (2: C2-DF, 3: E0-EF,
// 4: F0-F4) or a continuation byte (80-BF).
std::vector<unsigned char> bytesFor(bool gb2312Lead, int utf8Role) {
  std::vector<unsigned char> out;
  for (int b = 0x80; b <= 0xFF; ++b) {
    const bool inGb2312 = gb2312Lead ? (b >= 0xA1 && b <= 0xA9) || (b >= 0xB0 && b <= 0xF7) : b >= 0xA1 && b <= 0xFE;
    const bool inUtf8 = utf8Role == 0   ? b >= 0x80 && b <= 0xBF
                        : utf8Role == 2 ? b >= 0xC2 && b <= 0xDF
                        : utf8Role == 3 ? b >= 0xE0 && b <= 0xEF
                                        : b >= 0xF0 && b <= 0xF4;
    if (inGb2312 && inUtf8) out.push_back(static_cast<unsigned char>(b));
  }
  return out;
}

// Every way of reading `bytes` bytes as UTF-8 sequences of 2, 3 and 4 bytes.
void compositions(int bytes, std::vector<int>& parts, std::vector<std::vector<int>>& out) {
  if (bytes == 0) out.push_back(parts);
  for (int length : {2, 3, 4}) {
    if (length > bytes) continue;
    parts.push_back(length);
    compositions(bytes - length, parts, out);
    parts.pop_back();
  }
}

// A name of three or four GB2312 characters that is also well-formed UTF-8
// (濉板啊 reads as UTF-8 塰尡) must read back, from the file Save writes, as
// the name it was: every pattern of UTF-8 sequence lengths such a name can
// form, each with its extreme bytes and 3000 random ones.
TEST(FileEncoding, Gb2312NamesThatAreAlsoUtf8ReadBackAsGbk) {
  EXPECT_EQ(detectFileEncoding(shortFile("\xE5\xA1\xB0\xE5\xB0\xA1")), FileEncoding::gbk);  // 濉板啊
  std::mt19937 random(20261208);
  int patterns = 0, names = 0, wrong = 0;
  for (int characters : {3, 4}) {
    std::vector<std::vector<int>> all;
    std::vector<int> parts;
    compositions(2 * characters, parts, all);
    for (const std::vector<int>& pattern : all) {
      // The byte values each position may take.
      std::vector<std::vector<unsigned char>> choices;
      for (int length : pattern)
        for (int k = 0; k < length; ++k) choices.push_back(bytesFor(choices.size() % 2 == 0, k == 0 ? length : 0));
      bool possible = true;
      for (const auto& c : choices) possible = possible && !c.empty();
      if (!possible) continue;
      ++patterns;
      for (int sample = 0; sample < 3002; ++sample) {
        std::string name;
        for (const auto& c : choices) {
          const std::size_t at = sample == 0   ? 0
                                 : sample == 1 ? c.size() - 1
                                               : std::uniform_int_distribution<std::size_t>(0, c.size() - 1)(random);
          name.push_back(static_cast<char>(c[at]));
        }
        const DecodedText decoded = gbkToUtf8(name);
        if (decoded.badOffset || firstInvalidUtf8(name)) continue;  // not both readings: not this test's case
        ++names;
        NetworkText net;
        net.fields = {"1", "1", "2", "1"};
        net.points.setRows(3);
        net.points.setText(1, 1, decoded.text);
        net.points.setText(1, 2, "10");
        net.points.setText(2, 1, "P");
        net.observations.setRows(3);
        for (int r : {1, 2}) {
          net.observations.setText(r, 1, r == 1 ? decoded.text : "P");
          net.observations.setText(r, 2, r == 1 ? "P" : decoded.text);
          net.observations.setText(r, 3, "1.5");
          net.observations.setText(r, 4, "1");
        }
        const ProjectData read =
            parseProjectBytes(formatProjectBytes(net.fields, net.points, net.observations), "name.pc");
        if ((read.encoding != FileEncoding::gbk || read.points[0][0] != decoded.text) && wrong++ < 5)
          ADD_FAILURE() << decoded.text << " read back as " << read.points[0][0];
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GE(patterns, 4);
  EXPECT_GT(names, 10000);
}

// Chinese text really in UTF-8 stays UTF-8 under the rule where its bytes
// happen to be valid GBK too, unless the GBK reading is as plausible: then
// it is read as GBK and said to be ambiguous, never silently. Such names are
// few, and a file of several names is seldom ambiguous as a whole.
TEST(FileEncoding, Utf8ChineseThatIsAlsoGbkIsUtf8OrSaidToBeAmbiguous) {
  std::mt19937 random(7);
  const std::vector<std::string> hanzi = gb2312Hanzi();
  std::uniform_int_distribution<std::size_t> pick(0, hanzi.size() - 1);
  int bothValid = 0, wrong = 0, ambiguous = 0;
  for (int k = 0; k < 200000; ++k) {
    const std::string name = toUtf8(hanzi[pick(random)] + hanzi[pick(random)]);
    if (gbkToUtf8(shortFile(name)).badOffset) continue;
    ++bothValid;
    const EncodingGuess guess = guessFileEncoding(shortFile(name));
    ambiguous += guess.ambiguous ? 1 : 0;
    if (guess.encoding != FileEncoding::utf8 && !guess.ambiguous && wrong++ < 5) ADD_FAILURE() << name;
  }
  EXPECT_GT(bothValid, 100);
  EXPECT_EQ(wrong, 0);
  EXPECT_LT(ambiguous, bothValid / 2);
  // Three names of two characters each, as a file holds them: hardly ever
  // ambiguous as a whole.
  int fileAmbiguous = 0, files = 0;
  for (int k = 0; k < 20000; ++k) {
    std::string names[3];
    for (std::string& n : names) n = toUtf8(hanzi[pick(random)] + hanzi[pick(random)]);
    const std::string file = "2,1,2,1\r\n" + names[0] + ",1\r\n" + names[1] + ",2\r\n" + names[2] + ",\r\n" + names[0] +
                             "," + names[2] + ",1,1\r\n" + names[1] + "," + names[2] + ",1,1\r\n";
    const EncodingGuess guess = guessFileEncoding(file);
    ++files;
    fileAmbiguous += guess.ambiguous ? 1 : 0;
    EXPECT_TRUE(guess.encoding == FileEncoding::utf8 || guess.ambiguous) << file;
  }
  EXPECT_LT(fileAmbiguous * 1000, files);
}

TEST(FileEncoding, ReportsInGbkWriteTheirFormulaSymbolsAsGbkCan) {
  const struct {
    const char* utf8;
    const char* asInGbk;  // the UTF-8 text of what the GBK bytes say
  } cases[] = {
      {"W = Σh − (H终 − H起)", "W = Σh － (H终 － H起)"},
      {"∇h(mm)", "▽h(mm)"},
      {"χ²检验，[pvv]/σ0²", "χ^2检验，[pvv]/σ0^2"},
      {"|p·MDB·Q·aᵀ|", "|p·MDB·Q·a^T|"},
      {"δ = α(t − t₀)·h", "δ = α(t － t0)·h"},
      {"（Šidák）", "（Sidák）"},
      {"水准网平差 ±2.5", "水准网平差 ±2.5"},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> gbk = reportToGbk(c.utf8);
    ASSERT_TRUE(gbk) << c.utf8;
    EXPECT_EQ(toUtf8(*gbk), c.asInGbk) << c.utf8;
  }
  // The stand-ins are for reports only: text that is saved (a name, a .pc
  // file) is refused rather than changed, and so is any other character.
  EXPECT_FALSE(utf8ToGbk("∇h"));
  EXPECT_FALSE(reportToGbk("点😀"));
  EXPECT_FALSE(reportToGbk("\xFF"));
}

}  // namespace
}  // namespace levelnet
