// The 网图 and the design: layout, the SVG and DXF files against the
// network, points files, and the design's figures against the check's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "adjust/pipeline.h"
#include "check/network_check.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/project_file.h"
#include "plot/drawing_files.h"
#include "plot/layout.h"
#include "plot/plane_points.h"
#include "session/network_design.h"
#include "session/network_plot.h"
#include "support/network_generator.h"
#include "support/network_text.h"

namespace levelnet {
namespace {

NetworkText cityNetwork() {
  NetworkText city;
  applyProject(readProjectFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"), city.fields, city.points,
               city.observations);
  return city;
}

LevelingNetwork gathered(const NetworkText& t) {
  return gatherNetwork(t.fields, t.points, t.observations, kLargeNetworkLimits, GatherMode::plannedNetwork);
}

// Three routes between A and P1, one to P2: parallel arcs.
NetworkText parallelNetwork() {
  return testing::enteredNetwork({"1", "2", "5", "1"}, {{"A", "10"}, {"P1", ""}, {"P2", ""}},
                                 {{"A", "P1", "1.000", "1"},
                                  {"P1", "A", "-1.002", "1.2"},
                                  {"A", "P1", "1.001", "0.9"},
                                  {"P1", "P2", "0.5", "2"},
                                  {"P2", "A", "-1.5", "2.5"}});
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

TEST(Layout, TheSameNetworkGivesTheSamePictureBitForBit) {
  // The last is laid out by sfdp; another network laid out in between must
  // not change a layout (sfdp's coarsening once took the C library's random
  // stream as the layout before had left it).
  const LevelingNetwork between = gathered(testing::randomNetwork(4, 30));
  for (const NetworkText& text : {cityNetwork(), testing::gridNetwork(8, 9, 3), testing::randomNetwork(11, 40),
                                  testing::gridNetwork(46, 46, 5)}) {
    const LevelingNetwork net = gathered(text);
    const plot::PointPlacement a = plot::layoutByGraph(net);
    plot::layoutByGraph(between);
    std::srand(static_cast<unsigned>(7 + net.pointCount));  // another state for each network
    const plot::PointPlacement b = plot::layoutByGraph(net);
    ASSERT_EQ(a.east.size(), static_cast<std::size_t>(net.pointCount) + 1);
    for (int p = 1; p <= net.pointCount; ++p) {
      EXPECT_EQ(a.east[p], b.east[p]) << p;
      EXPECT_EQ(a.north[p], b.north[p]) << p;
      EXPECT_TRUE(std::isfinite(a.east[p]) && std::isfinite(a.north[p]));
      for (int q = 1; q < p; ++q) EXPECT_FALSE(a.east[p] == a.east[q] && a.north[p] == a.north[q]) << p << " " << q;
    }
  }
}

// FNV-1a over the bits of every coordinate, east then north, point by point.
std::uint64_t placementHash(const plot::PointPlacement& placement) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t p = 1; p < placement.east.size(); ++p) {
    for (const double value : {placement.east[p], placement.north[p]}) {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      for (int byte = 0; byte < 8; ++byte) {
        hash ^= (bits >> (8 * byte)) & 0xffu;
        hash *= 1099511628211ull;
      }
    }
  }
  return hash;
}

NetworkText example(const std::string& name) {
  NetworkText t;
  applyProject(readProjectFile(std::string(LEVELNET_EXAMPLES_DIR) + "/" + name), t.fields, t.points, t.observations);
  return t;
}

TEST(Layout, CoordinatesAreThoseOfDebiansGraphvizBitForBit) {
  // The Linux build lays out with Debian's Graphviz 2.42.2, the Windows one
  // with the same sources built by tools/windows/build-graphviz.sh: both give
  // these coordinates (neato for the small networks, sfdp for the grid above
  // kNeatoLimit points), which the 网图 of the window, `levelnet plot` and
  // the PDF report draw.
  if (!plot::graphLayoutAvailable()) GTEST_SKIP() << "built without Graphviz";
  struct Case {
    const char* name;
    NetworkText text;
    std::uint64_t hash;
  };
  const Case cases[] = {
      {"city_network.pc", example("city_network.pc"), 289614297265399012ull},
      {"loop_a_b.pc", example("loop_a_b.pc"), 17363299729468608831ull},
      {"two_benchmarks.pc", example("two_benchmarks.pc"), 40554587453670319ull},
      {"grid 8 x 9", testing::gridNetwork(8, 9, 3), 1002482970342516422ull},
      {"random 40", testing::randomNetwork(11, 40), 2246666183905794124ull},
      {"grid 46 x 46 (sfdp)", testing::gridNetwork(46, 46, 5), 2172685290617694371ull},
  };
  for (const Case& c : cases) {
    const LevelingNetwork net = gathered(c.text);
    const plot::PointPlacement placement = plot::layoutByGraph(net);
    std::ostringstream first;
    first << std::hexfloat;
    for (int p = 1; p <= std::min(net.pointCount, 3); ++p)
      first << " " << placement.east[p] << " " << placement.north[p];
    EXPECT_EQ(placementHash(placement), c.hash) << c.name << " (" << net.pointCount << " points):" << first.str();
  }
}

TEST(Svg, OneSymbolPerPointAndOnePathPerRoute) {
  struct Case {
    NetworkText text;
    int curved;  // routes drawn as arcs
  };
  for (const Case& c : {Case{cityNetwork(), 0}, Case{parallelNetwork(), 2}, Case{testing::gridNetwork(5, 6, 1), 0}}) {
    const LevelingNetwork net = gathered(c.text);
    const session::PlotOutcome outcome = session::plotNetwork(c.text, {});
    const std::string svg = session::plotFileBytes(outcome.drawing, session::PlotFormat::svg);
    EXPECT_EQ(count(svg, "<polygon class=\"benchmark\""), net.knownCount);
    EXPECT_EQ(count(svg, "<circle class=\"unknown\""), net.unknownCount);
    EXPECT_EQ(count(svg, "<path class="), net.observationCount);
    EXPECT_EQ(count(svg, " Q"), c.curved);
    EXPECT_EQ(count(svg, "class=\"point-name\""), net.pointCount);
    EXPECT_EQ(count(svg, "id=\"north-arrow\""), 1);
    EXPECT_EQ(count(svg, "id=\"scale-bar\""), 0) << "no scale without real coordinates";
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
  }
}

TEST(Svg, TheCheckMarksTheBlunderAndAdjustedFiguresAreDrawn) {
  NetworkText text = cityNetwork();
  text.observations.setText(9, 3, "3.6743");  // 20 mm off
  session::PlotSettings settings;
  settings.withCheck = true;
  settings.check.sigmaGiven = true;
  settings.check.sigmaKm = 1.5;
  const session::PlotOutcome outcome = session::plotNetwork(text, settings);
  EXPECT_TRUE(outcome.adjusted);
  const std::string svg = session::plotFileBytes(outcome.drawing, session::PlotFormat::svg);
  EXPECT_EQ(count(svg, "<path class=\"suspected\""), 1);
  EXPECT_NE(svg.find("id=\"route-9\""), std::string::npos);
  EXPECT_EQ(outcome.drawing.routes[8].mark, plot::RouteMark::suspected);
  EXPECT_NE(svg.find("M="), std::string::npos);
  // A network not yet leveled cannot be checked.
  text.observations.setText(3, 3, "");
  EXPECT_THROW(session::plotNetwork(text, settings), InputError);
  settings.withCheck = false;
  EXPECT_FALSE(session::plotNetwork(text, settings).adjusted);
}

// The DXF read back: group-code pairs, entities counted by layer.
struct DxfEntities {
  std::map<std::string, int> byTypeAndLayer;  // "TYPE@LAYER"
  std::vector<std::string> texts;             // UTF-8
  std::string codePage;
};

DxfEntities readDxf(const std::string& bytes) {
  std::istringstream in(bytes);
  std::vector<std::pair<int, std::string>> pairs;
  std::string code, value;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (!code.empty() && code.back() == '\r') code.pop_back();
    if (!value.empty() && value.back() == '\r') value.pop_back();
    pairs.emplace_back(std::stoi(code), value);
  }
  DxfEntities out;
  bool entities = false;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (pairs[i] == std::pair<int, std::string>{9, "$DWGCODEPAGE"}) out.codePage = pairs[i + 1].second;
    if (pairs[i].first == 2 && pairs[i].second == "ENTITIES") entities = true;
    if (!entities || pairs[i].first != 0) continue;
    const std::string type = pairs[i].second;
    std::string layer;
    for (std::size_t j = i + 1; j < pairs.size() && pairs[j].first != 0; ++j) {
      if (pairs[j].first == 8) layer = pairs[j].second;
      if (pairs[j].first == 1) out.texts.push_back(gbkToUtf8(pairs[j].second).text);
      if (pairs[j].first >= 10 && pairs[j].first < 40) {
        EXPECT_TRUE(std::isfinite(std::stod(pairs[j].second)));
      }
    }
    if (type != "ENDSEC" && type != "EOF") ++out.byTypeAndLayer[type + "@" + layer];
  }
  EXPECT_EQ(pairs.back().second, "EOF");
  return out;
}

