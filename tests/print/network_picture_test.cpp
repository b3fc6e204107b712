// The 网图 painted with Qt: the symbols and routes where the drawing model
// puts them, in their colours; the PNG's size; the PDF made again the same;
// the report's picture page.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <string>

#include "print/network_picture.h"
#include "print/report_layout.h"
#include "session/network_plot.h"
#include "support/environment.h"
#include "support/network_text.h"

namespace levelnet::print {
namespace {

// A at the west, B at the east, P between them a little north: A→P is a
// flagged blunder, P→B unchecked, A→B plain.
plot::NetworkDrawing triangleDrawing(bool marked) {
  const NetworkText text =
      testing::enteredNetwork({"2", "1", "3", "1"}, {{"A", "10"}, {"B", "11"}, {"P", ""}},
                              {{"A", "P", "0.5", "1"}, {"P", "B", "0.5", "1"}, {"A", "B", "1", "2"}});
  const LevelingNetwork net =
      gatherNetwork(text.fields, text.points, text.observations, kLargeNetworkLimits, GatherMode::plannedNetwork);
  plot::PointPlacement where;
  where.east = {0, 0, 1000, 500};
  where.north = {0, 0, 0, 400};
  plot::DrawingFacts facts;
  if (marked)
    facts.marks = {plot::RouteMark::plain, plot::RouteMark::suspected, plot::RouteMark::unchecked,
                   plot::RouteMark::plain};
  return plot::drawNetwork(net, where, true, facts, "三角形");
}

QImage painted(const plot::NetworkDrawing& d, QRectF& area, double dpi) {
  QImage image(1200, 900, QImage::Format_RGB32);
  image.fill(Qt::white);
  area = QRectF(0, 0, image.width(), image.height());
  QPainter painter(&image);
  paintNetworkDrawing(painter, area, d, dpi);
  painter.end();
  return image;
}

bool near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 && std::abs(a.blue() - b.blue()) < 40;
}

TEST(NetworkPicture, SymbolsAndRoutesWhereTheModelPutsThem) {
  const plot::NetworkDrawing d = triangleDrawing(true);
  QRectF area;
  const double dpi = 100.0;
  const QImage image = painted(d, area, dpi);
  const PicturePlacement place = placePicture(area, d, dpi);
  auto pixel = [&](double x, double y) {
    return image.pixelColor(static_cast<int>(place.x(x)), static_cast<int>(place.y(y)));
  };
  struct Case {
    const char* what;
    double x, y;
    QColor colour;
  };
  const Case cases[] = {
      {"benchmark A: a filled triangle", 0, 0, Qt::black},
      {"benchmark B: a filled triangle", 1000, 0, Qt::black},
      {"unknown P: a white circle", 500, 400, Qt::white},
      {"A→P flagged: red", 250 * 0.8, 200 * 0.8, routeColour(plot::RouteMark::suspected)},
      {"empty ground: white", 500, 150, Qt::white},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(near(pixel(c.x, c.y), c.colour)) << pixel(c.x, c.y).name().toStdString();
  }
  // The circle's rim is black, just inside its radius.
  const QColor rim =
      image.pixelColor(static_cast<int>(place.x(500) + place.symbolRadius - 0.5), static_cast<int>(place.y(400)));
  EXPECT_LT(rim.lightness(), 128);
  // Somewhere along the unchecked route P→B its orange shows (dashed: not everywhere).
  int orange = 0;
  for (int i = 1; i < 40; ++i) {
    const double s = 0.2 + 0.6 * i / 40.0;
    if (near(pixel(500 + 500 * s, 400 - 400 * s), routeColour(plot::RouteMark::unchecked))) ++orange;
  }
  EXPECT_GT(orange, 5);
  EXPECT_LT(orange, 39);
}

TEST(NetworkPicture, PlainRoutesAreNotColoured) {
  const plot::NetworkDrawing d = triangleDrawing(false);
  QRectF area;
  const QImage image = painted(d, area, 100.0);
  const PicturePlacement place = placePicture(area, d, 100.0);
  const QColor c = image.pixelColor(static_cast<int>(place.x(200)), static_cast<int>(place.y(160)));
  EXPECT_TRUE(near(c, routeColour(plot::RouteMark::plain))) << c.name().toStdString();
}

TEST(NetworkPicture, PngOfTheDrawing) {
  const std::string png = networkPng(triangleDrawing(true));
  const QImage image =
      QImage::fromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG");
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 1600);  // wider than high
  EXPECT_GE(image.height(), 800);
  EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
  int dark = 0;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4)
      if (image.pixelColor(x, y).lightness() < 100) ++dark;
  EXPECT_GT(dark, 100);  // symbols, routes, text
}

TEST(NetworkPicture, PdfTheSameBytesUnderSourceDateEpoch) {
  levelnet::test::setEnvironment("SOURCE_DATE_EPOCH", "1765000000");
  const std::string a = networkPdf(triangleDrawing(true)), b = networkPdf(triangleDrawing(true));
  levelnet::test::unsetEnvironment("SOURCE_DATE_EPOCH");
  ASSERT_EQ(a.compare(0, 5, "%PDF-"), 0);
  EXPECT_EQ(a, b);
  EXPECT_NE(a.find("/CreationDate (D:20251206"), std::string::npos);
}

TEST(NetworkPicture, ReportPicturePageFillsPageOneAfterTheTitleBlock) {
  session::ReportDocument doc;
  doc.fileName = "t.pc";
  doc.date = "2026-12-08";
  doc.drawing = triangleDrawing(false);
  const DocumentLayout layout = layoutReportDocument(doc, [](char32_t c) { return c < 0x80 ? 1 : 2; });
  ASSERT_GE(layout.pages.size(), 2u);
  const std::vector<PageItem>& first = layout.pages[0];
  ASSERT_FALSE(first.empty());
  const PageItem& picture = first.back();
  EXPECT_EQ(picture.kind, PageItem::Kind::picture);
  EXPECT_GT(picture.firstLine, kTitleBlockSlots);
  EXPECT_EQ(picture.firstLine + picture.lineCount, kLinesPerPage);
  EXPECT_EQ(layout.pages[1][0].text, U"一、点成果表");
  doc.drawing.reset();
  const DocumentLayout plain = layoutReportDocument(doc, [](char32_t c) { return c < 0x80 ? 1 : 2; });
  for (const PageItem& item : plain.pages[0]) EXPECT_NE(item.kind, PageItem::Kind::picture);
}

}  // namespace
}  // namespace levelnet::print

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
