// levelnet plot: the 网图 of one file as SVG or DXF.
#include "cli/commands.h"
#include "network/safe_file.h"
#include "session/network_plot.h"

namespace levelnet::cli {

namespace {

session::PlotFormat formatOf(const Arguments& a) {
  if (a.output.empty()) throw UsageError("plot 需要用 -o 指定输出文件（.svg 或 .dxf）");
  const std::optional<session::PlotFormat> format = session::plotFormatOf(a.output);
  if (!format) throw UsageError("网图文件“" + a.output + "”的扩展名应为 .svg 或 .dxf");
  if (*format == session::PlotFormat::png || *format == session::PlotFormat::pdf)
    throw UsageError("网图暂时只能写成 SVG 或 DXF（PNG、PDF 尚未提供）");
  return *format;
}

}  // namespace

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
  saveFileSafely(a.output, session::plotFileBytes(outcome.drawing, format));
  return kDone;
}

}  // namespace levelnet::cli