// Beyond 2,000 points `plot` takes its figures from the sparse adjustment:
// the picture must carry the very elevations and M the 成果表's own
// computation gives, to their printed digits.
TEST(Svg, ALargeNetworksFiguresAreThoseOfTheResultsTable) {
  const NetworkText text = testing::gridNetwork(46, 46, 5);  // 2,116 unknown points
  const LevelingNetwork net = gathered(text);
  ASSERT_GT(net.pointCount, 2000);
  const AdjustmentResults table = computeAdjustment(net);
  session::DrawingSources sources;
  sources.adjusted = &table;
  const std::string expected = plot::svgDocument(session::drawGathered(net, sources, ""));
  const session::PlotOutcome outcome = session::plotNetwork(text, {});
  ASSERT_TRUE(outcome.adjusted);
  const std::string svg = session::plotFileBytes(outcome.drawing, session::PlotFormat::svg);
  EXPECT_GT(count(svg, "M="), 2000);
  EXPECT_TRUE(svg == expected);
}

TEST(Dxf, ReadBackHoldsEveryPointRouteAndName) {
  for (const NetworkText& text : {cityNetwork(), parallelNetwork()}) {
    const LevelingNetwork net = gathered(text);
    const session::PlotOutcome outcome = session::plotNetwork(text, {});
    const DxfEntities dxf = readDxf(session::plotFileBytes(outcome.drawing, session::PlotFormat::dxf));
    EXPECT_EQ(dxf.codePage, "ANSI_936");
    EXPECT_EQ(dxf.byTypeAndLayer.at("SOLID@POINTS"), net.knownCount);
    EXPECT_EQ(dxf.byTypeAndLayer.at("CIRCLE@POINTS"), net.unknownCount);
    const int lines = dxf.byTypeAndLayer.count("LINE@ROUTES") ? dxf.byTypeAndLayer.at("LINE@ROUTES") : 0;
    const int arcs = dxf.byTypeAndLayer.count("POLYLINE@ROUTES") ? dxf.byTypeAndLayer.at("POLYLINE@ROUTES") : 0;
    EXPECT_EQ(lines + arcs, net.observationCount);
    for (int p = 1; p <= net.pointCount; ++p)
      EXPECT_NE(std::find(dxf.texts.begin(), dxf.texts.end(), net.pointName[p]), dxf.texts.end()) << net.pointName[p];
  }
}

