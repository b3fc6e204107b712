#include "session/grades.h"

#include <algorithm>

#include "fieldbook/tolerances.h"
#include "network/errors.h"

namespace levelnet::session {

const std::vector<std::string>& checkGrades() {
  static const std::vector<std::string> grades = {"一等",     "二等",     "三等",     "四等",    "等外",
                                                  "工程二等", "工程三等", "工程四等", "工程五等"};
  return grades;
}

std::string fieldGradeFor(const std::string& grade) {
  const std::vector<std::string>& known = fieldbook::fieldGrades();
  if (std::find(known.begin(), known.end(), grade) != known.end()) return grade;
  if (grade == "等外") return "工程五等";
  if (grade.empty()) return "四等";
  fieldbook::gradeTolerances(grade, fieldbook::Instrument::optical);  // names the grades there are
  throw InputError("未知的等级“" + grade + "”");
}

}  // namespace levelnet::session
