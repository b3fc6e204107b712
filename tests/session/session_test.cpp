// The session library: the rules both shells take from it (the known-point
// syntax, the grade of field records, the check's settings, the document's
// date, the format a file name asks for), and the session state's rule of
// which outcomes are still of the data shown.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "network/errors.h"
#include "session/adjustment.h"
#include "session/data_check.h"
#include "session/field_books.h"
#include "session/grades.h"
#include "session/known_points.h"
#include "session/network_files.h"
#include "session/report_document.h"
#include "session/results_files.h"
#include "session/session.h"
#include "session/source_date.h"
#include "support/environment.h"
#include "support/network_text.h"

namespace levelnet::session {
namespace {

using levelnet::testing::enteredNetwork;

NetworkText loop() {
  return enteredNetwork(
      {"2", "2", "4", "1"}, {{"A", "10"}, {"B", "12"}, {"E", ""}, {"F", ""}},
      {{"A", "E", "1.003", "2"}, {"E", "F", "0.498", "1"}, {"F", "B", "0.505", "2"}, {"B", "E", "-0.990", "1"}});
}

TEST(KnownPoints, OneSyntaxForEverySeparator) {
  const KnownPoints two = {{"BM1", "50.000"}, {"BM2", "51.668"}};
  for (const char* text : {"BM1=50.000,BM2=51.668", "BM1=50.000，BM2=51.668", "BM1=50.000; BM2=51.668",
                           "BM1=50.000；BM2=51.668", "  BM1=50.000   BM2=51.668 ", "BM1=50.000　BM2=51.668",
                           "BM1=50.000,\tBM2=51.668,", "，，BM1=50.000，，BM2=51.668"})
    EXPECT_EQ(parseKnownPoints(text), two) << text;
  EXPECT_TRUE(parseKnownPoints("").empty());
  EXPECT_TRUE(parseKnownPoints(" ，； ").empty());
  // Names keep their own characters, full-width ones too.
  EXPECT_EQ(parseKnownPoints("水准点甲=12.5"), (KnownPoints{{"水准点甲", "12.5"}}));
}

TEST(KnownPoints, APieceWithoutNameOrElevationIsRefusedByItsText) {
  for (const char* piece : {"BM1", "=50.000", "BM1=", "BM2 =1"}) {
    try {
      parseKnownPoints(std::string("BM9=1,") + piece);
      ADD_FAILURE() << piece;
    } catch (const InputError& e) {
      const std::string quoted = std::string("“") + (std::string(piece) == "BM2 =1" ? "BM2" : piece) + "”";
      EXPECT_NE(std::string(e.what()).find(quoted), std::string::npos) << e.what();
      EXPECT_EQ(e.remedy(), Remedy::knownPoints);
    }
  }
}

TEST(Grades, FieldRecordsAreJudgedAtTheCheckGradeOrItsEngineeringEquivalent) {
  EXPECT_EQ(fieldGradeFor("二等"), "二等");
  EXPECT_EQ(fieldGradeFor("三等"), "三等");
  EXPECT_EQ(fieldGradeFor("四等"), "四等");
  EXPECT_EQ(fieldGradeFor("等外"), "工程五等");
  EXPECT_EQ(fieldGradeFor(""), "四等");
  EXPECT_EQ(fieldGradeFor("工程三等"), "工程三等");
  EXPECT_THROW(fieldGradeFor("五等"), InputError);
  for (const std::string& grade : checkGrades()) EXPECT_NO_THROW(fieldGradeFor(grade)) << grade;
}

TEST(CheckSettings, SigmaIsAPositiveMillimetreFigure) {
  EXPECT_FALSE(checkOptions("", "", "").sigmaGiven);
  const CheckOptions given = checkOptions("三等", "山区", "1.5");
  EXPECT_TRUE(given.sigmaGiven);
  EXPECT_EQ(given.sigmaKm, 1.5);
  EXPECT_EQ(given.terrain, "山区");
  for (const char* bad : {"abc", "0", "-1", "1e9", "nan"}) {
    try {
      checkOptions("", "", bad);
      ADD_FAILURE() << bad;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("“") + bad + "”"), std::string::npos) << e.what();
      EXPECT_EQ(e.remedy(), Remedy::sigmaPerKm);
    }
  }
  EXPECT_THROW(checkOptions("五等", "", ""), InputError);
  EXPECT_THROW(checkOptions("三等", "丘陵", ""), InputError);
}

