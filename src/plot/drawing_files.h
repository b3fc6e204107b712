// The network drawing as files: SVG (for browsers, reports and printing) and
// DXF (for the CAD and mapping software surveyors use).
#pragma once

#include <string>

#include "plot/network_drawing.h"

namespace levelnet::plot {

// A standalone SVG 1.1 document, UTF-8. The groups are `routes` (a path per
// route, class plain/suspected/unchecked/weak, the route's details as its
// title), `points` (a filled triangle, class benchmark, per known point and
// a circle, class unknown, per unknown point), `labels`, `loops`, `legend`,
// `north-arrow` and, with real coordinates, `scale-bar`. North is up.
std::string svgDocument(const NetworkDrawing& d);

// A DXF file of AutoCAD release 12 (ASCII, code page ANSI_936: texts in
// GBK), in drawing units (metres with real coordinates). Layers POINTS (a
// SOLID triangle per known point, a CIRCLE per unknown point), ROUTES (a
// LINE per straight route, a POLYLINE along an arc; colour by the route's
// mark), LABELS (TEXT: point names, elevations and errors, route numbers)
// and, where a loop failed, LOOPS. Throws InputError naming the text that
// GBK cannot hold.
std::string dxfDocument(const NetworkDrawing& d);

// Layer names of the DXF file.
inline constexpr const char* kPointsLayer = "POINTS";
inline constexpr const char* kRoutesLayer = "ROUTES";
inline constexpr const char* kLabelsLayer = "LABELS";
inline constexpr const char* kLoopsLayer = "LOOPS";

}  // namespace levelnet::plot
