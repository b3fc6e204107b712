// The commands of the command line, one file each. Each checks what it
// needs of the arguments beyond the option table (throwing UsageError),
// calls the session library and returns its exit status; failures are
// thrown and told by the caller (output.h's reportFailure).
#pragma once

#include "check/network_check.h"
#include "cli/arguments.h"
#include "cli/output.h"
#include "session/results_files.h"

namespace levelnet::cli {

int runAdjust(const Arguments& a, const Streams& s);
int runCheck(const Arguments& a, const Streams& s);
int runResults(const Arguments& a, const Streams& s);
// Needs the PDF writer (Qt Gui): levelnet-pdf has it; levelnet hands the
// call over to levelnet-pdf (pdf_handover.cpp).
int runReport(const Arguments& a, const Streams& s);
int runImport(const Arguments& a, const Streams& s);
int runNormalize(const Arguments& a, const Streams& s);
// Tables with --format/-o; the curves with --pdf need the PDF writer, as
// report does.
int runMonitor(const Arguments& a, const Streams& s);
// The 网图 as SVG or DXF (the format from the suffix of -o).
int runPlot(const Arguments& a, const Streams& s);
int runDesign(const Arguments& a, const Streams& s);

// The check's settings from --grade, --terrain and --sigma-km; a value that
// cannot be used is a usage error.
CheckOptions checkOptionsOf(const Arguments& a);
// The format of --format for the tables of results and monitor: CSV is UTF-8
// with its byte-order mark unless GBK is asked for; text follows the
// report's rule (GBK also on a GBK terminal); JSON and XLSX are always UTF-8.
session::ResultsFormat tablesFormatOf(const Arguments& a);

}  // namespace levelnet::cli
