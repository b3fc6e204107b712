#include "print/report_document.h"
#include "print/bundled_fonts.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unordered_map>

#include "network/errors.h"
#include "print/network_picture.h"
#include "print/pdf_creation_date.h"
#include "print/report_layout.h"
#include "print/text_cells.h"
#include "print/without_display.h"
#include "session/source_date.h"

namespace levelnet::print {

namespace {

// Monospaced faces with Chinese, in order of preference. AR PL UMing (a
// Song face, as Chinese documents are set) comes first: its Latin letters,
// digits and ± are all half as wide as its Chinese characters, so the check
// report's columns of ±… line up too, and every one of its characters maps
// back to its own code in the PDF. Noto Sans Mono CJK shares glyphs between
// some ideographs and the Kangxi radicals (水 and ⽔, 页 and ⻚), and Qt then
// writes the radical into the PDF's text, which copying and searching get.
const QStringList kFaces = {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans Mono CJK SC"),
                            QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans Mono CJK TC")};

// Measured at a large size, so that no rounding of the advances hides a
// difference.
constexpr int kMeasuringPixels = 1000;

bool same(qreal a, qreal b) { return std::fabs(a - b) <= kMeasuringPixels * 1e-3; }

// Every printable ASCII character one cell, a Chinese character two.
bool columnsLineUp(const QFont& font) {
  const QFontMetricsF metrics(font);
  const qreal cell = metrics.horizontalAdvance(QLatin1Char('0'));
  for (char16_t c = 0x20; c < 0x7F; ++c)
    if (!same(metrics.horizontalAdvance(QChar(c)), cell)) return false;
  return same(metrics.horizontalAdvance(QStringLiteral("水准点")), 6 * cell);
}

QString chooseFace() {
  const QStringList families = QFontDatabase::families();
  for (const QString& face : kFaces) {
    if (!families.contains(face)) continue;
    QFont font = documentFont(face);
    font.setPixelSize(kMeasuringPixels);
    if (QFontInfo(font).family() == face && columnsLineUp(font)) return face;
  }
  throw InputError(
      "找不到能使报告各列对齐的中文等宽字体，无法生成（请安装 Debian 软件包 fonts-arphic-uming 或 fonts-noto-cjk）");
}

QString toQString(std::u32string_view text) {
  return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

QString toQString(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Cells of the chosen face: ASCII one, wide characters two, any other
// character (Greek, ±, arrows, characters from a fallback face) as many as
// its advance comes nearest to, one or two.
class FaceCells {
 public:
  explicit FaceCells(const QString& face) : font_(documentFont(face)) { font_.setPixelSize(kMeasuringPixels); }

  int operator()(char32_t c) {
    if (c < 0x80) return 1;
    if (unicodeCells(c) == 2) return 2;
    auto found = known_.find(c);
    if (found != known_.end()) return found->second;
    const QFontMetricsF metrics(font_);
    const qreal cell = metrics.horizontalAdvance(QLatin1Char('0'));
    const qreal advance = metrics.horizontalAdvance(QString::fromUcs4(&c, 1));
    const int cells = advance > 1.5 * cell ? 2 : 1;
    known_.emplace(c, cells);
    return cells;
  }

 private:
  QFont font_;
  std::unordered_map<char32_t, int> known_;
};

// Device units of one paint device.
struct Units {
  qreal perPoint = 1.0;
  qreal fromPoints(qreal points) const { return points * perPoint; }
  qreal fromMm(qreal mm) const { return mm * kPointsPerMm * perPoint; }
};

struct Fonts {
  QFont body, heading, title, margin;
};

QFont sized(const QString& face, qreal points, bool bold = false) {
  QFont font = documentFont(face);
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setKerning(false);
  return font;
}

// Paints text on the grid of cells: a Latin character takes one cell, a
// Chinese character two, whatever the device's rounding of advances. Drawn
// as one string where the font's own advances give the grid positions (the
// usual case, and the PDF's text stays whole), else word by word, and a word
// that still does not fit its cells character by character.
class GridPainter {
 public:
  GridPainter(QPainter& painter, const QFont& font, qreal cell, FaceCells& cells)
      : painter_(painter), font_(font), metrics_(font, painter.device()), cell_(cell), cells_(cells) {}

  void draw(qreal x, qreal baseline, std::u32string_view text) {
    painter_.setFont(font_);
    const std::size_t first = text.find_first_not_of(U' ');
    if (first == std::u32string_view::npos) return;
    const std::size_t last = text.find_last_not_of(U' ') + 1;
    const qreal start = x + cellsTo(text, first) * cell_;
    if (drawn(start, baseline, text.substr(first, last - first))) return;
    std::size_t i = first;
    while (i < last) {
      std::size_t end = text.find(U' ', i);
      if (end == std::u32string_view::npos || end > last) end = last;
      const std::u32string_view word = text.substr(i, end - i);
      const qreal wordX = x + cellsTo(text, i) * cell_;
      if (!drawn(wordX, baseline, word)) {
        qreal charX = wordX;
        for (char32_t c : word) {
          painter_.drawText(QPointF(charX, baseline), QString::fromUcs4(&c, 1));
          charX += cells_(c) * cell_;
        }
      }
      i = text.find_first_not_of(U' ', end);
      if (i == std::u32string_view::npos) break;
    }
  }

  int cellsOf(std::u32string_view text) {
    int total = 0;
    for (char32_t c : text) total += cells_(c);
    return total;
  }

 private:
  int cellsTo(std::u32string_view text, std::size_t end) { return cellsOf(text.substr(0, end)); }

  // Draws `text` at x when its advance is its cells' width.
  bool drawn(qreal x, qreal baseline, std::u32string_view text) {
    const QString s = toQString(text);
    if (std::fabs(metrics_.horizontalAdvance(s) - cellsOf(text) * cell_) > cell_ * 0.05) return false;
    painter_.drawText(QPointF(x, baseline), s);
    return true;
  }

  QPainter& painter_;
  QFont font_;
  QFontMetricsF metrics_;
  qreal cell_;
  FaceCells& cells_;
};

// The baseline of text of `font` centred in a band of `height` from `top`.
qreal baselineIn(const QFontMetricsF& metrics, qreal top, qreal height) {
  return top + (height - (metrics.ascent() + metrics.descent())) / 2 + metrics.ascent();
}

class PagePainter {
 public:
  PagePainter(QPainter& painter, const Units& units, const Fonts& fonts, FaceCells& cells, const DocumentLayout& layout,
              const ReportDocument& document)
      : painter_(painter),
        units_(units),
        fonts_(fonts),
        cells_(cells),
        layout_(layout),
        document_(document),
        left_(units.fromMm(kLeftMarginMm)),
        top_(units.fromMm(kTopMarginMm)),
        line_(units.fromPoints(kLinePoints)),
        cell_(units.fromPoints(kCellPoints)),
        textWidth_(units.fromMm(kPageWidthMm - kLeftMarginMm - kRightMarginMm)),
        body_(painter, fonts.body, cell_, cells) {}

  void paint(int pageIndex) {
    const std::vector<PageItem>& items = layout_.pages[static_cast<std::size_t>(pageIndex)];
    for (std::size_t i = 0; i < items.size(); ++i) {
      const PageItem& item = items[i];
      if (item.kind == PageItem::Kind::text) {
        paintText(item);
      } else if (item.kind == PageItem::Kind::picture) {
        if (document_.drawing)
          paintNetworkDrawing(painter_, QRectF(left_, slotTop(item.firstLine), textWidth_, item.lineCount * line_),
                              *document_.drawing, units_.perPoint * 72.0);
      } else {
        const bool closes =
            i + 1 == items.size() || items[i + 1].kind != PageItem::Kind::tableRow || items[i + 1].table != item.table;
        paintRow(item, closes);
      }
    }
    paintMargins(pageIndex);
  }

 private:
  qreal slotTop(int firstLine) const { return top_ + firstLine * line_; }

  void paintText(const PageItem& item) {
    const qreal top = slotTop(item.firstLine);
    const qreal height = item.lineCount * line_;
    if (item.style == LineStyle::body) {
      const QFontMetricsF metrics(fonts_.body, painter_.device());
      const qreal baseline = baselineIn(metrics, top, height);
      if (item.continuation) paintContinuationMark(top, height);
      body_.draw(left_ + item.indent * cell_, baseline, item.text);
      return;
    }
    const QFont& font = item.style == LineStyle::title ? fonts_.title : fonts_.heading;
    const QFontMetricsF metrics(font, painter_.device());
    const QString text = toQString(item.text);
    const qreal width = metrics.horizontalAdvance(text);
    const qreal x = item.centered ? left_ + (textWidth_ - width) / 2 : left_ + item.indent * cell_;
    painter_.setFont(font);
    painter_.drawText(QPointF(x, baselineIn(metrics, top, height)), text);
  }

  // A small hook in the indent of a continued line: drawn, not text, so
  // that copied text holds only the report's own characters.
  void paintContinuationMark(qreal top, qreal height) {
    painter_.save();
    painter_.setPen(QPen(QColor(128, 128, 128), units_.fromPoints(0.5)));
    const qreal x = left_ + 1.5 * cell_;
    const qreal y0 = top + height * 0.25, y1 = top + height * 0.6;
    painter_.drawLine(QPointF(x, y0), QPointF(x, y1));
    painter_.drawLine(QPointF(x, y1), QPointF(x + 1.5 * cell_, y1));
    painter_.restore();
  }

  void paintRow(const PageItem& row, bool closes) {
    const TableLayout& table = layout_.tables[static_cast<std::size_t>(row.table)];
    const qreal top = slotTop(row.firstLine);
    const qreal bottom = slotTop(row.firstLine + row.lineCount);
    const qreal x0 = left_ + table.x * cell_;
    const qreal x1 = x0 + table.width * cell_;
    if (row.header) painter_.fillRect(QRectF(QPointF(x0, top), QPointF(x1, bottom)), QColor(232, 232, 232));
    const QFontMetricsF metrics(fonts_.body, painter_.device());
    for (std::size_t c = 0; c < table.columns.size() && c < row.cellLines.size(); ++c) {
      const TableColumn& column = table.columns[c];
      const CellAlign align = row.header ? CellAlign::center : column.align;
      for (std::size_t k = 0; k < row.cellLines[c].size(); ++k) {
        const std::u32string& text = row.cellLines[c][k];
        const int free = column.cells - body_.cellsOf(text);
        const int offset = align == CellAlign::left ? 0 : align == CellAlign::right ? free : free / 2;
        body_.draw(left_ + (column.x + 1 + std::max(0, offset)) * cell_,
                   baselineIn(metrics, slotTop(row.firstLine + static_cast<int>(k)), line_), text);
      }
    }
    painter_.save();
    painter_.setPen(QPen(Qt::black, units_.fromPoints(0.5)));
    painter_.drawLine(QPointF(x0, top), QPointF(x1, top));
    if (closes) painter_.drawLine(QPointF(x0, bottom), QPointF(x1, bottom));
    for (const TableColumn& column : table.columns) {
      const qreal x = left_ + column.x * cell_;
      painter_.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
    painter_.drawLine(QPointF(x1, top), QPointF(x1, bottom));
    painter_.restore();
  }

  // The running head (from page 2 on) and the footer "第 x 页 共 y 页".
  void paintMargins(int pageIndex) {
    const int pages = static_cast<int>(layout_.pages.size());
    const QFontMetricsF metrics(fonts_.margin, painter_.device());
    painter_.setFont(fonts_.margin);
    if (pageIndex > 0) {
      const qreal baseline = top_ - units_.fromMm(4);
      const QString date = toQString(document_.date);
      const qreal dateWidth = metrics.horizontalAdvance(date);
      const QString head = metrics.elidedText(QStringLiteral("水准网平差成果　") + toQString(document_.fileName),
                                              Qt::ElideMiddle, textWidth_ - dateWidth - units_.fromMm(5));
      painter_.drawText(QPointF(left_, baseline), head);
      painter_.drawText(QPointF(left_ + textWidth_ - dateWidth, baseline), date);
      painter_.save();
      painter_.setPen(QPen(Qt::black, units_.fromPoints(0.4)));
      const qreal rule = top_ - units_.fromMm(2.5);
      painter_.drawLine(QPointF(left_, rule), QPointF(left_ + textWidth_, rule));
      painter_.restore();
    }
    const QString footer = QStringLiteral("第 %1 页 共 %2 页").arg(pageIndex + 1).arg(pages);
    const qreal width = metrics.horizontalAdvance(footer);
    painter_.drawText(QPointF(left_ + (textWidth_ - width) / 2, units_.fromMm(kPageHeightMm - 12)), footer);
  }

  QPainter& painter_;
  const Units& units_;
  const Fonts& fonts_;
  FaceCells& cells_;
  const DocumentLayout& layout_;
  const ReportDocument& document_;
  qreal left_, top_, line_, cell_, textWidth_;
  GridPainter body_;
};

void requireGuiApplication() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw InputError("内部错误：生成 PDF 或打印需要先创建 QGuiApplication");
}

}  // namespace

int paintReportDocument(QPagedPaintDevice& device, const ReportDocument& document) {
  requireGuiApplication();
  const QString face = chooseFace();
  FaceCells cells(face);
  const DocumentLayout layout = layoutReportDocument(document, [&cells](char32_t c) { return cells(c); });

  // A4 portrait; the page is painted from the paper's corner, whatever
  // margins the printer insists on.
  device.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
  QPainter painter;
  if (!painter.begin(&device)) throw InputError("无法开始输出：打印机或 PDF 文件不能绘制");
  const int dpi = device.logicalDpiY();
  if (dpi <= 0) throw InputError("无法开始输出：输出设备的分辨率无效");
  const QRect paintRect = device.pageLayout().paintRectPixels(dpi);
  painter.translate(-paintRect.left(), -paintRect.top());
  painter.setRenderHint(QPainter::Antialiasing);

  Units units;
  units.perPoint = dpi / 72.0;
  const Fonts fonts{sized(face, kBodyPoints), sized(face, kHeadingPoints, true), sized(face, kTitlePoints, true),
                    sized(face, 7.5)};
  PagePainter pages(painter, units, fonts, cells, layout, document);
  const int count = static_cast<int>(layout.pages.size());
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !device.newPage()) {
      painter.end();
      throw InputError("无法输出第 " + std::to_string(i + 1) + " 页");
    }
    pages.paint(i);
  }
  if (!painter.end()) throw InputError("无法完成输出：打印机或 PDF 文件拒绝了写入");
  return count;
}

std::string reportDocumentPdf(const ReportDocument& document) {
  requireGuiApplication();
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("levelnet"));
    writer.setTitle(QStringLiteral("水准网平差成果") +
                    (document.fileName.empty() ? QString() : QStringLiteral("：") + toQString(document.fileName)));
    paintReportDocument(writer, document);
  }
  const QByteArray& bytes = buffer.data();
  return finishedPdf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::string reportDocumentPdfWithoutDisplay(const ReportDocument& document) {
  return withoutDisplay([&document] { return reportDocumentPdf(document); });
}

}  // namespace levelnet::print
