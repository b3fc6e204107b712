// Gathering the network from the fields and tables, and refusing what
// cannot be adjusted.
#include <gtest/gtest.h>

#include <random>

#include "adjust/adjustment_run.h"
#include "network/errors.h"
#include "network/leveling_network.h"
#include "network/project_file.h"
#include "support/network_text.h"

namespace levelnet {
namespace {

using testing::enteredNetwork;

// The network of the worked examples: A and B known, E and F unknown.
NetworkText exampleNetwork() {
  return enteredNetwork(
      {"2", "2", "4", "1"}, {{"A", "10"}, {"B", "12"}, {"E", ""}, {"F", ""}},
      {{"A", "E", "1.003", "2"}, {"E", "F", "0.498", "1"}, {"F", "B", "0.505", "2"}, {"B", "E", "-0.990", "1"}});
}

std::string refusal(NetworkText net) {
  try {
    runAdjustment(net.fields, net.points, net.observations);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no refusal)";
}

// The name index on many names, each a prefix or an extension of others and
// of every length around the hash's eight-byte words, with every third a
// repeat: each name finds its first row, each repeat is listed in order,
// names not in the table find none.
TEST(Gathering, NameIndexOfManyNames) {
  LevelingNetwork net;
  std::vector<std::string> distinct;
  for (int i = 0; i < 3000; ++i)
    distinct.push_back(std::string(static_cast<std::size_t>(i % 19), 'P') + std::to_string(i));
  net.pointName.push_back("");
  std::vector<DuplicateName> expected;
  std::vector<int> firstRow(distinct.size(), 0);
  for (std::size_t k = 0; k < distinct.size() + distinct.size() / 3; ++k) {
    const std::size_t name = k < distinct.size() ? k : (k - distinct.size()) * 3;
    net.pointName.push_back(distinct[name]);
    const int row = static_cast<int>(net.pointName.size()) - 1;
    if (firstRow[name] == 0)
      firstRow[name] = row;
    else
      expected.push_back({distinct[name], firstRow[name], row});
  }
  net.pointCount = static_cast<int>(net.pointName.size()) - 1;
  net.indexNames();
  for (std::size_t name = 0; name < distinct.size(); ++name) {
    EXPECT_EQ(net.pointNumberOf(distinct[name]), firstRow[name]) << distinct[name];
    EXPECT_EQ(net.pointNumberOf(distinct[name] + "x"), 0);
    EXPECT_EQ(net.pointNumberOf(distinct[name].substr(1)), 0) << distinct[name];
  }
  ASSERT_EQ(net.duplicateNames.size(), expected.size());
  for (std::size_t d = 0; d < expected.size(); ++d) {
    EXPECT_EQ(net.duplicateNames[d].name, expected[d].name);
    EXPECT_EQ(net.duplicateNames[d].firstRow, expected[d].firstRow);
    EXPECT_EQ(net.duplicateNames[d].row, expected[d].row);
  }
  EXPECT_EQ(LevelingNetwork().pointNumberOf("P1"), 0);  // no index yet
}

TEST(Gathering, PointNumbersAndNames) {
  NetworkText net = enteredNetwork(
      {"3", "2", "4", "1"}, {{"A", "10"}, {"a", "11"}, {"A", ""}, {"A ", "7.5"}, {"水准点", ""}},
      {{"A", "a", "1", "1"}, {"A ", "水准点", "1", "1"}, {"a", "A ", "1", "1"}, {"水准点", "A ", "1", "1"}});
  LevelingNetwork g = gatherNetwork(net.fields, net.points, net.observations);
  EXPECT_EQ(g.pointCount, 5);
  EXPECT_EQ(g.parameterCount, 2);
  EXPECT_EQ(g.pointNumberOf("A"), 1);   // duplicate names: the lowest number wins
  EXPECT_EQ(g.pointNumberOf("a"), 2);   // case-sensitive
  EXPECT_EQ(g.pointNumberOf("A "), 4);  // no trimming
  EXPECT_EQ(g.pointNumberOf(" A"), 0);
  EXPECT_EQ(g.pointNumberOf("水准点"), 5);
  EXPECT_EQ(g.pointNumberOf(""), 0);  // element 0 is never compared
  EXPECT_EQ(g.fromPoint[2], 4);
  EXPECT_EQ(g.toPoint[2], 5);
  EXPECT_EQ(g.elevation[3], 0.0);  // empty cell counts as 0
  EXPECT_EQ(g.elevation[4], 7.5);
  EXPECT_EQ(g.fromPoint.size(), 5u);  // 0..n, element 0 unused
  EXPECT_EQ(g.fromPoint[0], 0);
  // Gathering itself writes nothing.
  EXPECT_EQ(net.points.text(3, 2), "");
}

TEST(Gathering, RowsBeyondTheCountsAreIgnored) {
  // A name standing only in a row beyond pointCount matches nothing; an
  // observation row beyond observationCount is not read.
  NetworkText net = enteredNetwork({"2", "1", "2", "1"}, {{"A", "10"}, {"B", "11"}, {"P", ""}, {"Z", "5"}},
                                   {{"A", "P", "0.5", "1"}, {"P", "B", "0.5", "1"}, {"Z", "nonsense", "x", "0"}});
  EXPECT_NO_THROW(runAdjustment(net.fields, net.points, net.observations));
  net.observations.setText(2, 2, "Z");
  EXPECT_NE(refusal(net).find("观测表第 2 行“终点”列：“Z”不是点表中的点名"), std::string::npos);
}

// The run only reads the tables: it tells the window which empty elevation
// cells it took as 0 (the window writes "0" there), and a refused run says
// nothing of them.
TEST(Gathering, EmptyElevationCellsAreReportedNotFilled) {
  NetworkText net = exampleNetwork();
  net.points.setRows(6);  // an extra row beyond the count stays out of it
  StringSink report;
  const AdjustmentOutcome outcome = adjustNetwork(net.fields, net.points, net.observations, report);
  EXPECT_EQ(outcome.emptyElevationRows, (std::vector<int>{3, 4}));
  EXPECT_EQ(net.points.text(3, 2), "");
  EXPECT_FALSE(report.text.empty());

  NetworkText refused = exampleNetwork();
  refused.observations.setText(4, 4, "0");
  StringSink nothing;
  EXPECT_THROW(adjustNetwork(refused.fields, refused.points, refused.observations, nothing), InputError);
  EXPECT_EQ(nothing.text, "");  // nothing written before the refusal
}

TEST(Gathering, EmptyKnownFieldStopsSilently) {
  NetworkText net = exampleNetwork();
  net.fields.known = "";
  EXPECT_EQ(runAdjustment(net.fields, net.points, net.observations), "");
  EXPECT_EQ(net.points.text(3, 2), "");
}

TEST(Gathering, EveryRefusalNamesPlaceAndText) {
  struct Row {
    const char* name;
    void (*change)(NetworkText&);
    const char* expected;
  } rows[] = {
      {"known not a number", [](NetworkText& n) { n.fields.known = "二"; }, "已知点：“二”不是数"},
      {"unknown empty", [](NetworkText& n) { n.fields.unknown = ""; }, "待定点：没有填写"},
      {"count not whole", [](NetworkText& n) { n.fields.observations = "3.5"; }, "观测值：“3.5”不是 0 或正整数"},
      {"count negative", [](NetworkText& n) { n.fields.unknown = "-1"; }, "待定点：“-1”不是 0 或正整数"},
      {"unit length empty", [](NetworkText& n) { n.fields.unitLength = ""; }, "单位权长度：没有填写"},
      {"unit length text", [](NetworkText& n) { n.fields.unitLength = "1km"; }, "单位权长度：“1km”不是数"},
      {"unit length zero", [](NetworkText& n) { n.fields.unitLength = "0"; }, "单位权长度：“0”必须大于 0"},
      {"unit length negative", [](NetworkText& n) { n.fields.unitLength = "-2"; }, "单位权长度：“-2”必须大于 0"},
      {"too many points", [](NetworkText& n) { n.fields.unknown = "32766"; },
       "已知点与待定点共 32768 个，超过 32767 个"},
      {"points beyond table", [](NetworkText& n) { n.fields.unknown = "3"; }, "点表只有 4 行数据"},
      {"observations beyond table", [](NetworkText& n) { n.fields.observations = "5"; },
       "观测值：“5”大于观测表的数据行数 4"},
      {"elevation not a number", [](NetworkText& n) { n.points.setText(2, 2, "12,0"); },
       "点表第 2 行“高程(m)”列：“12,0”不是数"},
      {"difference empty", [](NetworkText& n) { n.observations.setText(3, 3, ""); },
       "观测表第 3 行“观测值(m)”列：没有填写"},
      {"difference not a number", [](NetworkText& n) { n.observations.setText(2, 3, "0.49 8"); },
       "观测表第 2 行“观测值(m)”列：“0.49 8”不是数"},
      {"length empty", [](NetworkText& n) { n.observations.setText(1, 4, ""); },
       "观测表第 1 行“水准路线长度(km)”列：没有填写"},
      {"length zero", [](NetworkText& n) { n.observations.setText(4, 4, "0"); },
       "观测表第 4 行“水准路线长度(km)”列：“0”必须大于 0"},
      {"length negative", [](NetworkText& n) { n.observations.setText(4, 4, "-1.5"); }, "“-1.5”必须大于 0"},
      {"from unknown name", [](NetworkText& n) { n.observations.setText(2, 1, "e"); },
       "观测表第 2 行“起点”列：“e”不是点表中的点名"},
      {"to with a blank", [](NetworkText& n) { n.observations.setText(1, 2, "E "); },
       "观测表第 1 行“终点”列：“E ”不是点表中的点名"},
      {"same point", [](NetworkText& n) { n.observations.setText(2, 2, "E"); },
       "观测表第 2 行：起点与终点是同一个点“E”"},
      {"known named twice", [](NetworkText& n) { n.observations.setText(3, 1, "B"); },
       "观测表第 3 行：起点与终点是同一个点“B”"},
      {"no redundancy", [](NetworkText& n) { n.fields.observations = "2"; }, "观测值 2 个，不多于待定点 2 个"},
      // Magnitudes that would destroy the result (inf, or no digits left for
      // millimetres) are refused with the text as it stands in the cell.
      {"elevation 1e308", [](NetworkText& n) { n.points.setText(1, 2, "1e308"); },
       "点表第 1 行“高程(m)”列：“1e308”超出 ±100000 m 的范围"},
      {"elevation 1e13", [](NetworkText& n) { n.points.setText(2, 2, "1e13"); }, "“1e13”超出 ±100000 m 的范围"},
      {"unknown point's elevation", [](NetworkText& n) { n.points.setText(4, 2, "-100000.001"); },
       "点表第 4 行“高程(m)”列：“-100000.001”超出"},
      {"difference 1e300", [](NetworkText& n) { n.observations.setText(2, 3, "1e300"); },
       "观测表第 2 行“观测值(m)”列：“1e300”超出 ±100000 m 的范围"},
      {"length 1e-9", [](NetworkText& n) { n.observations.setText(1, 4, "1e-9"); },
       "观测表第 1 行“水准路线长度(km)”列：“1e-9”超出 0.000001～100000 km 的范围"},
      {"length 1e10", [](NetworkText& n) { n.observations.setText(3, 4, "1e10"); }, "“1e10”超出 0.000001～100000 km"},
      {"unit length 1e-308", [](NetworkText& n) { n.fields.unitLength = "1e-308"; },
       "单位权长度：“1e-308”超出 0.000001～100000 km 的范围"},
      {"weights too unequal", [](NetworkText& n) { n.observations.setText(2, 4, "0.000001"); },
       "观测表第 1 行的 “2” km 是第 2 行的 “0.000001” km 的 "},
      {"untied points",
       [](NetworkText& n) {
         n.observations.setText(1, 1, "F");  // E and F now only tied to each other ... and B via obs 3, 4
         n.observations.setText(3, 2, "E");
         n.observations.setText(4, 1, "F");
       },
       "待定点 “E”（点表第 3 行）、“F”（点表第 4 行） 没有经观测与任何已知点相连"},
  };
  for (const Row& r : rows) {
    NetworkText net = exampleNetwork();
    r.change(net);
    const std::string message = refusal(net);
    EXPECT_NE(message.find(r.expected), std::string::npos) << r.name << ": " << message;
    EXPECT_EQ(net.points.text(3, 2), "") << r.name << ": a refused run changed a cell";
  }
}

// Right at the bounds a network is adjusted, and adjusted exactly: the same
// network 99,990 m higher gives the same corrections and precision.
TEST(Gathering, ValuesAtTheBoundsAreAdjustedExactly) {
  NetworkText low = exampleNetwork();
  NetworkText high = exampleNetwork();
  high.points.setText(1, 2, "99990");
  high.points.setText(2, 2, "99992");
  const std::string lowReport = runAdjustment(low.fields, low.points, low.observations);
  const std::string highReport = runAdjustment(high.fields, high.points, high.observations);
  const auto tail = [](const std::string& r) { return r.substr(r.find("序号  观测值(m)")); };
  std::string lowTail = tail(lowReport), highTail = tail(highReport);
  // Section 6 shows adjusted differences, the same for both; section 7 the precision.
  EXPECT_EQ(lowTail, highTail);
  NetworkText extreme = exampleNetwork();
  extreme.points.setText(1, 2, "-100000");
  extreme.points.setText(2, 2, "-99998");
  extreme.fields.unitLength = "0.000001";
  for (int j = 1; j <= 4; ++j) extreme.observations.setText(j, 4, j == 1 ? "0.000001" : "1");
  const std::string report = runAdjustment(extreme.fields, extreme.points, extreme.observations);
  EXPECT_EQ(report.find("inf"), std::string::npos);
  EXPECT_EQ(report.find("nan"), std::string::npos);
}

// A point typed twice is adjusted with its first row (the observations
// refer to it), and the outcome names both rows so the user can be warned.
TEST(Gathering, DuplicateNamesAreListedNotRefused) {
  NetworkText net = enteredNetwork(
      {"3", "2", "4", "1"}, {{"A", "10"}, {"B", "12"}, {"A", "11"}, {"E", ""}, {"F", ""}},
      {{"A", "E", "1.003", "2"}, {"E", "F", "0.498", "1"}, {"F", "B", "0.505", "2"}, {"B", "E", "-0.990", "1"}});
  const LevelingNetwork g = gatherNetwork(net.fields, net.points, net.observations);
  ASSERT_EQ(g.duplicateNames.size(), 1u);
  EXPECT_EQ(g.duplicateNames[0].name, "A");
  EXPECT_EQ(g.duplicateNames[0].firstRow, 1);
  EXPECT_EQ(g.duplicateNames[0].row, 3);
  EXPECT_EQ(duplicateNameWarning(g.duplicateNames[0]),
            "点表第 1 行与第 3 行的点名都是“A”：观测值中的这个点名都按第 1 行计算，第 3 行的点没有用上");
  StringSink report;
  const AdjustmentOutcome outcome = adjustNetwork(net.fields, net.points, net.observations, report);
  ASSERT_EQ(outcome.duplicateNames.size(), 1u);
  EXPECT_FALSE(report.text.empty());
  NetworkText plain = exampleNetwork();
  EXPECT_TRUE(adjustNetwork(plain.fields, plain.points, plain.observations, report).duplicateNames.empty());

  // An unknown point that repeats an earlier name can be reached by no
  // observation; its refusal says why.
  NetworkText untied = enteredNetwork({"2", "3", "5", "1"}, {{"A", "10"}, {"B", "12"}, {"E", ""}, {"F", ""}, {"E", ""}},
                                      {{"A", "E", "1.003", "2"},
                                       {"E", "F", "0.498", "1"},
                                       {"F", "B", "0.505", "2"},
                                       {"B", "E", "-0.990", "1"},
                                       {"A", "F", "1.5", "1"}});
  const std::string message = refusal(untied);
  EXPECT_NE(message.find("点表第 5 行与第 3 行点名重复：“E”"), std::string::npos) << message;
  EXPECT_EQ(message.find("没有经观测与任何已知点相连"), std::string::npos) << message;
}

TEST(Gathering, UntiedPointsAreFoundThroughChainsOverKnownPoints) {
  // P is tied to A only through Q and the known point B: that is a tie.
  NetworkText tied = enteredNetwork({"2", "2", "3", "1"}, {{"A", "1"}, {"B", "2"}, {"P", ""}, {"Q", ""}},
                                    {{"P", "Q", "1", "1"}, {"Q", "B", "1", "1"}, {"B", "Q", "-1", "1"}});
  EXPECT_NO_THROW(runAdjustment(tied.fields, tied.points, tied.observations));
  NetworkText loose =
      enteredNetwork({"1", "3", "4", "1"}, {{"A", "1"}, {"P", ""}, {"Q", ""}, {"R", ""}},
                     {{"A", "P", "1", "1"}, {"A", "P", "1", "1"}, {"Q", "R", "1", "1"}, {"R", "Q", "-1", "1"}});
  const std::string message = refusal(loose);
  EXPECT_NE(message.find("“Q”（点表第 3 行）、“R”（点表第 4 行）"), std::string::npos) << message;
  EXPECT_EQ(message.find("“P”"), std::string::npos) << message;
}

TEST(Gathering, ListsEveryProblemUpToTwenty) {
  std::vector<std::vector<std::string>> observations(30, {"A", "B", "x", "1"});
  NetworkText net = enteredNetwork({"2", "0", "30", "1"}, {{"A", "1"}, {"B", "2"}}, observations);
  const std::string message = refusal(net);
  EXPECT_NE(message.find("观测表第 1 行“观测值(m)”列：“x”不是数"), std::string::npos);
  EXPECT_NE(message.find("观测表第 20 行"), std::string::npos);
  EXPECT_EQ(message.find("观测表第 21 行"), std::string::npos);
  EXPECT_NE(message.find("另有 10 处问题未列出"), std::string::npos) << message;
}

}  // namespace
}  // namespace levelnet

