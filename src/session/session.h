// What a user works on in the window: the network being edited, the last
// adjustment and its 成果表, the last check, and the field books the network
// was imported from. The use cases themselves are the free functions of
// this folder (network_files.h, adjustment.h, data_check.h, field_books.h,
// report_document.h, results_files.h), which the command line calls
// directly; a Session keeps their outcomes and knows which are still of the
// data shown.
//
// Every change of the network counts one revision; an outcome is adopted
// with the revision of the network it was computed from, and is current
// while the network has not changed since. Long work runs elsewhere on a
// copy of network() (a value), so the session itself is used from one
// thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "network/errors.h"
#include "network/text_table.h"
#include "session/adjustment.h"
#include "session/data_check.h"
#include "session/field_books.h"
#include "session/network_design.h"
#include "session/network_plot.h"
#include "session/report_document.h"

namespace levelnet::session {

class Session {
 public:
  Session();

  const NetworkText& network() const { return network_; }
  std::uint64_t revision() const { return revision_; }
  // Counts every outcome adopted or dropped (adjustment, check, design): with
  // the revision it tells whether what was drawn of them is still what is.
  std::uint64_t outcomeCount() const { return outcomes_; }

  // Edits, each one revision. `field` 0..3: 已知点, 待定点, 观测值, 单位权长度.
  // Row and column as TextTable counts them (row 0 the header row, column 0
  // the serial number); setRows keeps the remaining rows.
  void setField(int field, const std::string& text);
  void setCell(InputTable table, int row, int column, const std::string& text);
  void setRows(InputTable table, int rows);
  const TextTable& table(InputTable table) const;

  // A new network as a whole (新建, 打开, an import): every outcome is
  // dropped, the field books too.
  void replaceNetwork(NetworkText network);

  // The file the network came from or was last saved to; empty for none.
  const std::string& filePath() const { return filePath_; }
  void setFilePath(std::string path) { filePath_ = std::move(path); }

  // Adopts an adjustment of the network as it was at `revision`. When that
  // is the network now, the cells whose empty elevation counted as 0 are
  // given "0" (cellWritten tells of each), and the run is current.
  void adoptAdjustment(AdjustmentRun run, std::uint64_t revision);
  // The last adjustment with results, current or not; null for none.
  const AdjustmentRun* adjustment() const { return adjustment_ ? &*adjustment_ : nullptr; }
  bool adjustmentCurrent() const { return adjustment_ && adjustmentRevision_ == revision_; }

  // Adopts a check of the network as it was at `revision`.
  void adoptCheck(CheckRun run, std::uint64_t revision);
  const CheckRun* check() const { return check_ ? &*check_ : nullptr; }
  bool checkCurrent() const { return check_ && checkRevision_ == revision_; }

  // Adopts a design (精度预估) of the network as it was at `revision`, with
  // the routes it left out. Dropped with the network (replaceNetwork).
  void adoptDesign(DesignRun run, std::uint64_t revision);
  const DesignRun* design() const { return design_ ? &*design_ : nullptr; }
  bool designCurrent() const { return design_ && designRevision_ == revision_; }
  // Forgets the design: the 网图 shows the tables' network again.
  void dropDesign() {
    design_.reset();
    ++outcomes_;
  }

  // The 网图 of the window: with a current design, the network designed
  // (expected M, unchecked routes marked); else the network as the tables
  // hold it (observed values may be empty) with the adjusted elevations and
  // M of a current adjustment and the colours of a current check. Throws
  // InputError naming what cannot be gathered.
  plot::NetworkDrawing networkDrawing() const;
  // What networkDrawing() draws, as values, to be drawn on another thread
  // (a large network's layout takes seconds).
  struct DrawingJob {
    NetworkText network;
    std::shared_ptr<const AdjustmentResults> adjusted;  // current only
    std::optional<CheckRun> check;                      // current only
    std::optional<DesignRun> design;                    // current only
    plot::NetworkDrawing draw() const;
  };
  DrawingJob drawingJob() const;
  // The row of the observation table of a route of networkDrawing(); 0 for
  // a route the design added.
  int observationRowOf(int route) const;
  // The route of networkDrawing() of a row of the observation table; 0 for
  // a row the design left out.
  int routeOfObservationRow(int row) const;

  // The 成果表 of the last adjustment; with the check's r and w (τ) when a
  // check of the same data ran after it. Null without an adjustment.
  std::shared_ptr<const ResultsTable> resultsTable() const;

  // The network just put in place (replaceNetwork) came from these field
  // books: they and their import report are kept for the station checks of
  // every later check, until the network is replaced again.
  // `corrections`: those the import applied, for the checks to reduce the
  // books in the same way.
  void setFieldBooks(std::vector<FieldBook> books, std::string importReport, CorrectionSettings corrections = {});
  const std::vector<FieldBook>& fieldBooks() const { return fieldBooks_; }
  const CorrectionSettings& importCorrections() const { return importCorrections_; }
  // The files the work was read from (the network's file, the field books
  // and the files of their corrections):
  // no output may replace one of them; the network itself may replace only
  // its own file, never a field book.
  std::vector<std::string> inputFiles() const;
  std::vector<std::string> fieldBookFiles() const;
  const std::string& importReport() const { return importReport_; }

  // Why results cannot be handed out now, in a sentence for the user; empty
  // when an adjustment of the data shown is there.
  std::string whyNoCurrentResults() const;

  // The document 导出 PDF and 打印 make of the current adjustment (with the
  // check when it is current). Throws InputError (whyNoCurrentResults) when
  // there is none.
  ReportDocument reportDocument(const std::string& fileName, const std::string& date) const;

  // Told of every cell the session writes itself (the zeros of an adopted
  // adjustment), and of a network replaced as a whole; edits through
  // setField, setCell and setRows are the caller's own and not told.
  std::function<void(InputTable table, int row, int column)> cellWritten;
  std::function<void()> networkReplaced;

 private:
  MemoryTable& tableOf(InputTable table);
  void edited() { ++revision_; }

  NetworkText network_;
  std::uint64_t revision_ = 0;
  std::uint64_t outcomes_ = 0;
  std::string filePath_;
  std::optional<AdjustmentRun> adjustment_;
  std::uint64_t adjustmentRevision_ = 0;
  std::optional<CheckRun> check_;
  std::uint64_t checkRevision_ = 0;
  std::optional<DesignRun> design_;
  std::uint64_t designRevision_ = 0;
  std::shared_ptr<const ResultsTable> checkedTable_;  // the adjustment's table with the check's figures
  std::vector<FieldBook> fieldBooks_;
  std::string importReport_;
  CorrectionSettings importCorrections_;
};

}  // namespace levelnet::session
