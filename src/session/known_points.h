// The known points a surveyor types for an import: "BM1=50.000, BM2=51.668".
// One syntax for the command line's --known and the window's question.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace levelnet::session {

// Name and elevation as typed, in order.
using KnownPoints = std::vector<std::pair<std::string, std::string>>;

// Reads "NAME=ELEVATION" pieces separated by commas (, or ，), semicolons
// (; or ；) or blanks (spaces, tabs, the ideographic space); empty pieces
// are skipped, so "" gives none. A piece without a name before "=" or an
// elevation after it is refused with InputError quoting the piece (remedy:
// knownPoints). The elevations stay text: the import checks them.
KnownPoints parseKnownPoints(std::string_view text);

}  // namespace levelnet::session
