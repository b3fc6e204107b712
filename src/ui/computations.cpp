#include "ui/computations.h"

#include <QPlainTextEdit>
#include <QTabWidget>
#include <memory>
#include <optional>

#include "session/data_check.h"
#include "session/network_design.h"
#include "session/network_files.h"
#include "session/session.h"
#include "ui/check_pane.h"
#include "ui/design_pane.h"
#include "ui/dialogs.h"
#include "ui/error_text.h"
#include "ui/report_preview.h"
#include "ui/result_tabs.h"
#include "ui/results_view.h"

namespace levelnet::ui {

Computations::Computations(session::Session& session, ResultTabs& tabs, MessageBoxes& boxes, QWidget* window,
                           WindowHooks hooks, std::function<QString()> documentName)
    : QObject(window),
      session_(session),
      tabs_(tabs),
      boxes_(boxes),
      window_(window),
      hooks_(std::move(hooks)),
      documentName_(std::move(documentName)) {}

void Computations::warn(const QString& text) { boxes_.warn(window_, QStringLiteral("Vantrel水准网平差"), text); }

void Computations::adjust() {
  if (!hooks_.ready()) return;
  tabs_.reportView()->setPlainText(QString());
  if (!session::hasKnownPointCount(session_.network())) return;
  // The work reads a copy of the network: the window stays as it is.
  const NetworkText network = session_.network();
  const std::uint64_t revision = session_.revision();
  session::AdjustmentRun run;
  std::unique_ptr<ReportPreviewSink> report;
  if (!hooks_.runBusy(QStringLiteral("正在平差……"), QStringLiteral("平差"), [&](const CancelFlag& cancel) {
        report = std::make_unique<ReportPreviewSink>(&cancel);
        run = session::adjust(network, *report);
        stopIfCancelled(cancel);
      }))
    return;  // cancelled: nothing shown, nothing changed; a failure was told
  // A point typed twice is not refused (observations refer to its first
  // row), but the user hears of it before reading the report.
  if (!run.duplicateNames.empty()) warn(duplicateNamesText(run.duplicateNames));
  const bool adjusted = run.results != nullptr;
  session_.adoptAdjustment(std::move(run), revision);  // the empty elevations now read 0
  if (!adjusted) return;
  tabs_.showReport(report->viewText());
  tabs_.resultsPanel()->setTable(session_.resultsTable());
}

void Computations::check() {
  if (!hooks_.ready()) return;
  if (!session::hasKnownPointCount(session_.network())) {
    warn(QStringLiteral("还没有网：请先输入或打开一个水准网。"));
    return;
  }
  CheckOptions options;
  try {
    options = tabs_.checkPane()->options();
  } catch (const std::exception&) {
    warn(failureText(std::current_exception(), QStringLiteral("检核")));
    return;
  }
  const NetworkText network = session_.network();
  const std::uint64_t revision = session_.revision();
  const std::vector<session::FieldBook> books = session_.fieldBooks();
  const session::CorrectionSettings corrections = session_.importCorrections();
  const std::string name = documentName_().toStdString();
  std::optional<session::CheckRun> run;
  if (!hooks_.runBusy(QStringLiteral("正在检核……"), QStringLiteral("检核"), [&](const CancelFlag&) {
        run = session::checkNetwork(network, options, name, kReportLimits, &books,
                                    session::correctionInputs(corrections));
      }))
    return;
  tabs_.checkPane()->showReport(run->report);
  session_.adoptCheck(std::move(*run), revision);
  // The 成果表 of the same data gets the check's r and w (τ).
  if (session_.adjustmentCurrent()) tabs_.resultsPanel()->setTable(session_.resultsTable());
  tabs_.tabs()->setCurrentWidget(tabs_.checkPane());
}

void Computations::design() {
  if (!hooks_.ready()) return;
  if (!session::hasKnownPointCount(session_.network())) {
    warn(QStringLiteral("还没有网：请先输入或打开一个水准网。"));
    return;
  }
  DesignPane& pane = *tabs_.designPane();
  pane.listRoutes(session_.network());  // the ticks of the rows as the table holds them now
  DesignOptions options;
  try {
    options = pane.options();
  } catch (const std::exception&) {
    warn(failureText(std::current_exception(), QStringLiteral("设计")));
    return;
  }
  session::RouteChanges changes;
  changes.removed = pane.removedRows();
  const NetworkText network = session_.network();
  const std::uint64_t revision = session_.revision();
  const std::string name = documentName_().toStdString();
  std::optional<session::DesignRun> run;
  if (!hooks_.runBusy(QStringLiteral("正在设计……"), QStringLiteral("设计"), [&](const CancelFlag&) {
        run = session::designNetwork(network, options, changes, name, kReportLimits);
      }))
    return;
  pane.showReport(run->report);
  session_.adoptDesign(std::move(*run), revision);
  tabs_.tabs()->setCurrentWidget(&pane);
}

}  // namespace levelnet::ui
