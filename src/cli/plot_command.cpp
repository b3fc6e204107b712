// levelnet plot: the 网图 of one file as SVG or DXF, and (in levelnet-pdf,
// to which levelnet hands such calls over) as PNG or PDF painted with Qt.
#include <optional>

#include "cli/commands.h"
#include "network/errors.h"
#include "network/safe_file.h"
#include "session/network_plot.h"
#ifdef LEVELNET_WITH_PDF
#include "print/network_picture.h"
#endif

namespace levelnet::cli {

namespace {

session::PlotFormat formatOf(const Arguments& a) {
  if (a.output.empty()) throw UsageError("plot 需要用 -o 指定输出文件（.svg、.png、.pdf 或 .dxf）");
  if (a.output == "-") throw UsageError("plot 的网图须写到文件：-o 后给出 .svg、.png、.pdf 或 .dxf 文件名");
  const std::optional<session::PlotFormat> format = session::plotFormatOf(a.output);
  if (!format) throw UsageError("网图文件“" + a.output + "”的扩展名应为 .svg、.png、.pdf 或 .dxf");
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
  std::string bytes;
  if (format == session::PlotFormat::png || format == session::PlotFormat::pdf) {
#ifdef LEVELNET_WITH_PDF
    bytes = format == session::PlotFormat::png ? print::networkPngWithoutDisplay(outcome.drawing)
                                               : print::networkPdfWithoutDisplay(outcome.drawing);
#else
    throw InputError("这个版本没有编译 PNG 和 PDF 的网图（需要 Qt 6 Gui）");
#endif
  } else {
    bytes = session::plotFileBytes(outcome.drawing, format);
  }
  saveFileSafely(a.output, bytes);
  return kDone;
}

}  // namespace levelnet::cli
