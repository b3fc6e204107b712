// The .pc data file: reading items, normalising, quoting, refusing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "network/errors.h"
#include "network/gbk.h"
#include "network/project_file.h"

namespace levelnet {
namespace {

namespace fs = std::filesystem;

std::string gbk(const std::string& utf8) {
  const std::optional<std::string> out = utf8ToGbk(utf8);
  EXPECT_TRUE(out);
  return out.value_or("");
}

NetworkText openBytes(const std::string& bytes) {
  NetworkText net;
  applyProject(parseProjectBytes(bytes, "t.pc"), net.fields, net.points, net.observations);
  return net;
}

std::string saveBytes(const NetworkText& net) { return formatProjectBytes(net.fields, net.points, net.observations); }

std::string errorOf(const std::string& bytes) {
  try {
    parseProjectBytes(bytes, "t.pc");
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

const std::string kNineLines =
    "2,2,4,1\r\nBM1,10.000\r\nBM2,12.500\r\nP1,\r\nP2,\r\n"
    "BM1,P1,1.234,1.2\r\nP1,P2,0.456,0.8\r\nP2,BM2,0.812,1.5\r\nBM1,P2,1.688,2.0\r\n";

TEST(ProjectFile, OpensTheNineLineExampleAndSavesItNormalised) {
  NetworkText net = openBytes(kNineLines);
  EXPECT_EQ(net.fields.known, "2");
  EXPECT_EQ(net.fields.unknown, "2");
  EXPECT_EQ(net.fields.observations, "4");
  EXPECT_EQ(net.fields.unitLength, "1");
  ASSERT_EQ(net.points.rows(), 5);
  const char* points[4][3] = {{"1", "BM1", "10"}, {"2", "BM2", "12.5"}, {"3", "P1", ""}, {"4", "P2", ""}};
  for (int i = 0; i < 4; ++i)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(net.points.text(i + 1, c), points[i][c]) << i << "," << c;
  ASSERT_EQ(net.observations.rows(), 5);
  const char* obs[4][5] = {{"1", "BM1", "P1", "1.2340", "1.2"},
                           {"2", "P1", "P2", "0.4560", "0.8"},
                           {"3", "P2", "BM2", "0.8120", "1.5"},
                           {"4", "BM1", "P2", "1.6880", "2"}};
  for (int j = 0; j < 4; ++j)
    for (int c = 0; c < 5; ++c) EXPECT_EQ(net.observations.text(j + 1, c), obs[j][c]) << j << "," << c;
  EXPECT_EQ(saveBytes(net),
            "2,2,4,1\r\nBM1,10\r\nBM2,12.5\r\nP1,\r\nP2,\r\n"
            "BM1,P1,1.2340,1.2\r\nP1,P2,0.4560,0.8\r\nP2,BM2,0.8120,1.5\r\nBM1,P2,1.6880,2\r\n");
}

TEST(ProjectFile, ShownTextOfItems) {
  // One observation line per case: the item as written, and the text shown
  // in the from column (general text) and the difference column ("0.0000").
  struct Row {
    const char* item;
    const char* asName;
    const char* asDifference;
  } rows[] = {
      {"007", "7", "7.0000"},           {"12.500", "12.5", "12.5000"},
      {"3.0", "3", "3.0000"},           {"1.23456", "1.23456", "1.2346"},
      {"1.23455", "1.23455", "1.2346"},  // half up, not to even
      {"-0.00005", "-5e-05", "0.0000"}, {"-0", "0", "0.0000"},
      {".5", "0.5", "0.5000"},          {"5.", "5", "5.0000"},
      {"1e3", "1000", "1000.0000"},     {"abc", "abc", "abc"},
      {"1e400", "1e400", "1e400"},      {"\"007\"", "007", "007"},
      {"  x y  ", "x y", "x y"},        {"\" a,b \"", " a,b ", " a,b "},
      {"\"q\"tail", "q", "q"},          {"", "", ""},
  };
  for (const Row& r : rows) {
    const std::string file = std::string("0,0,1,1\r\n") + r.item + ",B," + r.item + ",1\r\n";
    NetworkText net = openBytes(file);
    EXPECT_EQ(net.observations.text(1, 1), r.asName) << r.item;
    EXPECT_EQ(net.observations.text(1, 3), r.asDifference) << r.item;
  }
}

TEST(ProjectFile, ItemStreamRules) {
  // Line ends of every kind, items split over lines, empty lines as empty
  // items, a final comma giving one more empty item.
  NetworkText a = openBytes("1,1,1,1\nA,1\rB,\n\rA\r\nB\r\n2,3");
  EXPECT_EQ(a.points.text(1, 1), "A");
  EXPECT_EQ(a.points.text(2, 1), "B");
  EXPECT_EQ(a.points.text(2, 2), "");
  EXPECT_EQ(a.observations.text(1, 1), "");  // the empty line between \n and \r
  EXPECT_EQ(a.observations.text(1, 2), "A");
  EXPECT_EQ(a.observations.text(1, 3), "B");
  EXPECT_EQ(a.observations.text(1, 4), "2");

  NetworkText b = openBytes("0,1,0,1\r\nP,");  // final comma: one empty item
  EXPECT_EQ(b.points.text(1, 1), "P");
  EXPECT_EQ(b.points.text(1, 2), "");

  NetworkText c = openBytes("1,0,0,1\r\n\"A\"  junk ,  \" 5\"\r\nlines after the last item are never read\r\n");
  EXPECT_EQ(c.points.text(1, 1), "A");
  EXPECT_EQ(c.points.text(1, 2), " 5");

  NetworkText d = openBytes("\"\",\"2\",0,1\r\nA,1\r\nB,2\r\n");  // quoted counts read as their text
  EXPECT_EQ(d.fields.known, "");
  EXPECT_EQ(d.fields.unknown, "2");
  EXPECT_EQ(d.points.rows(), 3);
}

TEST(ProjectFile, FreshWindowRoundTrip) {
  NetworkText fresh;
  const std::string bytes = saveBytes(fresh);
  EXPECT_EQ(bytes, ",,,\r\n,\r\n,,,\r\n");
  NetworkText back = openBytes(bytes);
  EXPECT_EQ(back.fields.known, "");
  EXPECT_EQ(back.fields.unitLength, "");
  EXPECT_EQ(back.points.rows(), 1);
  EXPECT_EQ(back.observations.rows(), 1);
}

TEST(ProjectFile, ChineseAndNumericLookingNamesSurviveTheRoundTrip) {
  const std::string file =
      gbk("1,2,2,1\r\n水准点甲,100.5\r\n007,\r\n桥头,\r\n水准点甲,007,1.5,2\r\n007,桥头,0.25,1\r\n");
  NetworkText net = openBytes(file);
  EXPECT_EQ(net.points.text(1, 1), "水准点甲");
  EXPECT_EQ(net.points.text(2, 1), "7");
  EXPECT_EQ(net.observations.text(1, 2), "7");  // still finds its point
  EXPECT_EQ(net.observations.text(2, 1), "7");
  EXPECT_EQ(saveBytes(net),
            gbk("1,2,2,1\r\n水准点甲,100.5\r\n7,\r\n桥头,\r\n水准点甲,7,1.5000,2\r\n7,桥头,0.2500,1\r\n"));
}

TEST(ProjectFile, SaveQuotesWhatWouldNotReadBack) {
  NetworkText net;
  net.fields = {"1", "0", "1", "1"};
  net.points.setText(1, 1, "a,b");
  net.points.setText(1, 2, " 5");
  net.observations.setText(1, 1, "x ");
  net.observations.setText(1, 2, "中,文");
  const std::string bytes = saveBytes(net);
  EXPECT_EQ(bytes, gbk("1,0,1,1\r\n\"a,b\",\" 5\"\r\n\"x \",\"中,文\",,\r\n"));
  NetworkText back = openBytes(bytes);
  EXPECT_EQ(back.points.text(1, 1), "a,b");
  EXPECT_EQ(back.points.text(1, 2), " 5");
  EXPECT_EQ(back.observations.text(1, 1), "x ");
  EXPECT_EQ(back.observations.text(1, 2), "中,文");
}

TEST(ProjectFile, SaveRefusesTextsNoFileCanHold) {
  struct Row {
    int table;  // 0 field, 1 points, 2 observations
    int row, col;
    const char* text;
    const char* expected;
  } rows[] = {
      {1, 1, 1, "say \"hi\"", "点表第 1 行“点号”列：“say \"hi\"”含有双引号或换行"},
      {2, 2, 4, "1\n2", "观测表第 2 行“水准路线长度(km)”列"},
      {2, 1, 3, "1\r", "观测表第 1 行“观测值(m)”列"},
      {1, 2, 2, "😀", "点表第 2 行“高程(m)”列：“😀”含有 GBK 编码无法表示的字符"},
      {0, 0, 0, "\"3\"", "已知点：“\"3\"”含有双引号"},
      {1, 1, 1, "BM\x08", "点表第 1 行“点号”列：“BM\\x08”含有控制字符"},
      {2, 1, 2, "\x1b", "观测表第 1 行“终点”列：“\\x1B”含有控制字符"},
      {0, 0, 0, "2\x13", "已知点：“2\\x13”含有控制字符"},
  };
  for (const Row& r : rows) {
    NetworkText net;
    net.points.setRows(3);
    net.observations.setRows(3);
    if (r.table == 0) net.fields.known = r.text;
    if (r.table == 1) net.points.setText(r.row, r.col, r.text);
    if (r.table == 2) net.observations.setText(r.row, r.col, r.text);
    try {
      saveBytes(net);
      ADD_FAILURE() << "saved " << r.text;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(r.expected), std::string::npos) << e.what();
    }
  }
}

TEST(ProjectFile, OpenRefusesBrokenFilesNamingLineAndText) {
  struct Row {
    std::string bytes;
    const char* expected;
  } rows[] = {
      {"2,2,4,1\r\nA,1\r\nB,2\r\nC,\r\n", "第 4 行：文件在读完第 4 个点（第 1 行声明 4 个点、4 个观测值）之前就结束了"},
      {"1,0,1,1\r\nA,1\r\nA,\"B,1,1\r\n",
       "第 3 行：文件在读完第 1 个观测值（第 1 行声明 1 个点、1 个观测值）之前就结束了"},
      {"1,0", "第 1 行：文件在读完观测值个数之前就结束了"},
      {"", "第 1 行：文件在读完已知点个数之前就结束了"},
      {"2.5,0,0,1\r\n", "第 1 行：已知点个数“2.5”不是 0 或正整数"},
      {"1,-1,0,1\r\n", "第 1 行：待定点个数“-1”不是 0 或正整数"},
      {"1,0,x,1\r\nA,1\r\n", "第 1 行：观测值个数“x”不是 0 或正整数"},
      {"1,0,0,1\r\nA,1\r\nB\x81\x20\r\n", "第 3 行：不是 GBK 编码的文字（字节 81 20）"},
      {"1,0,0,1\r\n\xff\xff,1\r\n", "第 2 行：不是 GBK 编码的文字"},
  };
  for (const Row& r : rows) {
    const std::string message = errorOf(r.bytes);
    EXPECT_NE(message.find("文件“t.pc”"), std::string::npos) << message;
    EXPECT_NE(message.find(r.expected), std::string::npos) << message;
  }
}

// Open's direct read into the tables gives what ProjectData and applyProject
// give: the same cells on every row, and the same refusal of a broken file
// with the tables it was given left as they were.
TEST(ProjectFile, ReadIntoTheTablesIsTheDataApplied) {
  const std::string good =
      "2,3,4,1\r\n BM1 ,10.000\r\n\"007\",1e2\r\n007,\r\n水准点,-0.5\r\nP3,\r\nBM1,007,1.23456,1.2\r\n"
      "007,水准点,-.5,0.8\r\n水准点,P3,1e20,1.5\r\nP3,BM1,\"2.5\",2.0\r\nextra\r\n";
  NetworkText direct;
  parseProjectBytes(gbk(good), "t.pc", std::nullopt, kReportLimits, direct);
  const NetworkText applied = openBytes(gbk(good));
  EXPECT_EQ(direct.fields.unitLength, applied.fields.unitLength);
  EXPECT_EQ(saveBytes(direct), saveBytes(applied));
  for (const auto& [d, a] :
       {std::pair{&direct.points, &applied.points}, {&direct.observations, &applied.observations}}) {
    ASSERT_EQ(d->rows(), a->rows());
    for (int r = 1; r < d->rows(); ++r)
      for (int c = 0; c < d->cols(); ++c) EXPECT_EQ(d->text(r, c), a->text(r, c)) << r << "," << c;
  }
  for (const char* broken : {"2,2,4,1\r\nA,1\r\nB,2\r\nC,\r\n", "1,0,x,1\r\nA,1\r\n", "1,0,1,1\r\nA,1\r\nA,\"B,1,1"}) {
    NetworkText kept = direct;
    std::string message;
    try {
      parseProjectBytes(broken, "t.pc", std::nullopt, kReportLimits, kept);
    } catch (const InputError& e) {
      message = e.what();
    }
    EXPECT_EQ(message, errorOf(broken));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(saveBytes(kept), saveBytes(direct));
  }
}

// A name Open would read as another number keeps its quotes through Save,
// so Open–Save–Open never merges two points or renames one; names that read
// back as they are, and the numeric columns, are written as before.
TEST(ProjectFile, SaveQuotesNamesThatWouldReadAsAnotherNumber) {
  const struct {
    const char* name;
    const char* written;
  } cases[] = {
      {"007", "\"007\""}, {"1e2", "\"1e2\""}, {"1.50", "\"1.50\""},   {"+5", "\"+5\""}, {"-0", "\"-0\""},
      {".5", "\".5\""},   {"1", "1"},         {"12", "12"},           {"BM1", "BM1"},   {"1.5", "1.5"},
      {"-3", "-3"},       {"1e+20", "1e+20"}, {"水准点1", "水准点1"},
  };
  for (const auto& c : cases) {
    const std::string name = c.name;
    const std::string file =
        "1,1,2,1\r\n\"" + name + "\",10\r\nP,\r\n\"" + name + "\",P,1.5,1\r\nP,\"" + name + "\",-1.5,1\r\n";
    NetworkText net = openBytes(gbk(file));
    ASSERT_EQ(net.points.text(1, 1), name);
    const std::string saved = saveBytes(net);
    const std::string written = gbk(c.written);
    EXPECT_EQ(saved.substr(9, written.size() + 1), written + ",") << name;
    EXPECT_NE(saved.find("\r\n" + written + ",P,1.5000,1\r\nP," + written + ",-1.5000,1\r\n"), std::string::npos)
        << saved;
    NetworkText again = openBytes(saved);
    EXPECT_EQ(again.points.text(1, 1), name);
    EXPECT_EQ(again.observations.text(1, 1), name);
    EXPECT_EQ(again.observations.text(2, 2), name);
    EXPECT_EQ(saveBytes(again), saved) << name;
  }
  // Numeric columns: a typed "007" elevation is a number and stays unquoted.
  NetworkText net = openBytes("1,1,2,1\r\nA,10\r\nP,\r\nA,P,1.5,1\r\nP,A,-1.5,1\r\n");
  net.points.setText(1, 2, "007");
  net.observations.setText(1, 4, "1e2");
  EXPECT_EQ(saveBytes(net), "1,1,2,1\r\nA,007\r\nP,\r\nA,P,1.5000,1e2\r\nP,A,-1.5000,1\r\n");
}

// Absurd magnitudes are shown as the file holds them, never as "inf" or as
// hundreds of digits, so Save writes them back as they were.
TEST(ProjectFile, HugeNumbersKeepTheirTextAndNeverBecomeInf) {
  const std::string file = "1,1,2,1\r\nA,1e308\r\nP,\r\nA,P,1.8e305,1\r\nP,A,-1e15,1e300\r\n";
  NetworkText net = openBytes(file);
  EXPECT_EQ(net.points.text(1, 2), "1e+308");
  EXPECT_EQ(net.observations.text(1, 3), "1.8e305");
  EXPECT_EQ(net.observations.text(2, 3), "-1e15");
  EXPECT_EQ(net.observations.text(2, 4), "1e+300");
  const std::string saved = saveBytes(net);
  EXPECT_EQ(saved.find("inf"), std::string::npos) << saved;
  EXPECT_EQ(openBytes(saved).observations.text(1, 3), "1.8e305");
  // Below 1e15 the mask holds, as for every ordinary difference.
  EXPECT_EQ(openBytes("1,1,1,1\r\nA,1\r\nP,\r\nA,P,999999999999999,1\r\n").observations.text(1, 3),
            "999999999999999.0000");
}

// The limits hold before anything is stored: a header that announces more
// than the program takes is refused at once, with the file and the limit.
TEST(ProjectFile, HeaderCountsBeyondTheLimitsAreRefusedAtOnce) {
  const struct {
    const char* header;
    const char* expected;
  } cases[] = {
      {"30000,2768,0,1\r\n", "已知点与待定点共 32768 个，超过 32767 个的上限"},
      {"1,1,100001,1\r\n", "观测值 100001 个，超过 100000 个的上限"},
      {"0,1e300,0,1\r\n", "已知点与待定点共 1e+300 个，超过 32767 个的上限"},
  };
  for (const auto& c : cases) {
    const std::string message = errorOf(c.header);
    EXPECT_NE(message.find(std::string("文件“t.pc”第 1 行：") + c.expected), std::string::npos) << message;
  }
  EXPECT_EQ(errorOf("32767,0,0,1\r\n").find("上限"), std::string::npos);  // at the limit: read on (and ends early)
}

class ProjectFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("levelnet_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  fs::path dir_;
};

TEST_F(ProjectFileOnDisk, SaveReplacesTheFileAndLeavesNoTemporaryBehind) {
  const fs::path target = dir_ / "net";  // no extension: used as typed
  std::ofstream(target, std::ios::binary) << "old";
  NetworkText net = openBytes(kNineLines);
  writeProjectFile(target.string(), net.fields, net.points, net.observations);
  EXPECT_EQ(read(target), saveBytes(net));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ProjectFileOnDisk, RefusedSaveLeavesTheOldFileIntact) {
  const fs::path target = dir_ / "net.pc";
  std::ofstream(target, std::ios::binary) << kNineLines;
  NetworkText net = openBytes(kNineLines);
  net.points.setText(1, 1, "bad\"name");
  try {
    writeProjectFile(target.string(), net.fields, net.points, net.observations);
    ADD_FAILURE() << "saved";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("无法保存到“" + target.string() + "”：点表第 1 行“点号”列"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(read(target), kNineLines);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ProjectFileOnDisk, FailedWriteLeavesTheOldFileIntact) {
  // A directory that cannot be written to (as root, /proc stands in).
  NetworkText net = openBytes(kNineLines);
  EXPECT_THROW(writeProjectFile("/proc/levelnet-cannot-write.pc", net.fields, net.points, net.observations), FileError);
  EXPECT_THROW(writeProjectFile((dir_ / "missing" / "x.pc").string(), net.fields, net.points, net.observations),
               FileError);
  EXPECT_THROW(writeProjectFile(dir_.string(), net.fields, net.points, net.observations), FileError);
  EXPECT_TRUE(fs::is_directory(dir_));
}

// A file larger than any network is refused before it is read whole, and a
// device that never ends (/dev/zero) is read only up to the limit.
TEST_F(ProjectFileOnDisk, FilesBeyondTheSizeLimitAreRefusedWithTheirName) {
  const fs::path large = dir_ / "large.pc";
  std::ofstream(large, std::ios::binary) << "1,0,0,1\r\n";
  fs::resize_file(large, kMaxProjectFileBytes + 1);  // sparse: costs no disk
  std::vector<std::string> paths = {large.string()};
  if (fs::exists("/dev/zero")) paths.push_back("/dev/zero");
  for (const std::string& path : paths) {
    try {
      readProjectFile(path);
      ADD_FAILURE() << path;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find("文件“" + path + "”超过 64 MiB"), std::string::npos) << e.what();
    }
  }
  fs::resize_file(large, kMaxProjectFileBytes);  // at the limit: read, then refused for its contents
  try {
    readProjectFile(large.string());
    ADD_FAILURE();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()).find("MiB"), std::string::npos) << e.what();
  }
}

TEST_F(ProjectFileOnDisk, OpenNamesAFileThatCannotBeRead) {
  for (const fs::path& p : {dir_ / "absent.pc", dir_}) {
    try {
      readProjectFile(p.string());
      ADD_FAILURE() << p;
    } catch (const FileError& e) {
      EXPECT_FALSE(e.writing());
      EXPECT_NE(std::string(e.what()).find(p.string()), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace levelnet
