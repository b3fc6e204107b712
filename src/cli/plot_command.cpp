// levelnet plot: the 网图 of one file as SVG or DXF (PNG and PDF through
// levelnet-pdf, which has Qt's painter).
#include "cli/commands.h"
#include "network/safe_file.h"
#include "session/network_plot.h"

#ifdef LEVELNET_WITH_PDF
#include "print/plot_painting.h"
#endif

namespace levelnet::cli {

namespace {

session::PlotFormat formatOf(const Arguments& a) {
  if (a.output.empty()) throw UsageError("plot 需要用 -o 指定输出文件（.svg、.dxf、.png 或 .pdf）");
  const std::optional<session::PlotFormat> format = session::plotFormatOf(a.output);
  if (!format) throw UsageError("网图文件“" + a.output + "”的扩展名应为 .svg、.dxf、.png 或 .pdf");
  return *format;
}

}  // namespace

bool plotNeedsQt(const Arguments& a) {
  const std::optional<session::PlotFormat> format = session::plotFormatOf(a.output);
  return format == session::PlotFormat::png || format == session::PlotFormat::pdf;
}

int runPlot(const Arguments& a, const Streams& s) {
  const session::PlotFormat format = formatOf(a);
  if (a.checkOptionGiven && !a.withCheck)
    throw UsageError("--grade、--terrain 和 --sigma-km 用于检核：plot 须同时给出 --with-check");
  session::PlotSettings settings;
  settings.coordinatesFile = a.coordinates;
  settings.withCheck = a.withCheck;
  if (a.withCheck) settings.check = checkOptionsOf(a);
  const std::string& path = a.files[0];
  settings.title = "水准网网图：" + displayName(path);
  const NetworkText net = openFileToAdjust(path, a, s, kLargeNetworkLimits);
  const session::PlotOutcome outcome = session::plotNetwork(net, settings);
  warnOfDuplicates(path, outcome.duplicateNames, s.err);
  if (!outcome.encodingNote.empty()) s.err << "levelnet: " << a.coordinates << ": " << outcome.encodingNote << "\n";
  if (!outcome.extraCoordinates.empty()) {
    s.err << "levelnet: " << a.coordinates << ": " << outcome.extraCoordinates.size() << " 个点不是网中的点：";
    for (std::size_t i = 0; i < outcome.extraCoordinates.size() && i < 20; ++i)
      s.err << (i == 0 ? "" : "、") << outcome.extraCoordinates[i];
    s.err << (outcome.extraCoordinates.size() > 20 ? "等\n" : "\n");
  }
#ifdef LEVELNET_WITH_PDF
  if (format == session::PlotFormat::png || format == session::PlotFormat::pdf) {
    saveFileSafely(a.output, format == session::PlotFormat::png ? print::plotPng(outcome.drawing)
                                                                : print::plotPdf(outcome.drawing));
    return kDone;
  }
#endif
  saveFileSafely(a.output, session::plotFileBytes(outcome.drawing, format));
  return kDone;
}

}  // namespace levelnet::cli
