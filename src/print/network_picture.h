// The 网图 painted with QPainter: the PNG and PDF files of `levelnet plot`,
// the 网图 page of the PDF report, and the colours the window's 网图 uses
// too. Draws plot::NetworkDrawing, never the network itself. Needs Qt Gui.
#pragma once

#include <QColor>
#include <QString>
#include <string>

#include "plot/network_drawing.h"

class QPainter;
class QRectF;

namespace levelnet::print {

// The colour of a route of this mark (and of its legend entry).
QColor routeColour(plot::RouteMark mark);
// Dashed (unchecked routes) or solid.
bool routeDashed(plot::RouteMark mark);
// The colour of failed loops' outlines.
QColor loopColour();

// A Chinese face the PDF embeds, sans-serif first. Throws InputError
// without one.
QString drawingFace();

// Where paintNetworkDrawing puts the network in `area` at `dpi`: drawing
// units (x east, y north) to device units, north up, and the radius of an
// ordinary symbol on the device.
struct PicturePlacement {
  double minX = 0.0, maxY = 0.0, scale = 1.0, left = 0.0, top = 0.0;
  double symbolRadius = 1.0;  // device units
  double x(double x) const { return left + (x - minX) * scale; }
  double y(double y) const { return top + (maxY - y) * scale; }
};
PicturePlacement placePicture(const QRectF& area, const plot::NetworkDrawing& d, double dpi);

// Paints the drawing in `area` of a device of `dpi` dots per inch: the title
// above, the legend below, the north arrow top right and, with real
// coordinates, the scale bar bottom right; the network fills the rest, north
// up, the same scale both ways. Labels (point names, elevations and M, route
// numbers) are drawn only where the routes are long enough on paper to hold
// them. Throws InputError without a Chinese font.
void paintNetworkDrawing(QPainter& painter, const QRectF& area, const plot::NetworkDrawing& d, double dpi);

// The drawing as PNG bytes: 1600 pixels on its longer side (150 dpi), white.
std::string networkPng(const plot::NetworkDrawing& d);

// The drawing as a one-page A4 PDF (landscape when the network is wider than
// high), fonts embedded; with SOURCE_DATE_EPOCH its creation date is that
// moment, so the same drawing gives the same bytes.
std::string networkPdf(const plot::NetworkDrawing& d);

// networkPng and networkPdf for a program without a window (withoutDisplay).
std::string networkPngWithoutDisplay(const plot::NetworkDrawing& d);
std::string networkPdfWithoutDisplay(const plot::NetworkDrawing& d);

}  // namespace levelnet::print