TEST(SourceDate, SecondsOrNothing) {
  EXPECT_FALSE(sourceDateEpoch(std::nullopt).has_value());
  EXPECT_FALSE(sourceDateEpoch(std::string()).has_value());
  EXPECT_EQ(sourceDateEpoch(std::string("0")), 0);
  EXPECT_EQ(sourceDateEpoch(std::string("000951782400")), 951782400);
  EXPECT_EQ(sourceDateEpoch(std::string("253402300799")), kLatestSourceDate);
  for (const char* bad : {" 1", "1 ", "+1", "-1", "0x10", "253402300800", "18446744073709551617"}) {
    try {
      sourceDateEpoch(std::string(bad));
      ADD_FAILURE() << bad << " was taken";
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find("SOURCE_DATE_EPOCH"), std::string::npos) << e.what();
    }
  }
}

TEST(SourceDate, TheCalendarOfUtc) {
  const auto text = [](std::int64_t s) {
    const CivilTime t = civilTimeOf(s);
    char out[40];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return std::string(out);
  };
  EXPECT_EQ(text(0), "1970-01-01T00:00:00");
  EXPECT_EQ(text(951782399), "2000-02-28T23:59:59");
  EXPECT_EQ(text(951782400), "2000-02-29T00:00:00");
  EXPECT_EQ(text(1765000000), "2025-12-06T05:46:40");
  EXPECT_EQ(text(4107542400), "2100-03-01T00:00:00");  // 2100 is no leap year
  EXPECT_EQ(text(kLatestSourceDate), "9999-12-31T23:59:59");
}

TEST(DocumentDate, TheDayOfTheEpochOrToday) {
  EXPECT_EQ(documentDate(std::string("0")), "1970-01-01");
  EXPECT_EQ(documentDate(std::string("86399")), "1970-01-01");
  EXPECT_EQ(documentDate(std::string("86400")), "1970-01-02");
  EXPECT_EQ(documentDate(std::string("951782400")), "2000-02-29");
  EXPECT_EQ(documentDate(std::string("1796688000")), "2026-12-08");
  EXPECT_EQ(documentDate(std::string("253402300799")), "9999-12-31");
  for (const char* bad : {"12a", "-5", "1e9", "1234567890123456", "253402300800", "99999999999999999999999"})
    EXPECT_THROW(documentDate(std::string(bad)), InputError);
  EXPECT_EQ(documentDate(std::nullopt).size(), 10u);
  levelnet::test::setEnvironment("SOURCE_DATE_EPOCH", "951782400");
  EXPECT_EQ(documentDateFromEnvironment(), "2000-02-29");
  levelnet::test::unsetEnvironment("SOURCE_DATE_EPOCH");
}

TEST(ResultsFiles, TheSuffixNamesTheFormat) {
  struct Row {
    const char* path;
    std::optional<ResultsFormat> format;
  } rows[] = {
      {"a.csv", ResultsFormat::csv},   {"A.CSV", ResultsFormat::csv},  {"成果.xlsx", ResultsFormat::xlsx},
      {"r.json", ResultsFormat::json}, {"r.txt", ResultsFormat::text}, {"r", std::nullopt},
      {"dir.v1/r", std::nullopt},      {"r.pdf", std::nullopt},        {"r.csv.bak", std::nullopt},
  };
  for (const Row& r : rows) EXPECT_EQ(formatNamedBy(r.path), r.format) << r.path;
  EXPECT_TRUE(sameKind(ResultsFormat::csv, ResultsFormat::csvGbk));
  EXPECT_TRUE(sameKind(ResultsFormat::text, ResultsFormat::textGbk));
  EXPECT_FALSE(sameKind(ResultsFormat::csv, ResultsFormat::json));
  EXPECT_EQ(suffixOf(ResultsFormat::xlsx), ".xlsx");
}

TEST(Adjustment, AnEmptyKnownCountAdjustsNothing) {
  NetworkText net = loop();
  net.fields.known.clear();
  StringSink report;
  const AdjustmentRun run = adjust(net, report);
  EXPECT_EQ(run.results, nullptr);
  EXPECT_EQ(report.text, "");
  EXPECT_THROW(requireKnownPointCount(net), InputError);
}

