// The leveling grades as the shells offer them, and which grade the field
// records of a check are judged at.
#pragma once

#include <string>
#include <vector>

namespace levelnet::session {

// The grades the data check takes ("" is none), in the order a list shows them.
const std::vector<std::string>& checkGrades();

// The grade the field records are reduced and judged at for a data check's
// (or an import's) grade: a grade the field checks know is itself; 等外 is
// the engineering fifth order (工程五等); no grade is 四等. Throws
// InputError naming the grades there are for any other.
std::string fieldGradeFor(const std::string& grade);

}  // namespace levelnet::session
