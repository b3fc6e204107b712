#include "cli/cli.h"

#include <ostream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/pdf_handover.h"
#include "network/file_identity.h"
#include "network/gbk.h"
#include "network/safe_file.h"
#include "network/terminal.h"
#include "session/network_plot.h"

namespace levelnet {

using namespace cli;

int runCommandLine(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err) {
  const Streams streams{in, out, err};
  Arguments a;
  try {
    a = parseArguments(argc, argv);
  } catch (const UsageError& e) {
    return reportFailure(err, {}, e);
  }
  // On a terminal the report comes in the terminal's own encoding.
  if (!a.encodingGiven && a.output.empty() && standardOutputIsGbkTerminal()) a.encoding = "gbk";
  if (a.help || a.version) {
    if (a.version)
      out << "levelnet " << LEVELNET_VERSION << "\n";
    else
      out << (a.encoding == "gbk" ? messageToGbk(kUsageText) : std::string(kUsageText));
    out.flush();
    if (!out) {
      err << "levelnet: 无法写入标准输出\n";
      return kRefused;
    }
    return kDone;
  }
  try {
    // An output that is one of the inputs is refused before anything is
    // read or written: `import book.csv -o book.csv` would replace the book.
    std::vector<std::string> inputs = a.files;
    std::vector<std::string> outputs = {a.output, a.pdf};
    if (a.command == Command::normalize && inputs.size() == 2) {
      outputs.push_back(inputs[1]);
      inputs.pop_back();
    }
    inputs.insert(inputs.end(), a.records.begin(), a.records.end());
    for (const std::string& file : session::correctionFiles(a.corrections)) inputs.push_back(file);
    if (!a.coordinates.empty()) inputs.push_back(a.coordinates);
    for (const std::string& output : outputs) refuseOutputOverInput(output, inputs);
    switch (a.command) {
      case Command::adjust:
        return runAdjust(a, streams);
      case Command::check:
        return runCheck(a, streams);
      case Command::results:
        return runResults(a, streams);
      case Command::report:
#ifdef LEVELNET_WITH_PDF
        return runReport(a, streams);
#else
        return handOverToPdfProgram(argc, argv, out, err);
#endif
      case Command::import:
        return runImport(a, streams);
      case Command::normalize:
        return runNormalize(a, streams);
      case Command::monitor:
#ifndef LEVELNET_WITH_PDF
        if (!a.pdf.empty()) return handOverToPdfProgram(argc, argv, out, err);
#endif
        return runMonitor(a, streams);
      case Command::plot:
#ifndef LEVELNET_WITH_PDF
        // PNG and PDF are painted with Qt: levelnet-pdf makes them.
        if (const std::optional<session::PlotFormat> format = session::plotFormatOf(a.output);
            format == session::PlotFormat::png || format == session::PlotFormat::pdf)
          return handOverToPdfProgram(argc, argv, out, err);
#endif
        return runPlot(a, streams);
      case Command::design:
        return runDesign(a, streams);
      case Command::none:
        break;
    }
    return kUsage;
  } catch (const std::exception& e) {
    // A failure of one file of adjust or check was told where it happened;
    // what arrives here ends the call: about its one input file, or about
    // the output.
    // import names the field book at fault in its own messages.
    const bool oneInput = !a.files.empty() && a.command != Command::import;
    return reportFailure(err, oneInput ? a.files[0] : std::string(), e);
  }
}

}  // namespace levelnet