TEST(Adjustment, TheResultsTableOfEveryPathIsTheSame) {
  StringSink report;
  const AdjustmentRun full = adjust(loop(), report);
  ASSERT_NE(full.table, nullptr);
  const AdjustmentRun forTable = adjustForResultsTable(loop(), kLargeNetworkLimits);
  EXPECT_EQ(resultsFileBytes(*full.table, ResultsFormat::json), resultsFileBytes(*forTable.table, ResultsFormat::json));
  EXPECT_EQ(reportText(*full.results), report.text);
}

// The rule both shells follow: an outcome is of the data shown only while
// the network has not changed since it was computed.
TEST(SessionState, OutcomesAreCurrentUntilTheNetworkChanges) {
  Session session;
  session.replaceNetwork(loop());
  EXPECT_NE(session.whyNoCurrentResults().find("还没有平差结果"), std::string::npos);
  StringSink report;
  const std::uint64_t revision = session.revision();
  AdjustmentRun run = adjust(session.network(), report);
  std::vector<std::pair<int, int>> written;
  session.cellWritten = [&](InputTable table, int row, int column) {
    EXPECT_EQ(table, InputTable::points);
    written.emplace_back(row, column);
  };
  session.adoptAdjustment(std::move(run), revision);
  EXPECT_TRUE(session.adjustmentCurrent());
  EXPECT_EQ(session.whyNoCurrentResults(), "");
  // The empty elevations of E and F counted as 0, and now read so; that
  // changes nothing the adjustment computed.
  EXPECT_EQ(written, (std::vector<std::pair<int, int>>{{3, 2}, {4, 2}}));
  EXPECT_EQ(session.network().points.text(3, 2), "0");
  EXPECT_TRUE(session.adjustmentCurrent());

  const CheckRun check = checkNetwork(session.network(), checkOptions("四等", "", ""), "loop.pc");
  session.adoptCheck(check, session.revision());
  ASSERT_TRUE(session.checkCurrent());
  EXPECT_EQ(session.resultsTable()->testStatisticName.empty(), false);
  const ReportDocument document = session.reportDocument("loop.pc", "2026-12-08");
  EXPECT_EQ(document.grade, "四等");
  EXPECT_EQ(document.checkText, check.report);
  EXPECT_EQ(document.unknownCount, 2);

  // Writing the same text changes nothing; another text makes both stale.
  session.setCell(InputTable::observations, 1, 3, "1.003");
  EXPECT_TRUE(session.adjustmentCurrent());
  session.setCell(InputTable::observations, 1, 3, "1.004");
  EXPECT_FALSE(session.adjustmentCurrent());
  EXPECT_FALSE(session.checkCurrent());
  EXPECT_NE(session.whyNoCurrentResults().find("数据在平差后已修改"), std::string::npos);
  EXPECT_THROW(session.reportDocument("loop.pc", "2026-12-08"), InputError);
  // An outcome of an earlier state is kept, but not as current, and writes no cell.
  written.clear();
  StringSink again;
  session.adoptAdjustment(adjust(loop(), again), revision);
  EXPECT_FALSE(session.adjustmentCurrent());
  EXPECT_TRUE(written.empty());
  // A field changed, the table resized: new revisions too.
  const std::uint64_t before = session.revision();
  session.setField(3, "2");
  session.setRows(InputTable::points, 6);
  EXPECT_EQ(session.revision(), before + 2);
  // A network replaced as a whole drops every outcome and the field books.
  session.setFieldBooks({FieldBook{"book.csv", {}}}, "report");
  bool replaced = false;
  session.networkReplaced = [&] { replaced = true; };
  session.replaceNetwork(loop());
  EXPECT_TRUE(replaced);
  EXPECT_EQ(session.adjustment(), nullptr);
  EXPECT_EQ(session.check(), nullptr);
  EXPECT_TRUE(session.fieldBooks().empty());
  EXPECT_EQ(session.importReport(), "");
}

TEST(SessionState, ACheckBeforeTheAdjustmentOfTheSameDataGivesItsFigures) {
  Session session;
  session.replaceNetwork(loop());
  session.setCell(InputTable::points, 3, 2, "0");
  session.setCell(InputTable::points, 4, 2, "0");
  session.adoptCheck(checkNetwork(session.network(), checkOptions("", "", "2"), "loop.pc"), session.revision());
  StringSink report;
  session.adoptAdjustment(adjust(session.network(), report), session.revision());
  ASSERT_NE(session.resultsTable(), nullptr);
  EXPECT_EQ(session.resultsTable()->testStatisticName, "w");
  EXPECT_FALSE(session.resultsTable()->observations.front().redundancyText.empty());
}

