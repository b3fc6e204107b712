// The printed report's text rules: wrapping on the grid of cells, and the
// page layout's promises (nothing beyond the page, nothing overlapping, the
// header row atop every page of a table, every row and line placed once).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "network/errors.h"
#include "print/pdf_creation_date.h"
#include "print/report_layout.h"
#include "print/text_cells.h"

namespace levelnet::print {
namespace {

const CellWidth kCells = [](char32_t c) { return unicodeCells(c); };

std::vector<std::string> wrap(const std::string& line, int width, int indent) {
  std::vector<std::string> out;
  for (const std::u32string& piece : wrapCells(decodeUtf8(line), width, indent, kCells))
    out.push_back(encodeUtf8(piece));
  return out;
}

TEST(TextCells, Widths) {
  EXPECT_EQ(cellsOf(decodeUtf8("BM1 12.3456"), kCells), 11);
  EXPECT_EQ(cellsOf(decodeUtf8("水准点1"), kCells), 7);
  EXPECT_EQ(cellsOf(decodeUtf8("（），。"), kCells), 8);  // fullwidth punctuation
  EXPECT_EQ(cellsOf(decodeUtf8("±1.3"), kCells), 4);
}

TEST(TextCells, BrokenUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(decodeUtf8("a\xFF"
                       "b"),
            U"a\uFFFDb");
  EXPECT_EQ(decodeUtf8("\xE6\xB0"), U"\uFFFD\uFFFD");            // cut short
  EXPECT_EQ(decodeUtf8("\xC0\xAF"), U"\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(decodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(encodeUtf8(decodeUtf8("水准点 BM1 𠀀")), "水准点 BM1 𠀀");
}

struct WrapCase {
  const char* name;
  std::string line;
  int width, indent;
  std::vector<std::string> pieces;
};

TEST(TextCells, Wrapping) {
  const std::vector<WrapCase> cases = {
      {"fits", "  1.9345    -0.4762", 19, 4, {"  1.9345    -0.4762"}},
      {"empty line", "", 10, 4, {""}},
      {"after the last word that fits; the blanks go on", "aaa bbb ccc", 9, 2, {"aaa bbb", " ccc"}},
      {"matrix rows break between fields", "  1.0000    2.0000    3.0000", 20, 4, {"  1.0000    2.0000", "    3.0000"}},
      {"a word too long is cut", "abcdefghij", 4, 1, {"abcd", "efg", "hij"}},
      {"trailing blanks make no piece", "abc       ", 5, 1, {"abc"}},
      {"beside a Chinese character", "水准点水准点", 7, 1, {"水准点", "水准点"}},
      {"never before a closing mark", "平差完成，", 8, 0, {"平差完", "成，"}},
      {"never after an opening mark; cut where no break fits", "值（待定）", 5, 0, {"值", "（待", "定）"}},
      {"a Chinese character is never halved", "水准", 3, 1, {"水", "准"}},
      {"continuations again and again", "0 1 2 3 4 5 6 7 8 9", 7, 2, {"0 1 2 3", " 4 5", " 6 7", " 8 9"}},
  };
  for (const WrapCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> pieces = wrap(c.line, c.width, c.indent);
    EXPECT_EQ(pieces, c.pieces);
    for (std::size_t i = 0; i < pieces.size(); ++i)
      EXPECT_LE(cellsOf(decodeUtf8(pieces[i]), kCells) + (i > 0 ? c.indent : 0), c.width);
  }
}

// The text of the pieces is the line's, blanks at the breaks aside.
TEST(TextCells, WrappingLosesNothing) {
  std::string line;
  for (int i = 0; i < 300; ++i) line += (i % 7 == 0 ? "  水准点" : "  -0.") + std::to_string(i * 37 % 1000);
  for (int width : {8, 13, 40, 107}) {
    std::string joined;
    for (const std::string& piece : wrap(line, width, 4)) joined += piece;
    auto squeezed = [](std::string s) {
      std::erase(s, ' ');
      return s;
    };
    EXPECT_EQ(squeezed(joined), squeezed(line)) << width;
  }
}

ReportDocument document(int points, int observations, const std::string& nameStem, int reportLines) {
  ReportDocument d;
  d.fileName = "net.pc";
  d.date = "2026-01-02";
  for (int i = 1; i <= points; ++i) {
    PointResult p;
    p.number = i;
    p.name = nameStem + std::to_string(i);
    p.known = i <= 2;
    p.elevation.text = "100.0000";
    p.standardErrorText = p.known ? "—" : "1.2";
    d.results.points.push_back(p);
  }
  for (int i = 1; i <= observations; ++i) {
    ObservationResult o;
    o.number = i;
    o.from = nameStem + "1";
    o.to = nameStem + std::to_string(i);
    o.observedDifference.text = "1.234";
    o.routeLength.text = "1.5";
    o.correction.text = "-0.3";
    o.adjustedDifference.text = "1.2337";
    d.results.observations.push_back(o);
  }
  for (int i = 0; i < reportLines; ++i) d.reportText += std::string(i % 3 == 0 ? 250 : 20, 'q') + "\r\n";
  return d;
}

// Every page's items lie inside the page, in order, without overlapping;
// every page that holds rows of a table starts them with the header; every
// row and every report line is there once.
void expectSoundLayout(const DocumentLayout& layout, const ReportDocument& d) {
  std::vector<int> rowsSeen(layout.tables.size(), 0);
  int reportPieces = 0;
  for (const auto& page : layout.pages) {
    int next = 0;
    int lastTable = -1;
    for (const PageItem& item : page) {
      EXPECT_GE(item.firstLine, next);
      EXPECT_LE(item.firstLine + item.lineCount, kLinesPerPage);
      next = item.firstLine + item.lineCount;
      if (item.kind == PageItem::Kind::tableRow) {
        if (item.table != lastTable) {
          EXPECT_TRUE(item.header) << "a table's first row on a page is its header";
        }
        if (!item.header) ++rowsSeen[static_cast<std::size_t>(item.table)];
        lastTable = item.table;
      } else {
        lastTable = -1;
        if (item.style == LineStyle::body && item.text.find(U'q') != std::u32string::npos) ++reportPieces;
      }
    }
  }
  ASSERT_EQ(layout.tables.size(), 2u);
  EXPECT_EQ(rowsSeen[0], static_cast<int>(d.results.points.size()));
  EXPECT_EQ(rowsSeen[1], static_cast<int>(d.results.observations.size()));
  // 250 q's wrap into 3 pieces of 107, 103 and 40 cells.
  int expectedPieces = 0;
  for (const char c : d.reportText)
    if (c == '\n') ++expectedPieces;
  expectedPieces += 2 * ((expectedPieces + 2) / 3);
  EXPECT_EQ(reportPieces, expectedPieces);
}

TEST(ReportLayout, PagesAreSoundForManySizes) {
  for (int points : {1, 3, 50, 51, 52, 111, 200}) {
    for (int reportLines : {0, 1, 58, 59, 60, 400}) {
      SCOPED_TRACE(std::to_string(points) + " points, " + std::to_string(reportLines) + " report lines");
      const ReportDocument d = document(points, points + 7, "测点", reportLines);
      expectSoundLayout(layoutReportDocument(d, kCells), d);
    }
  }
}

TEST(ReportLayout, TitleBlockThenTablesOnPageOne) {
  const ReportDocument d = document(3, 2, "P", 1);
  const DocumentLayout layout = layoutReportDocument(d, kCells);
  ASSERT_GE(layout.pages.size(), 2u);  // the report starts a page of its own
  const std::vector<PageItem>& first = layout.pages[0];
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first[0].style, LineStyle::title);
  // The points table's heading comes right after the title block.
  const auto heading = std::find_if(first.begin(), first.end(), [](const PageItem& i) {
    return i.kind == PageItem::Kind::text && i.text == U"一、点成果表";
  });
  ASSERT_NE(heading, first.end());
  EXPECT_EQ(heading->firstLine, kTitleBlockSlots);
  EXPECT_EQ(layout.pages[1][0].text, U"四、平差报告");
}

// A name wider than its column wraps inside the cell; the row grows, and a
// row higher than a page is split instead of running off it.
TEST(ReportLayout, LongNamesWrapInTheirCells) {
  ReportDocument d = document(3, 2, "P", 0);
  d.results.points[2].name = std::string(300, 'N');
  DocumentLayout layout = layoutReportDocument(d, kCells);
  EXPECT_LE(layout.tables[0].width, kColumnsPerLine);
  expectSoundLayout(layout, d);

  d.results.points[2].name = std::string(20000, 'N');
  layout = layoutReportDocument(d, kCells);
  std::size_t nameCells = 0;
  for (const auto& page : layout.pages)
    for (const PageItem& item : page)
      if (item.kind == PageItem::Kind::tableRow && item.table == 0 && !item.header)
        for (const std::u32string& line : item.cellLines[1]) nameCells += line.size();
  EXPECT_EQ(nameCells, 20000u + 2 * 2);  // the long name and "P1", "P2"
}

// ---- The creation date of a PDF made again ----

// A PDF in the form Qt writes: the document information first, a table of
// twenty-byte entries, the trailer and startxref.
std::string qtLikePdf(const std::string& date) {
  std::vector<std::string> objects = {"1 0 obj\n<<\n/Creator (levelnet)\n/CreationDate (" + date + ")\n>>\nendobj\n",
                                      "2 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n>>\nendobj\n",
                                      "3 0 obj\n<<\n/Type /Pages\n/Count 0\n/Kids []\n>>\nendobj\n"};
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (const std::string& o : objects) {
    offsets.push_back(pdf.size());
    pdf += o;
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 4\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<<\n/Size 4 \n/Info 1 0 R\n/Root 2 0 R\n>>\nstartxref\n" + std::to_string(xref) + " \n%%EOF\n";
  return pdf;
}

// Every in-use entry of the table points at its object, and startxref at
// the table.
bool tableIsSound(const std::string& pdf) {
  const std::size_t key = pdf.rfind("startxref\n");
  const std::size_t xref = std::stoul(pdf.substr(key + 10));
  if (pdf.compare(xref, 10, "xref\n0 4\n0") != 0) return false;
  for (int n = 1; n < 4; ++n) {
    const std::size_t offset = std::stoul(pdf.substr(xref + 9 + 20 * n, 10));
    const std::string object = std::to_string(n) + " 0 obj\n";
    if (pdf.compare(offset, object.size(), object) != 0) return false;
  }
  return true;
}

TEST(PdfCreationDate, TheSameBytesWhateverTheTimeZone) {
  const std::string utc = qtLikePdf("D:20261208101806Z");
  const std::string east = qtLikePdf("D:20261208181806+08'00'");
  const std::string west = qtLikePdf("D:20261208064806-03'30'");
  ASSERT_TRUE(tableIsSound(utc));
  ASSERT_TRUE(tableIsSound(east));
  const std::string fixed = withCreationDate(east, 951782400);
  EXPECT_EQ(fixed, qtLikePdf("D:20000229000000Z"));
  EXPECT_TRUE(tableIsSound(fixed));
  EXPECT_EQ(withCreationDate(utc, 951782400), fixed);
  EXPECT_EQ(withCreationDate(west, 951782400), fixed);
  EXPECT_EQ(withCreationDate(fixed, 951782400), fixed);
}

TEST(PdfCreationDate, TheMomentToTheSecond) {
  const std::string pdf = qtLikePdf("D:20261208181806+08'00'");
  EXPECT_NE(withCreationDate(pdf, 0).find("/CreationDate (D:19700101000000Z)"), std::string::npos);
  EXPECT_NE(withCreationDate(pdf, 1765000000).find("/CreationDate (D:20251206054640Z)"), std::string::npos);
  EXPECT_NE(withCreationDate(pdf, 253402300799).find("/CreationDate (D:99991231235959Z)"), std::string::npos);
  EXPECT_THROW(withCreationDate(pdf, 253402300800), InputError);
}

TEST(PdfCreationDate, APdfWithoutADateIsLeftAlone) {
  std::string pdf = qtLikePdf("D:20261208181806+08'00'");
  pdf.replace(pdf.find("/CreationDate"), 13, "/Producer    ");
  EXPECT_EQ(withCreationDate(pdf, 951782400), pdf);
  // A date in a later object is not the document information's.
  std::string later = qtLikePdf("x");
  later.replace(later.find("/CreationDate (x)"), 17, "/Title (x)       ");
  later.replace(later.find("/Count 0"), 8, "/CreationDate (D:1)");
  EXPECT_EQ(withCreationDate(later, 951782400), later);
}

TEST(PdfCreationDate, AnUnexpectedFormIsRefusedNotCorrupted) {
  EXPECT_THROW(withCreationDate(qtLikePdf("20261208"), 951782400), InputError);
  std::string noTable = qtLikePdf("D:20261208181806+08'00'");
  noTable.replace(noTable.find("xref\n0 4"), 4, "xrfe");
  EXPECT_THROW(withCreationDate(noTable, 951782400), InputError);
  std::string shortEntry = qtLikePdf("D:20261208181806+08'00'");
  shortEntry.replace(shortEntry.find(" 00000 n \n"), 10, "0 0 n \n   ");
  EXPECT_THROW(withCreationDate(shortEntry, 951782400), InputError);
}

}  // namespace
}  // namespace levelnet::print