TEST(PointsFile, BothFormsEncodingsAndRefusals) {
  struct Case {
    std::string bytes;
    std::string error;  // part of the message; empty: read
  };
  const std::string gbkName = *utf8ToGbk("桥头");
  const Case cases[] = {
      {"点名,X,Y\r\nA,100.5,200.25\r\n\r\nB,101,202\r\n", ""},
      {"A,K1,200.25,100.5,12.3\nB,,202,101,13\n", ""},
      {"\xEF\xBB\xBF"
       "A,100.5,200.25\nB,101,202\n",
       ""},
      {"A,100.5,200.25\n" + gbkName + ",101,202\n", ""},
      {"A,100.5,200.25\nB,101\n", "第 2 行：应为“点名,X,Y”或“点名,编码,Y,X,H”，而不是“B,101”"},
      {"A,100.5,200.25\nB,10x,202\n", "第 2 行：坐标 X“10x”不是数"},
      {"A,100.5,200.25\nA,101,202\n", "第 2 行：点名“A”与第 1 行重复"},
      {"A,1e300,200\n", "超出合理范围"},
  };
  for (const Case& c : cases) {
    if (c.error.empty()) {
      const plot::PlanePointsFile file = plot::parsePlanePoints(c.bytes, "pts.csv");
      ASSERT_EQ(file.points.size(), 2u) << c.bytes;
      EXPECT_EQ(file.points[0].north, 100.5);
      EXPECT_EQ(file.points[0].east, 200.25);
      EXPECT_EQ(file.points[1].east, 202.0);
    } else {
      try {
        plot::parsePlanePoints(c.bytes, "pts.csv");
        ADD_FAILURE() << c.bytes;
      } catch (const InputError& e) {
        EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("pts.csv"), std::string::npos) << e.what();
      }
    }
  }
  EXPECT_EQ(plot::parsePlanePoints("A,1,2\n" + gbkName + ",3,4\n", "g.csv").points[1].name, "桥头");
}

TEST(PointsFile, MissingNamesAreRefusedAndExtraNamesListed) {
  const LevelingNetwork net = gathered(parallelNetwork());
  const plot::PlanePointsFile full = plot::parsePlanePoints("A,0,0\nP1,100,0\nP2,0,100\nQ9,5,5\n", "pts.csv");
  std::vector<std::string> extra;
  const plot::PointPlacement where = plot::placeByCoordinates(net, full, &extra);
  EXPECT_EQ(where.north[2], 100.0);
  EXPECT_EQ(where.east[3], 100.0);
  ASSERT_EQ(extra.size(), 1u);
  EXPECT_NE(extra[0].find("Q9"), std::string::npos);
  EXPECT_NE(extra[0].find("第 4 行"), std::string::npos);
  const plot::PlanePointsFile partial = plot::parsePlanePoints("A,0,0\nP1,100,0\n", "pts.csv");
  try {
    plot::placeByCoordinates(net, partial);
    ADD_FAILURE();
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("没有这 1 个点的坐标：“P2”"), std::string::npos) << e.what();
  }
  const plot::NetworkDrawing d = plot::drawNetwork(net, where, true, {}, "t");
  ASSERT_TRUE(d.scaleBar.has_value());
  EXPECT_EQ(d.scaleBar->text, "20 m");
}

