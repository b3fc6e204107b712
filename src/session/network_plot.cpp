#include "session/network_plot.h"

#include <algorithm>
#include <cctype>

#include "adjust/adjustment_results.h"
#include "adjust/pipeline.h"
#include "adjust/results_mode.h"
#include "check/misclosures.h"
#include "network/errors.h"
#include "plot/drawing_files.h"
#include "plot/layout.h"
#include "plot/plane_points.h"

namespace levelnet::session {

namespace {

// Above this many points `plot` adjusts by the sparse path.
constexpr int kPlotTextbookPoints = 2000;

}  // namespace

plot::DrawingFacts checkFacts(const LevelingNetwork& net, const CheckFindings& findings) {
  plot::DrawingFacts facts;
  facts.marks.assign(static_cast<std::size_t>(net.observationCount) + 1, plot::RouteMark::plain);
  const ResidualAnalysis& a = findings.residuals;
  for (int k = 1; k <= net.observationCount && k < static_cast<int>(a.rows.size()); ++k) {
    if (a.rows[k].suspected)
      facts.marks[k] = plot::RouteMark::suspected;
    else if (a.rows[k].unchecked || a.test == BlunderTest::none)
      facts.marks[k] = plot::RouteMark::unchecked;
    else if (k < static_cast<int>(findings.attention.size()) &&
             (findings.attention[k] & (kLowRedundancy | kBeyondPointAccuracy)) != 0)
      facts.marks[k] = plot::RouteMark::weak;
  }
  for (const int i : findings.failedMisclosures) {
    const Misclosure& m = findings.misclosures[static_cast<std::size_t>(i) - 1];
    if (!m.route) facts.failedLoops.push_back(m.points);
  }
  return facts;
}

plot::DrawingFacts checkFacts(const LevelingNetwork& net, const CheckRun& check) {
  plot::DrawingFacts facts;
  const int n = net.observationCount;
  facts.marks.assign(static_cast<std::size_t>(n) + 1, plot::RouteMark::plain);
  const ResidualAnalysis& a = check.residuals;
  for (int k = 1; k <= n && k < static_cast<int>(a.rows.size()); ++k) {
    if (a.rows[k].suspected)
      facts.marks[k] = plot::RouteMark::suspected;
    else if (a.rows[k].unchecked || a.test == BlunderTest::none)
      facts.marks[k] = plot::RouteMark::unchecked;
    else if (k < static_cast<int>(check.attention.size()) &&
             (check.attention[k] & (kLowRedundancy | kBeyondPointAccuracy)) != 0)
      facts.marks[k] = plot::RouteMark::weak;
  }
  for (const int k : check.removed)
    if (k >= 1 && k <= n) facts.marks[k] = plot::RouteMark::suspected;
  for (const std::vector<int>& loop : check.failedLoops)
    if (std::all_of(loop.begin(), loop.end(), [&](int p) { return p >= 1 && p <= net.pointCount; }))
      facts.failedLoops.push_back(loop);
  return facts;
}

plot::NetworkDrawing drawGathered(const LevelingNetwork& net, const DrawingSources& sources, const std::string& title) {
  const plot::PointPlacement where = plot::layoutByGraph(net);
  plot::DrawingFacts facts;
  if (sources.check != nullptr && static_cast<int>(sources.check->residuals.rows.size()) == net.observationCount + 1)
    facts = checkFacts(net, *sources.check);
  // Figures of another network (a stale outcome) are never drawn: they
  // would be read beyond their ends.
  const auto fits = [&](const std::vector<double>& v, int last) { return static_cast<int>(v.size()) > last; };
  if (sources.design != nullptr && fits(sources.design->pointErrors, net.parameterCount)) {
    facts.pointErrors = &sources.design->pointErrors;
    facts.expectedErrors = true;
    if (facts.marks.empty())
      facts.marks.assign(static_cast<std::size_t>(net.observationCount) + 1, plot::RouteMark::plain);
    for (const int k : sources.design->uncheckedRoutes)
      if (k >= 1 && k <= net.observationCount) facts.marks[k] = plot::RouteMark::unchecked;
  } else if (sources.adjusted != nullptr && fits(sources.adjusted->adjustedElevations, net.pointCount) &&
             fits(sources.adjusted->pointErrors, net.parameterCount)) {
    facts.adjustedElevations = &sources.adjusted->adjustedElevations;
    facts.pointErrors = &sources.adjusted->pointErrors;
  }
  return plot::drawNetwork(net, where, false, facts, title);
}

plot::NetworkDrawing drawNetworkText(const NetworkText& network, const DrawingSources& sources,
                                     const std::string& title, NetworkLimits limits) {
  const LevelingNetwork net =
      gatherNetwork(network.fields, network.points, network.observations, limits, GatherMode::plannedNetwork);
  return drawGathered(net, sources, title);
}

PlotOutcome plotNetwork(const NetworkText& network, const PlotSettings& settings, NetworkLimits limits) {
  const LevelingNetwork net =
      gatherNetwork(network.fields, network.points, network.observations, limits, GatherMode::plannedNetwork);
  const bool measured = net.plannedRows.empty() && net.observationCount > net.parameterCount;
  if (settings.withCheck && !measured)
    throw InputError(net.plannedRows.empty() ? "没有多余观测，无法检核"
                                             : "观测表第 " + std::to_string(net.plannedRows.front()) + " 行等 " +
                                                   std::to_string(net.plannedRows.size()) +
                                                   " 个观测值的观测高差没有填写：未观测的网无法检核");
  PlotOutcome outcome;
  outcome.duplicateNames = net.duplicateNames;

  plot::PointPlacement where;
  const bool real = !settings.coordinatesFile.empty();
  if (real) {
    const plot::PlanePointsFile file = plot::readPlanePoints(settings.coordinatesFile);
    if (file.encoding == FileEncoding::utf8) outcome.encodingNote = "坐标文件按 UTF-8 编码读入";
    where = plot::placeByCoordinates(net, file, &outcome.extraCoordinates);
  } else {
    where = plot::layoutByGraph(net);
  }

  plot::DrawingFacts facts;
  std::optional<AdjustmentResults> adjusted;
  if (measured) {
    // The figures of the labels: the 成果表's own computation while its full
    // inverse is cheap, beyond that the sparse one `adjust --results` uses
    // (the same elevations and M to their printed digits, without the
    // inverse's quadratic memory and cubic time).
    adjusted = net.pointCount <= kPlotTextbookPoints ? computeAdjustment(net) : computeResults(net);
    facts.adjustedElevations = &adjusted->adjustedElevations;
    facts.pointErrors = &adjusted->pointErrors;
    outcome.adjusted = true;
  }
  if (settings.withCheck) {
    // The check's own path, so the marks are those `levelnet check` reports.
    const AdjustmentResults checked = computeSparseAdjustment(net);
    const CheckFindings findings = assessNetwork(checked, findMisclosures(net), settings.check);
    plot::DrawingFacts marks = checkFacts(net, findings);
    facts.marks = std::move(marks.marks);
    facts.failedLoops = std::move(marks.failedLoops);
  }
  outcome.drawing = plot::drawNetwork(net, where, real, facts, settings.title);
  return outcome;
}

std::optional<PlotFormat> plotFormatOf(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string suffix = path.substr(dot + 1);
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  if (suffix == "svg") return PlotFormat::svg;
  if (suffix == "dxf") return PlotFormat::dxf;
  if (suffix == "png") return PlotFormat::png;
  if (suffix == "pdf") return PlotFormat::pdf;
  return std::nullopt;
}

std::string plotFileBytes(const plot::NetworkDrawing& drawing, PlotFormat format) {
  if (format == PlotFormat::dxf) return plot::dxfDocument(drawing);
  if (format == PlotFormat::svg) return plot::svgDocument(drawing);
  throw InputError("PNG 和 PDF 的网图由 Qt 绘制，这里只写 SVG 和 DXF");
}

}  // namespace levelnet::session