// A network imported from a book is found whole in the book again, cut as
// the import cut it; a network of other points is said not to come from it.
TEST(FieldRecords, TheBooksOfANetworkMatchEveryObservation) {
  const FieldBookReading reading = readFieldBooks({LEVELNET_EXAMPLES_DIR "/fieldbook_four_order.csv"});
  ASSERT_TRUE(reading.refusals.empty());
  ImportSettings settings;
  settings.known = parseKnownPoints("BM1=50.000，BM2=51.668");
  const FieldImportRun imported = importFieldBooks(reading.books, settings);
  const RecordsCheck same = checkFieldRecords(imported.network, reading.books, "四等", "");
  EXPECT_EQ(same.sections, 2);
  EXPECT_EQ(same.matched, 2);
  EXPECT_NE(same.text.find("2 个观测值中 2 个与平差文件的观测值相同"), std::string::npos) << same.text;
  EXPECT_EQ(same.text.find("注意：平差文件不全是"), std::string::npos);
  EXPECT_EQ(same.text.find("没有给出已知点"), std::string::npos) << same.text;
  const RecordsCheck other = checkFieldRecords(loop(), reading.books, "四等", "");
  EXPECT_EQ(other.matched, 0);
  EXPECT_NE(other.text.find("注意：平差文件不全是由这些观测手簿得来的"), std::string::npos);
  // The check of the network carries the books' checks after its own.
  const CheckRun run =
      checkNetwork(imported.network, checkOptions("四等", "", ""), "net.pc", kReportLimits, &reading.books);
  EXPECT_EQ(run.report.rfind("水准网观测数据检核", 0), 0u);
  EXPECT_NE(run.report.find("观测手簿检核（"), std::string::npos);
}

// A digital level's line cut by a section end and by a known point met on
// the way: the records are cut the same way again and every observation of
// the network is found.
TEST(FieldRecords, SectionsCutInsideALineAreFoundAgain) {
  const FieldBookReading reading = readFieldBooks({LEVELNET_CASES_DIR "/fieldbook/line_bffb.gsi"});
  ASSERT_TRUE(reading.refusals.empty());
  for (const char* known : {"BM1=50", "BM1=50 1001=50.5"}) {
    SCOPED_TRACE(known);
    ImportSettings settings;
    settings.known = parseKnownPoints(known);
    if (settings.known.size() == 1) settings.sectionEnds = {"1001"};
    const FieldImportRun imported = importFieldBooks(reading.books, settings);
    ASSERT_EQ(imported.network.observations.rows() - 1, 2);
    const RecordsCheck again = checkFieldRecords(imported.network, reading.books, "二等", "");
    EXPECT_EQ(again.sections, 2);
    EXPECT_EQ(again.matched, 2) << again.text;
  }
}

// With the corrections of precise leveling the network holds corrected
// differences: the records give them again only with the same corrections,
// which checkFieldRecords takes as the import did.
TEST(FieldRecords, CorrectedSectionsAreFoundWithTheSameCorrections) {
  const FieldBookReading reading = readFieldBooks({LEVELNET_CASES_DIR "/fieldbook/line_bffb.gsi"});
  ImportSettings settings;
  settings.grade = "二等";
  settings.known = parseKnownPoints("BM1=50");
  settings.sectionEnds = {"1001"};
  settings.corrections.rodMetreError = "0.05";
  settings.corrections.pointsFile = LEVELNET_CASES_DIR "/fieldbook/line_bffb_points.csv";
  const FieldImportRun imported = importFieldBooks(reading.books, settings);
  const FieldImportRun plain = importFieldBooks(reading.books, ImportSettings{"二等", "", settings.known, {"1001"}});
  ASSERT_EQ(imported.network.observations.rows() - 1, 2);
  EXPECT_NE(imported.network.observations.text(1, 3), plain.network.observations.text(1, 3));
  EXPECT_EQ(
      checkFieldRecords(imported.network, reading.books, "二等", "", correctionInputs(settings.corrections)).matched,
      2);
  EXPECT_EQ(checkFieldRecords(imported.network, reading.books, "二等", "").matched, 0);
  EXPECT_EQ(correctionFiles(settings.corrections), std::vector<std::string>{settings.corrections.pointsFile});
  // Settings out of range are refused, naming them.
  for (const auto& [field, value, shown] :
       {std::tuple{&CorrectionSettings::rodMetreError, "abc", "标尺平均米长误差"},
        std::tuple{&CorrectionSettings::rodExpansion, "1", "标尺膨胀系数"},
        std::tuple{&CorrectionSettings::calibrationTemperature, "nan", "标尺检定温度"},
        std::tuple{&CorrectionSettings::rodTemperaturesFile, LEVELNET_CASES_DIR "/fieldbook/line_bffb_points.csv",
                   "没有给出标尺的膨胀系数"}}) {
    CorrectionSettings bad;
    bad.*field = value;
    try {
      correctionInputs(bad);
      ADD_FAILURE() << shown;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(shown), std::string::npos) << e.what();
    }
  }
}

