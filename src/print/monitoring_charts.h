// The curves of a settlement monitoring as a PDF (levelnet monitor --pdf):
// A4 landscape pages painted with QPainter, fonts embedded.
//   page 1: the summary and 时间-荷载-沉降量曲线 of every monitoring point,
//           the load (or stage) above, a legend, the warning line;
//   page 2: the cumulative settlement of every point at the last epoch as
//           bars, with the warning and attention lines;
//   then   the time-settlement curve of each point, four to a page, with
//           its own warning line and its significant changes filled.
// Axes carry their units; the time axis the epochs' dates. Needs QtGui.
#pragma once

#include <string>

#include "monitor/settlement.h"

class QPainter;
class QRectF;

namespace levelnet::print {

// The charts of the first two pages, painted in `area` of any device of
// `dpi` dots per inch (the window's 曲线 tab): every point's curve with the
// load above and the legend; the last epoch's bars. Throws InputError without
// a Chinese font.
void paintSettlementCurves(QPainter& painter, const QRectF& area, const monitor::MonitoringResults& results,
                           double dpi);
void paintLastEpochBars(QPainter& painter, const QRectF& area, const monitor::MonitoringResults& results, double dpi);

// The document as PDF bytes; `date` goes into the running head. Throws
// InputError when it cannot be made (no Chinese font, nothing written).
std::string monitoringPdf(const monitor::MonitoringResults& results, const std::string& date);

// monitoringPdf for a program without a window, on Qt's offscreen platform,
// as reportDocumentPdfWithoutDisplay.
std::string monitoringPdfWithoutDisplay(const monitor::MonitoringResults& results, const std::string& date);

}  // namespace levelnet::print
