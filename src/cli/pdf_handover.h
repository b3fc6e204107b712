// levelnet itself needs no Qt (Qt's start-up would cost every call some
// 20 ms); `levelnet report` hands the whole call over to levelnet-pdf, the
// same command line built with the PDF writer, which lies beside levelnet
// in a build folder and in the libexec folder once installed.
#pragma once

#include <iosfwd>
#include <string>

namespace levelnet::cli {

// The path of levelnet-pdf, or empty when there is none.
std::string pdfProgram();

// Runs the call as levelnet-pdf; returns (exit status 1, with a message)
// only when it cannot.
int handOverToPdfProgram(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace levelnet::cli