namespace levelnet {
namespace {

// Damaged files of every kind: each is either refused with an InputError or
// opened and adjusted (or refused by the run), never anything else. Under
// the sanitizer build this also shows no memory fault on the way.
TEST(Robustness, DamagedFilesAreRefusedOrAdjusted) {
  const std::string seed =
      "2,2,5,1\r\nBM1,10.000\r\nBM2,12.500\r\nP1,\r\n\"P2\",\r\n"
      "BM1,P1,1.234,1.2\r\nP1,P2,0.456,0.8\r\nP2,BM2,0.812,1.5\r\nBM1,P2,1.688,2.0\r\nBM2,BM1,-2.5,3\r\n";
  const char alphabet[] = ",\r\n\" .-+e0123456789PBM\xB5\xE3\x81\xFF\t";
  std::mt19937 rng(2024);
  int opened = 0, adjusted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = seed;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = rng() % (bytes.size() + 1);
      const char c = alphabet[rng() % (sizeof alphabet - 1)];
      switch (rng() % 3) {
        case 0:
          bytes.insert(at, 1, c);
          break;
        case 1:
          if (at < bytes.size()) bytes.erase(at, 1);
          break;
        default:
          if (at < bytes.size()) bytes[at] = c;
          break;
      }
    }
    try {
      NetworkText net;
      applyProject(parseProjectBytes(bytes, "damaged.pc"), net.fields, net.points, net.observations);
      ++opened;
      if (!runAdjustment(net.fields, net.points, net.observations).empty()) ++adjusted;
    } catch (const InputError&) {
    }
  }
  // The damage should neither spare nor ruin everything.
  EXPECT_GT(opened, 300);
  EXPECT_GT(adjusted, 100);
  EXPECT_LT(adjusted, 3000);
}

}  // namespace
}  // namespace levelnet
