// The check report's pieces shared by its sections: the report kept in
// pieces until every number of its large tables has been formatted, and the
// writers of those tables. Used by check_report.cpp (the short
// sections, the conclusion) and check_tables.cpp (the tables of every loop
// and every observation).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/network_check.h"
#include "check/report_text.h"

namespace levelnet::check_report {

using namespace report_text;

// The report in pieces: its lines kept as text, and its large parts (the
// tables of every loop and every observation, the observations to look at)
// kept as the way to write them, once every number they print has been
// formatted: a number that is not finite refuses the report before any of
// it is written.
class ReportPieces {
 public:
  void add(std::string_view line) {
    texts_.back().append(line);
    texts_.back().append("\r\n");
  }
  // A table of rows first..last (writeStreamedTable); `row` is kept.
  template <class Row>
  void table(std::vector<Column> columns, int first, int last, Row row) {
    std::vector<std::size_t> widths = measureStreamedTable(columns, first, last, row);
    later([columns = std::move(columns), widths = std::move(widths), first, last, row](ReportLines& lines) {
      writeStreamedTable(lines, columns, widths, first, last, row);
    });
  }
  // Lines written by `write` when their turn comes.
  void later(std::function<void(ReportLines&)> write) {
    parts_.push_back(std::move(write));
    texts_.emplace_back();
  }
  void writeTo(ReportLines& lines) const {
    for (std::size_t i = 0; i < texts_.size(); ++i) {
      lines.appendLines(texts_[i]);
      if (i < parts_.size()) parts_[i](lines);
    }
  }

 private:
  std::vector<std::string> texts_ = std::vector<std::string>(1);
  std::vector<std::function<void(ReportLines&)>> parts_;
};

inline void add(ReportPieces& out, std::string_view line) { out.add(line); }

// Section 一: the loops and routes, their tolerances and M_W.
void writeMisclosures(ReportPieces& out, const LevelingNetwork& net, const CheckFindings& f, const std::string& grade);
// Section 三: the blunder search, every observation's MDB and external
// reliability.
void writeResiduals(ReportPieces& out, const LevelingNetwork& net, const CheckFindings& f, const CheckOptions& options);

}  // namespace levelnet::check_report
