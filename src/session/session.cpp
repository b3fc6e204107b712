#include "session/session.h"

#include <stdexcept>

namespace levelnet::session {

Session::Session() = default;

MemoryTable& Session::tableOf(InputTable table) {
  switch (table) {
    case InputTable::points:
      return network_.points;
    case InputTable::observations:
      return network_.observations;
    default:
      throw std::invalid_argument("Session: not a table");
  }
}

const TextTable& Session::table(InputTable table) const { return const_cast<Session*>(this)->tableOf(table); }

void Session::setField(int field, const std::string& text) {
  std::string* fields[] = {&network_.fields.known, &network_.fields.unknown, &network_.fields.observations,
                           &network_.fields.unitLength};
  if (field < 0 || field > 3) throw std::out_of_range("Session: no such field");
  if (*fields[field] == text) return;
  *fields[field] = text;
  edited();
}

void Session::setCell(InputTable table, int row, int column, const std::string& text) {
  MemoryTable& t = tableOf(table);
  if (t.text(row, column) == text) return;
  t.setText(row, column, text);
  edited();
}

void Session::setRows(InputTable table, int rows) {
  MemoryTable& t = tableOf(table);
  if (t.rows() == rows) return;
  t.setRows(rows);
  edited();
}

void Session::replaceNetwork(NetworkText network) {
  network_ = std::move(network);
  edited();
  adjustment_.reset();
  check_.reset();
  checkedTable_.reset();
  design_.reset();
  ++outcomes_;
  fieldBooks_.clear();
  importReport_.clear();
  if (networkReplaced) networkReplaced();
}

void Session::adoptAdjustment(AdjustmentRun run, std::uint64_t revision) {
  if (!run.results) return;  // nothing was adjusted
  ++outcomes_;
  const bool current = revision == revision_;
  if (current) {
    // The run took these empty elevations as 0; the table shows it. Writing
    // what the run used changes nothing it computed.
    for (int row : run.emptyElevationRows) {
      if (row >= network_.points.rows() || !network_.points.text(row, 2).empty()) continue;
      network_.points.setText(row, 2, "0");
      if (cellWritten) cellWritten(InputTable::points, row, 2);
    }
  }
  adjustment_ = std::move(run);
  adjustmentRevision_ = current ? revision_ : revision;
  checkedTable_.reset();
  // A check of the same data before the adjustment gives its figures too.
  if (check_ && checkRevision_ == adjustmentRevision_ && adjustment_->table)
    checkedTable_ = std::make_shared<const ResultsTable>(withCheckFigures(*adjustment_->table, *check_));
}

void Session::adoptCheck(CheckRun run, std::uint64_t revision) {
  ++outcomes_;
  check_ = std::move(run);
  checkRevision_ = revision;
  checkedTable_.reset();
  if (adjustment_ && adjustment_->table && adjustmentRevision_ == revision)
    checkedTable_ = std::make_shared<const ResultsTable>(withCheckFigures(*adjustment_->table, *check_));
}

void Session::adoptDesign(DesignRun run, std::uint64_t revision) {
  ++outcomes_;
  design_ = std::move(run);
  designRevision_ = revision;
}

Session::DrawingJob Session::drawingJob() const {
  DrawingJob job;
  if (designCurrent()) {
    job.design = design_;
    return job;
  }
  job.network = network_;
  if (adjustmentCurrent()) job.adjusted = adjustment_->results;
  if (checkCurrent()) job.check = check_;
  return job;
}

plot::NetworkDrawing Session::DrawingJob::draw() const {
  DrawingSources sources;
  if (design) {
    sources.design = &design->findings;
    return drawGathered(design->net, sources, "");
  }
  sources.adjusted = adjusted.get();
  if (check) sources.check = &*check;
  return drawNetworkText(network, sources, "");
}

plot::NetworkDrawing Session::networkDrawing() const { return drawingJob().draw(); }

int Session::observationRowOf(int route) const {
  if (!designCurrent()) return route;
  const std::vector<int>& rows = design_->observationRows;
  return route >= 1 && route < static_cast<int>(rows.size()) ? rows[route] : 0;
}

int Session::routeOfObservationRow(int row) const {
  if (!designCurrent()) return row;
  const std::vector<int>& rows = design_->observationRows;
  for (std::size_t k = 1; k < rows.size(); ++k)
    if (rows[k] == row) return static_cast<int>(k);
  return 0;
}

std::shared_ptr<const ResultsTable> Session::resultsTable() const {
  if (!adjustment_) return nullptr;
  return checkedTable_ ? checkedTable_ : adjustment_->table;
}

void Session::setFieldBooks(std::vector<FieldBook> books, std::string importReport, CorrectionSettings corrections) {
  fieldBooks_ = std::move(books);
  importReport_ = std::move(importReport);
  importCorrections_ = std::move(corrections);
}

std::string Session::whyNoCurrentResults() const {
  if (adjustmentCurrent()) return {};
  return adjustment_ ? "数据在平差后已修改：请先按“平差”重新计算，再保存或输出成果。"
                     : "还没有平差结果：请先按“平差”计算。";
}

ReportDocument Session::reportDocument(const std::string& fileName, const std::string& date) const {
  if (!adjustmentCurrent()) throw InputError(whyNoCurrentResults());
  const bool checked = checkCurrent();
  ReportDocument document =
      makeReportDocument(fileName, date, *adjustment_->results, *resultsTable(),
                         checked ? check_->options.grade : std::string(), checked ? check_->report : std::string());
  addNetworkDrawing(document, *adjustment_->results, checked ? &*check_ : nullptr);
  return document;
}

std::vector<std::string> Session::fieldBookFiles() const {
  std::vector<std::string> files;
  for (const FieldBook& book : fieldBooks_) files.push_back(book.name);
  for (const std::string& file : correctionFiles(importCorrections_)) files.push_back(file);
  return files;
}

std::vector<std::string> Session::inputFiles() const {
  std::vector<std::string> files = fieldBookFiles();
  if (!filePath_.empty()) files.insert(files.begin(), filePath_);
  return files;
}

}  // namespace levelnet::session
