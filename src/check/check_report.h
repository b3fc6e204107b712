// The check's outputs: the report of a check (sections 一 to 三 and the
// conclusion) and its figures in the 成果表.
#pragma once

#include <string>

#include "check/network_check.h"

namespace levelnet {

struct ResultsTable;

// The report of `f` for the network `net` read from `fileName`.
std::string writeCheckReport(const LevelingNetwork& net, const CheckFindings& f, const CheckOptions& options,
                             const std::string& fileName);

// Adds the check's r and w (or τ) of every observation to the 成果表 of the
// same network, with the texts of the check report. Throws InputError when
// the table and the analysis are not of the same observations.
void addCheckFigures(ResultsTable& table, const ResidualAnalysis& residuals,
                     const std::vector<std::string>& attentionText);

}  // namespace levelnet