// The window's text of the corrections: every key, wide and narrow
// separators, blanks around the pieces; anything else refused, named.
TEST(FieldRecords, CorrectionSettingsFromTheWindowsText) {
  const CorrectionSettings s =
      parseCorrectionSettings(" 尺长=0.02，膨胀系数 = 0.001;检定温度=18；尺温文件=/a b/t.csv\n点位文件=p.csv,");
  EXPECT_EQ(s.rodMetreError, "0.02");
  EXPECT_EQ(s.rodExpansion, "0.001");
  EXPECT_EQ(s.calibrationTemperature, "18");
  EXPECT_EQ(s.rodTemperaturesFile, "/a b/t.csv");
  EXPECT_EQ(s.pointsFile, "p.csv");
  EXPECT_EQ(parseCorrectionSettings("").pointsFile, "");
  for (const char* bad : {"尺长", "尺长=", "长度=0.02", "=0.02"}) {
    SCOPED_TRACE(bad);
    try {
      parseCorrectionSettings(bad);
      ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("改正“") + bad + "”"), std::string::npos) << e.what();
    }
  }
}

// Every grade the import takes is a grade of the check: its loops judged by
// the grade's ±k√L, its records by the grade's own field table.
TEST(FieldRecords, CheckTakesEveryGradeOfTheImport) {
  const FieldBookReading reading = readFieldBooks({LEVELNET_EXAMPLES_DIR "/fieldbook_four_order.csv"});
  ImportSettings settings;
  settings.known = parseKnownPoints("BM1=50.000，BM2=51.668");
  const FieldImportRun imported = importFieldBooks(reading.books, settings);
  const std::pair<const char*, const char*> coefficients[] = {{"一等", "2"},      {"二等", "4"},     {"三等", "12"},
                                                              {"四等", "20"},     {"工程二等", "4"}, {"工程三等", "12"},
                                                              {"工程四等", "20"}, {"工程五等", "30"}};
  for (const auto& [grade, k] : coefficients) {
    SCOPED_TRACE(grade);
    const CheckRun run =
        checkNetwork(imported.network, checkOptions(grade, "", ""), "net.pc", kReportLimits, &reading.books);
    EXPECT_EQ(run.report.find(std::string("等级：") + grade), run.report.find("等级："));
    EXPECT_NE(run.report.find(std::string("闭合差限差 ±") + k + "√L"), std::string::npos) << run.report;
    EXPECT_NE(run.report.find(std::string("，") + grade + "）"), std::string::npos);  // the records' heading
  }
}

TEST(FieldRecords, EveryBookThatCannotBeReadIsNamed) {
  const FieldBookReading reading =
      readFieldBooks({LEVELNET_CASES_DIR "/no_such_book.csv", LEVELNET_EXAMPLES_DIR "/fieldbook_four_order.csv",
                      LEVELNET_EXAMPLES_DIR "/loop_a_b.pc"});
  ASSERT_EQ(reading.refusals.size(), 2u);
  EXPECT_EQ(reading.refusals[0].name, LEVELNET_CASES_DIR "/no_such_book.csv");
  EXPECT_EQ(reading.refusals[1].name, LEVELNET_EXAMPLES_DIR "/loop_a_b.pc");
  EXPECT_EQ(reading.books.size(), 1u);
}

}  // namespace
}  // namespace levelnet::session