TEST(Design, FiguresEqualTheChecksWithAnyObservedValues) {
  std::vector<NetworkText> networks = {cityNetwork(), testing::gridNetwork(6, 7, 5)};
  for (std::uint32_t seed = 1; seed <= 8; ++seed) networks.push_back(testing::randomNetwork(seed, 30));
  for (const NetworkText& text : networks) {
    const LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations, kLargeNetworkLimits);
    if (net.observationCount <= net.parameterCount) continue;
    CheckOptions check;
    check.sigmaGiven = true;
    check.sigmaKm = 1.5;
    const AdjustmentResults run = computeSparseAdjustment(net);
    const CheckFindings checked = assessNetwork(run, findMisclosures(net), check);
    // The planned network: every observed difference left empty.
    NetworkText planned = text;
    for (int k = 1; k < planned.observations.rows(); ++k) planned.observations.setText(k, 3, "");
    DesignOptions options;
    options.sigmaKm = 1.5;
    const DesignFindings design = designNetwork(gathered(planned), options);
    const ResidualAnalysis& a = checked.residuals;
    const ResidualAnalysis& b = design.residuals;
    EXPECT_EQ(a.testGroups, b.testGroups);
    EXPECT_EQ(a.alpha0, b.alpha0);
    EXPECT_EQ(a.critical, b.critical);
    EXPECT_EQ(a.lambda0, b.lambda0);
    for (int k = 1; k <= net.observationCount; ++k) {
      EXPECT_EQ(a.rows[k].redundancy, b.rows[k].redundancy) << k;
      EXPECT_EQ(a.rows[k].mdb, b.rows[k].mdb) << k;
      EXPECT_EQ(a.rows[k].group, b.rows[k].group) << k;
      EXPECT_EQ(a.rows[k].unchecked, b.rows[k].unchecked) << k;
    }
    for (int i = 1; i <= net.parameterCount; ++i)
      EXPECT_EQ(design.pointErrors[i], 1.5 * std::sqrt(net.unitWeightLength) * std::sqrt(run.pointCofactors[i])) << i;
  }
}

TEST(Design, AChainHasNoCheckAndItsEndIsTheWeakestPoint) {
  // A spur A-P1-P2 of 1 km and 3 km: M = σ √L from the benchmark.
  const NetworkText chain = testing::enteredNetwork({"1", "2", "2", "1"}, {{"A", "10"}, {"P1", ""}, {"P2", ""}},
                                                    {{"A", "P1", "", "1"}, {"P1", "P2", "", "3"}});
  DesignOptions options = session::designOptions("四等", "", "", "");
  EXPECT_EQ(options.sigmaKm, 10.0);
  const session::DesignRun run = session::designNetwork(chain, options, {}, "chain.pc");
  EXPECT_NEAR(run.findings.pointErrors[1], 10.0, 1e-12);
  EXPECT_NEAR(run.findings.pointErrors[2], 20.0, 1e-12);
  EXPECT_EQ(run.net.pointName[run.findings.weakestPoint], "P2");
  EXPECT_EQ(run.findings.uncheckedRoutes, (std::vector<int>{1, 2}));
  EXPECT_TRUE(run.findings.pointLimitMet) << "20.00 mm is within 20 mm";
  EXPECT_NE(run.report.find("第 1、2 个观测值"), std::string::npos) << run.report;
  EXPECT_EQ(run.report.find("nan"), std::string::npos);
  // Closing the chain back to A gives every route a check and a better end.
  session::RouteChanges changes;
  changes.added.push_back(session::parsePlannedRoute("P2，A,2"));
  const session::DesignRun closed = session::designNetwork(chain, options, changes, "chain.pc");
  EXPECT_TRUE(closed.findings.uncheckedRoutes.empty());
  EXPECT_LT(closed.findings.weakestError, run.findings.weakestError);
  EXPECT_NE(closed.report.find("方案变更（增加 P2→A 2 km）：最弱点由 P2（M = 20.00 mm）"), std::string::npos)
      << closed.report;
  changes.removed.push_back(3);
  EXPECT_THROW(session::designNetwork(chain, options, changes, "chain.pc"), InputError);
  EXPECT_THROW(session::designOptions("", "", "", ""), InputError);
  EXPECT_THROW(session::parsePlannedRoute("P2,A"), InputError);
}

}  // namespace
}  // namespace levelnet
