#include "ui/deliverables.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QWidget>
#include <algorithm>

#include "network/errors.h"
#include "network/file_identity.h"
#include "network/gbk.h"
#include "network/safe_file.h"
#include "print/report_document.h"
#include "session/adjustment.h"
#include "session/report_document.h"
#include "session/results_files.h"
#include "session/session.h"
#include "ui/dialogs.h"
#include "ui/error_text.h"
#include "ui/file_names.h"

namespace levelnet::ui {

namespace {

const QString kTitle = QStringLiteral("Vantrel水准网平差");
const QString kUntitled = QStringLiteral("未命名");

// Adds the suffix when the name typed has none.
QString ensureSuffix(const QString& path, const QString& suffix) {
  return QFileInfo(path).suffix().isEmpty() ? (path.endsWith(u'.') ? path.chopped(1) : path) + suffix : path;
}

}  // namespace

Deliverables::Deliverables(session::Session& session, FileDialogs& dialogs, MessageBoxes& boxes, QWidget* window,
                           WindowHooks hooks)
    : QObject(window), session_(session), dialogs_(dialogs), boxes_(boxes), window_(window), hooks_(std::move(hooks)) {}

void Deliverables::warn(const QString& text) { boxes_.warn(window_, kTitle, text); }

QString Deliverables::documentName() const {
  const QString file = QString::fromStdString(session_.filePath());
  return file.isEmpty() ? kUntitled : QFileInfo(file).fileName();
}

// The start of a dialog's name: the network's file with another suffix.
QString Deliverables::startName(const QString& suffix) const {
  const QString file = QString::fromStdString(session_.filePath());
  if (file.isEmpty()) return QStringLiteral("成果") + suffix;
  const QFileInfo info(file);
  return info.dir().filePath(info.completeBaseName() + suffix);
}

bool Deliverables::requireCurrentResults() {
  if (!hooks_.ready()) return false;
  const std::string why = session_.whyNoCurrentResults();
  if (why.empty()) return true;
  warn(QString::fromStdString(why));
  return false;
}

bool Deliverables::saveReport() {
  if (!requireCurrentResults()) return false;
  const QStringList filters = {QStringLiteral("文本文件，GBK 编码 (*.txt)"),
                               QStringLiteral("文本文件，UTF-8 编码 (*.txt)")};
  const std::optional<ChosenFile> chosen =
      dialogs_.saveFileAs(window_, QStringLiteral("保存报告"), filters, startName(QStringLiteral(".txt")));
  if (!chosen) return false;
  const std::string path = localPath(ensureSuffix(chosen->path, QStringLiteral(".txt")));
  const bool gbk = chosen->filterIndex == 0;
  const auto results = session_.adjustment()->results;
  const std::vector<std::string> inputs = session_.inputFiles();
  return hooks_.runBusy(QStringLiteral("正在保存报告……"), QStringLiteral("保存报告"), [&](const CancelFlag& cancel) {
    refuseOutputOverInput(path, inputs);
    std::string bytes = session::reportText(*results);
    stopIfCancelled(cancel);
    if (gbk) {
      std::optional<std::string> encoded = reportToGbk(bytes);
      if (!encoded) throw InputError("报告中有 GBK 无法表示的字符", Remedy::utf8Encoding);
      bytes = std::move(*encoded);
    }
    saveFileSafely(path, bytes);
  });
}

namespace {

struct ResultsFilter {
  const char* filter;
  const char* name;  // in the question when a name's suffix says otherwise
  session::ResultsFormat format;
};
constexpr ResultsFilter kResultsFilters[] = {
    {"CSV，UTF-8 编码，Excel 可直接打开 (*.csv)", "CSV（UTF-8）", session::ResultsFormat::csv},
    {"CSV，GBK 编码 (*.csv)", "CSV（GBK）", session::ResultsFormat::csvGbk},
    {"Excel 工作簿 (*.xlsx)", "Excel 工作簿", session::ResultsFormat::xlsx},
    {"JSON (*.json)", "JSON", session::ResultsFormat::json},
    {"文本文件 (*.txt)", "文本文件", session::ResultsFormat::text}};

const ResultsFilter& filterOf(session::ResultsFormat format) {
  for (const ResultsFilter& f : kResultsFilters)
    if (f.format == format) return f;
  return kResultsFilters[0];
}

}  // namespace

// The format is the chosen filter's, unless the name typed says another by
// its suffix: with the filter left at the first (the dialog's start) the
// name decides, with another filter chosen the user is asked which.
std::optional<session::ResultsFormat> Deliverables::exportFormat(const QString& path, int filterIndex) {
  const session::ResultsFormat chosen =
      kResultsFilters[std::clamp(filterIndex, 0, static_cast<int>(std::size(kResultsFilters)) - 1)].format;
  const std::optional<session::ResultsFormat> named = session::formatNamedBy(path.toStdString());
  if (!named || session::sameKind(*named, chosen)) return chosen;
  if (filterIndex <= 0) return named;
  const QString nameFormat = QString::fromUtf8(filterOf(*named).name);
  const QString chosenFormat = QString::fromUtf8(filterOf(chosen).name);
  const std::optional<int> answer = boxes_.askChoice(
      window_, QStringLiteral("导出成果表"),
      QStringLiteral("文件名“%1”的后缀是%2，所选的类型却是%3：按哪一种导出？").arg(path, nameFormat, chosenFormat),
      {QStringLiteral("按%1").arg(nameFormat), QStringLiteral("按%1").arg(chosenFormat)});
  if (!answer) return std::nullopt;
  return *answer == 0 ? *named : chosen;
}

bool Deliverables::exportResults() {
  if (!requireCurrentResults()) return false;
  QStringList filters;
  for (const ResultsFilter& f : kResultsFilters) filters << QString::fromUtf8(f.filter);
  const std::optional<ChosenFile> chosen =
      dialogs_.saveFileAs(window_, QStringLiteral("导出成果表"), filters, startName(QStringLiteral(".csv")));
  if (!chosen) return false;
  const std::optional<session::ResultsFormat> format = exportFormat(chosen->path, chosen->filterIndex);
  if (!format) return false;
  const std::string path = localPath(ensureSuffix(chosen->path, QString::fromStdString(session::suffixOf(*format))));
  const auto table = session_.resultsTable();
  const std::vector<std::string> inputs = session_.inputFiles();
  return hooks_.runBusy(QStringLiteral("正在导出成果表……"), QStringLiteral("导出成果表"), [&](const CancelFlag&) {
    refuseOutputOverInput(path, inputs);
    saveFileSafely(path, session::resultsFileBytes(*table, *format));
  });
}

bool Deliverables::exportPdf() {
  if (!requireCurrentResults()) return false;
  const std::optional<ChosenFile> chosen = dialogs_.saveFileAs(
      window_, QStringLiteral("导出 PDF"), {QStringLiteral("PDF 文件 (*.pdf)")}, startName(QStringLiteral(".pdf")));
  if (!chosen) return false;
  const std::string path = localPath(ensureSuffix(chosen->path, QStringLiteral(".pdf")));
  const std::string name = documentName().toStdString();
  const std::string date = session::documentDateFromEnvironment();
  const session::Session& session = session_;
  const std::vector<std::string> inputs = session_.inputFiles();
  return hooks_.runBusy(QStringLiteral("正在生成 PDF……"), QStringLiteral("导出 PDF"), [&](const CancelFlag& cancel) {
    refuseOutputOverInput(path, inputs);
    const session::ReportDocument document = session.reportDocument(name, date);
    stopIfCancelled(cancel);
    saveFileSafely(path, print::reportDocumentPdf(document));
  });
}

bool Deliverables::print() {
  if (!requireCurrentResults()) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setDocName(documentName());
  if (!dialogs_.choosePrinter(window_, printer)) return false;
  // The printer is painted on this thread: Qt's print engines belong to it.
  bool printed = false;
  hooks_.setBusy(true);
  try {
    const session::ReportDocument document =
        session_.reportDocument(documentName().toStdString(), session::documentDateFromEnvironment());
    printed = print::paintReportDocument(printer, document) > 0;
  } catch (const std::exception&) {
    hooks_.setBusy(false);
    warn(failureText(std::current_exception(), QStringLiteral("打印")));
    return false;
  }
  hooks_.setBusy(false);
  if (!printed) warn(QStringLiteral("打印未能完成：打印机没有接受输出。"));
  return printed;
}

}  // namespace levelnet::ui
