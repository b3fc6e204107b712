// The window's words for a failure: the engine's message, and how to give
// in the window what a refusal says is missing.
#pragma once

#include <QString>
#include <exception>
#include <vector>

#include "network/leveling_network.h"

namespace levelnet::ui {

// The message for work that ended in the exception `error`; `task` names
// the work ("平差", "导出成果表") where the exception carries no message of
// its own (out of memory, an internal fault).
QString failureText(const std::exception_ptr& error, const QString& task);

// The warning of duplicate point names (the first row counts): at most 20
// listed, the number of the rest.
QString duplicateNamesText(const std::vector<DuplicateName>& duplicates);

}  // namespace levelnet::ui
