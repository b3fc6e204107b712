// The check's outputs: the report of a check (sections 一 to 三 and the
// conclusion) and its figures in the 成果表.
#pragma once

#include <string>

#include "check/network_check.h"

namespace levelnet {

struct ResultsTable;

class TextSink;

// The report of `f` for the network `net` read from `fileName`, handed to
// `sink` a block of whole lines at a time as it is written (the command
// line's sinks write the blocks on a thread of their own); nothing holds the
// whole text. The tables of every loop and every observation are made in two
// passes, their columns' widths first, so their rows are never kept. Throws
// what a write throws, and InputError for a number that is not finite (the
// report is then cut short where it was).
void writeCheckReport(const LevelingNetwork& net, const CheckFindings& f, const CheckOptions& options,
                      const std::string& fileName, TextSink& sink);
// The same report as one text.
std::string writeCheckReport(const LevelingNetwork& net, const CheckFindings& f, const CheckOptions& options,
                             const std::string& fileName);

// Adds the check's r and w (or τ) of every observation to the 成果表 of the
// same network, with the texts of the check report. Throws InputError when
// the table and the analysis are not of the same observations.
void addCheckFigures(ResultsTable& table, const ResidualAnalysis& residuals,
                     const std::vector<std::string>& attentionText);

}  // namespace levelnet
