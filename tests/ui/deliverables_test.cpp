// What the window hands out and how it fits real work: the 成果表 tab, the
// check tab, 保存报告, 导出成果表, PDF and printing, resizing, columns that
// fit their names, undo, recent files and remembered settings, and the work
// that runs off the UI thread.
#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cmath>

#include "adjust/results_export.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "ui/background_task.h"
#include "ui/report_preview.h"
#include "ui/results_view.h"
#include "ui/twips.h"
#include "window_fixture.h"

using namespace levelnet::ui;
using namespace levelnet::ui::testing;

namespace {

const QString kCityNetwork = QStringLiteral(LEVELNET_EXAMPLES_DIR "/city_network.pc");
const QString kCases = QStringLiteral(LEVELNET_CASES_DIR);

QStringList modelRow(const QAbstractItemModel& model, int row) {
  QStringList texts;
  for (int c = 0; c < model.columnCount(); ++c) texts << model.index(row, c).data().toString();
  return texts;
}

// The lines of a text, "\r\n" or "\n" ended.
QStringList lines(const QString& text) {
  QString t = text;
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return t.split(u'\n');
}

QString fromGbk(const QByteArray& bytes) {
  const levelnet::DecodedText decoded = levelnet::gbkToUtf8(bytes.toStdString());
  return decoded.badOffset ? QString() : QString::fromStdString(decoded.text);
}

// pdftotext's text of a PDF file, or a null string where poppler-utils is
// not installed.
QString pdfText(const QString& pdf) {
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (tool.isEmpty()) return {};
  QProcess p;
  p.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return QStringLiteral("pdftotext failed");
  return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

class DeliverablesTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }

  void openAndAdjust(WindowFixture& f, const QString& file = kCityNetwork) {
    QVERIFY(f.window->openFile(file));
    f.window->onAdjust();
    QVERIFY(!f.window->reportView()->toPlainText().isEmpty());
    QVERIFY(f.window->resultsCurrent());
  }

 private slots:
  // Every point and observation row of the 成果表 is the report's own line:
  // section 5 gives 序号, 点号, 最或然值 of each point.
  void resultsTabAgreesWithTheReport() {
    WindowFixture f;
    openAndAdjust(f);
    MainWindow& w = *f.window;
    QCOMPARE(w.resultTabs()->count(), 5);
    QCOMPARE(w.resultTabs()->tabText(0), QStringLiteral("报告"));
    QCOMPARE(w.resultTabs()->tabText(1), QStringLiteral("成果表"));
    QCOMPARE(w.resultTabs()->tabText(2), QStringLiteral("检核"));
    QCOMPARE(w.resultTabs()->tabText(3), QStringLiteral("网图"));
    QCOMPARE(w.resultTabs()->tabText(4), QStringLiteral("设计"));
    const QStringList report = lines(w.reportView()->toPlainText());
    const QAbstractItemModel& points = *w.resultsPanel()->pointView->model();
    QCOMPARE(points.rowCount(), 12);
    for (int r = 0; r < points.rowCount(); ++r) {
      const QStringList row = modelRow(points, r);
      const QStringList expected{row[0], row[1], row[3]};
      const bool found = std::any_of(report.begin(), report.end(), [&](const QString& line) {
        return line.split(u' ', Qt::SkipEmptyParts) == expected;
      });
      QVERIFY2(found, qPrintable(row.join(u',')));
      QCOMPARE(row[2], r < 3 ? QStringLiteral("已知点") : QStringLiteral("待定点"));
      // Known points have no standard error.
      QCOMPARE(row[4] == QStringLiteral("—"), r < 3);
    }
    const QAbstractItemModel& observations = *w.resultsPanel()->observationView->model();
    QCOMPARE(observations.rowCount(), 19);
    // Section 6: 序号, 观测值, 改正数, 平差值 of each observation.
    for (int r = 0; r < observations.rowCount(); ++r) {
      const QStringList row = modelRow(observations, r);
      const QStringList expected{row[0], row[3], row[5], row[6]};
      const bool found = std::any_of(report.begin(), report.end(), [&](const QString& line) {
        return line.split(u' ', Qt::SkipEmptyParts) == expected;
      });
      QVERIFY2(found, qPrintable(row.join(u',')));
    }
    QVERIFY(
        w.resultsPanel()->summaryLabel->text().replace(QChar(0x00A0), u' ').contains(QStringLiteral("f = n - t = 10")));
  }

  // The check tab gives the command line's check report (only the file line
  // names the file differently).
  void checkTabGivesTheCheckReport() {
    WindowFixture f;
    QVERIFY(f.window->openFile(kCityNetwork));
    MainWindow& w = *f.window;
    w.checkPane().gradeBox()->setCurrentIndex(w.checkPane().gradeBox()->findText(QStringLiteral("二等")));
    w.checkPane().checkButton()->click();
    QCOMPARE(f.boxes.warnings(), 0);
    QStringList expected = lines(QString::fromUtf8(fileBytes(kCases + QStringLiteral("/city_network.check"))));
    QStringList shown = lines(w.checkPane().view()->toPlainText());
    QVERIFY(expected.size() > 10);
    QCOMPARE(shown.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
      if (expected[i].startsWith(QStringLiteral("文件："))) {
        QCOMPARE(shown[i], QStringLiteral("文件：city_network.pc"));
        continue;
      }
      QCOMPARE(shown[i], expected[i]);
    }
    // Checked after an adjustment of the same data, the 成果表 gets r and τ
    // of every observation as the check report gives them (τ rounded to the
    // 成果表's two decimals).
    w.onAdjust();
    w.checkPane().checkButton()->click();
    const QAbstractItemModel& observations = *w.resultsPanel()->observationView->model();
    QCOMPARE(observations.columnCount(), 10);
    QCOMPARE(observations.headerData(9, Qt::Horizontal).toString(), QStringLiteral("须注意"));
    QCOMPARE(observations.headerData(8, Qt::Horizontal).toString(), QStringLiteral("统计量\nτ"));
    int rows = 0;
    for (const QString& line : expected) {
      const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
      if (fields.size() < 8 || fields[0].toInt() < 1 || !fields[1].contains(u'.')) continue;
      const int row = fields[0].toInt() - 1;
      QCOMPARE(observations.index(row, 7).data().toString(), fields[2]);
      // τ: the check prints three decimals, the 成果表 two.
      const QString shown = observations.index(row, 8).data().toString();
      QVERIFY2(shown.size() == fields[3].size() - 1 && std::fabs(shown.toDouble() - fields[3].toDouble()) <= 0.0051,
               qPrintable(shown + u' ' + fields[3]));
      ++rows;
    }
    QCOMPARE(rows, 19);
    // A σ that is no number is refused by name.
    w.checkPane().sigmaEdit()->setText(QStringLiteral("abc"));
    w.checkPane().checkButton()->click();
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY(f.boxes.lastText().contains(QStringLiteral("“abc”")));
  }

  // 迭代剔除粗差: the check removes the blunder, says so round by round and
  // fails; the 成果表 marks the removed observation and gives it no figures.
  void checkTabIteratesOnRequest() {
    WindowFixture f;
    QVERIFY(f.window->openFile(kCases + QStringLiteral("/city_blunder.pc")));
    MainWindow& w = *f.window;
    w.onAdjust();
    w.checkPane().sigmaEdit()->setText(QStringLiteral("1.5"));
    QVERIFY(!w.checkPane().iterateBox()->isChecked());
    w.checkPane().iterateBox()->click();
    w.checkPane().checkButton()->click();
    QCOMPARE(f.boxes.warnings(), 0);
    const QString report = w.checkPane().view()->toPlainText();
    QVERIFY2(report.contains(QStringLiteral("第 1 轮：剔除第 9 个观测值（水塔→BM北山），w = -8.051")),
             qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("第 2 轮：未发现可疑粗差，迭代结束")), qPrintable(report));
    const QAbstractItemModel& observations = *w.resultsPanel()->observationView->model();
    QCOMPARE(observations.columnCount(), 10);
    QCOMPARE(observations.index(8, 9).data().toString(), QStringLiteral("已剔除"));
    QCOMPARE(observations.index(8, 7).data().toString(), QStringLiteral("—"));
    QCOMPARE(observations.index(8, 8).data().toString(), QStringLiteral("—"));
    QCOMPARE(observations.index(0, 9).data().toString(), QString());
    QVERIFY(observations.index(0, 8).data().toString() != QStringLiteral("—"));
  }

  // 保存报告 writes the report byte for byte as the command line does, in
  // the encoding chosen, and adds .txt to a name without a suffix.
  void saveReportWritesTheReport_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("expected");
    QTest::newRow("gbk") << 0 << "report"
                         << "report.txt"
                         << "city_network.report.gbk";
    QTest::newRow("utf-8") << 1 << "report-utf8.txt"
                           << "report-utf8.txt"
                           << "city_network.report";
  }
  void saveReportWritesTheReport() {
    QFETCH(int, filter);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, expected);
    WindowFixture f;
    openAndAdjust(f);
    f.dialogs.answers.push_back(path(typed));
    f.dialogs.filterAnswers.push_back(filter);
    QVERIFY(f.window->onSaveReport());
    QCOMPARE(f.boxes.warnings(), 0);
    const QByteArray bytes = fileBytes(path(written));
    QVERIFY(bytes.contains("\r\n"));
    QCOMPARE(bytes, fileBytes(kCases + u'/' + expected));
  }

  // A typed suffix that names a format decides the format when the filter
  // was left at its start; one that contradicts a chosen filter is asked
  // about; a name without a suffix takes the filter's.
  void exportFormatFollowsTheName_data() {
    QTest::addColumn<int>("filter");  // -1: left as the dialog starts
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("choice");  // the answer to the question; -2: none asked, -1: cancelled
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("start");  // what the file starts with; empty: no file
    QTest::newRow("json by name") << -1 << "r.json" << -2 << "r.json" << QByteArray("{\"points\"");
    QTest::newRow("xlsx by name") << -1 << "r.xlsx" << -2 << "r.xlsx" << QByteArray("PK\x03\x04");
    QTest::newRow("text by name") << -1 << "r.txt" << -2 << "r.txt" << QByteArray("水准网平差成果表");
    QTest::newRow("csv by filter") << -1 << "r" << -2 << "r.csv" << QByteArray("\xEF\xBB\xBF点成果");
    QTest::newRow("gbk csv and .csv") << 1 << "g.csv" << -2 << "g.csv" << QByteArray("\xB5\xE3\xB3\xC9\xB9\xFB");
    QTest::newRow("json filter, no suffix") << 3 << "j" << -2 << "j.json" << QByteArray("{");
    QTest::newRow("gbk csv chosen, .json typed: the name") << 1 << "a.json" << 0 << "a.json" << QByteArray("{");
    QTest::newRow("gbk csv chosen, .json typed: the filter")
        << 1 << "b.json" << 1 << "b.json" << QByteArray("\xB5\xE3\xB3\xC9\xB9\xFB");
    QTest::newRow("gbk csv chosen, .json typed: cancelled") << 1 << "c.json" << -1 << "c.json" << QByteArray();
  }
  void exportFormatFollowsTheName() {
    QFETCH(int, filter);
    QFETCH(QString, typed);
    QFETCH(int, choice);
    QFETCH(QString, written);
    QFETCH(QByteArray, start);
    WindowFixture f;
    openAndAdjust(f);
    f.dialogs.answers.push_back(path(typed));
    if (filter >= 0) f.dialogs.filterAnswers.push_back(filter);
    if (choice > -2) f.boxes.choiceAnswers.push_back(choice);
    QCOMPARE(f.window->onExportResults(), !start.isEmpty());
    QCOMPARE(f.boxes.choices.size(), std::size_t(choice > -2 ? 1 : 0));
    if (choice > -2)
      QCOMPARE(f.boxes.choices[0], (QStringList{QStringLiteral("按JSON"), QStringLiteral("按CSV（GBK）")}));
    if (start.isEmpty()) {
      QVERIFY(!QFileInfo::exists(path(written)));
      return;
    }
    QVERIFY2(fileBytes(path(written)).startsWith(start), qPrintable(written));
  }

  // Each export format, read back and compared with the report's figures.
  void exportsEveryFormat_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("csv utf-8") << 0 << "out"
                               << "out.csv";
    QTest::newRow("csv gbk") << 1 << "out-gbk.csv"
                             << "out-gbk.csv";
    QTest::newRow("xlsx") << 2 << "out.xlsx"
                          << "out.xlsx";
    QTest::newRow("json") << 3 << "out.json"
                          << "out.json";
    QTest::newRow("text") << 4 << "out.txt"
                          << "out.txt";
  }
  void exportsEveryFormat() {
    QFETCH(int, filter);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    WindowFixture f;
    openAndAdjust(f);
    f.dialogs.answers.push_back(path(typed));
    f.dialogs.filterAnswers.push_back(filter);
    const bool exported = f.window->onExportResults();
    if (filter == 2 && !levelnet::xlsxAvailable()) {
      QVERIFY(!exported);
      QSKIP("this build writes no XLSX");
    }
    QVERIFY(exported);
    QCOMPARE(f.boxes.warnings(), 0);
    const QByteArray bytes = fileBytes(path(written));
    QVERIFY(!bytes.isEmpty());
    switch (filter) {
      case 0:
      case 1: {
        QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), filter == 0);
        const QString text = filter == 0 ? QString::fromUtf8(bytes.mid(3)) : fromGbk(bytes);
        QVERIFY(lines(text).contains(QStringLiteral("10,村委会,待定点,54.3985,1.2")));
        break;
      }
      case 2:
        QVERIFY(bytes.startsWith("PK\x03\x04"));  // a zip archive, as every XLSX is
        break;
      case 3: {
        const QJsonObject json = QJsonDocument::fromJson(bytes).object();
        const QJsonArray points = json.value(QStringLiteral("points")).toArray();
        QCOMPARE(points.size(), 12);
        QCOMPARE(points[9].toObject().value(QStringLiteral("name")).toString(), QStringLiteral("村委会"));
        QCOMPARE(points[9].toObject().value(QStringLiteral("elevationText")).toString(), QStringLiteral("54.3985"));
        break;
      }
      default:
        QVERIFY(QString::fromUtf8(bytes).contains(QStringLiteral("村委会")));
        QVERIFY(QString::fromUtf8(bytes).contains(QStringLiteral("54.3985")));
    }
  }

  // 导出 PDF and 打印 (to a PDF printer) give pages with the Chinese names
  // and the elevations.
  void pdfAndPrintHoldTheResults() {
    WindowFixture f;
    openAndAdjust(f);
    f.dialogs.answers.push_back(path(QStringLiteral("city")));
    QVERIFY(f.window->onExportPdf());
    f.dialogs.printerFile = path(QStringLiteral("printed.pdf"));
    QVERIFY(f.window->onPrint());
    QCOMPARE(f.dialogs.printDialogs, 1);
    QCOMPARE(f.boxes.warnings(), 0);
    for (const QString& pdf : {path(QStringLiteral("city.pdf")), path(QStringLiteral("printed.pdf"))}) {
      QVERIFY2(fileBytes(pdf).startsWith("%PDF"), qPrintable(pdf));
      const QString text = pdfText(pdf);
      if (text.isNull()) continue;  // no pdftotext here: the command-line test reads the text
      for (const QString& word : {QStringLiteral("村委会"), QStringLiteral("54.3985"), QStringLiteral("第 1 页")})
        QVERIFY2(text.contains(word), qPrintable(pdf + u' ' + word));
    }
    // A cancelled print dialog prints nothing and says nothing.
    f.dialogs.printerFile.clear();
    QVERIFY(!f.window->onPrint());
    QCOMPARE(f.boxes.warnings(), 0);
  }

  // The window's documents carry the date the command line's carry: the day
  // of SOURCE_DATE_EPOCH where it is set.
  void pdfDateIsTheCommandLinesDate() {
    qputenv("SOURCE_DATE_EPOCH", "951782400");
    WindowFixture f;
    openAndAdjust(f);
    f.dialogs.answers.push_back(path(QStringLiteral("dated.pdf")));
    QVERIFY(f.window->onExportPdf());
    qunsetenv("SOURCE_DATE_EPOCH");
    const QString text = pdfText(path(QStringLiteral("dated.pdf")));
    if (text.isNull()) QSKIP("pdftotext is not installed");
    QVERIFY2(text.contains(QStringLiteral("2000-02-29")), qPrintable(text.left(400)));
  }

  // The 成果表 tab's precision summary is, line for line, the text 成果表's
  // (and the PDF's): one writer of those lines.
  void precisionSummaryIsTheExportsWording() {
    WindowFixture f;
    openAndAdjust(f);
    // As shown, but for the no-break spaces and word joiners that keep its
    // figures and words whole.
    const QStringList shown =
        f.window->resultsPanel()->summaryLabel->text().remove(QChar(0x2060)).replace(QChar(0x00A0), u' ').split(u'\n');
    f.dialogs.answers.push_back(path(QStringLiteral("summary.txt")));
    f.dialogs.filterAnswers.push_back(4);
    QVERIFY(f.window->onExportResults());
    const QString text = QString::fromUtf8(fileBytes(path(QStringLiteral("summary.txt"))));
    const QString tail = text.mid(text.indexOf(QStringLiteral("三、精度评定\r\n")) + 8);
    QCOMPARE(shown, tail.trimmed().split(QStringLiteral("\r\n")));
    QVERIFY(shown[2].startsWith(QStringLiteral("最弱点高程中误差 M_max = ±")));
  }

  // The import takes the 检核 tab's grade as levelnet import takes --grade:
  // 等外 is the engineering fifth order; the same report, the same network.
  void importTakesTheCheckGradeAsTheCommandLine() {
    // As the window names it (on Windows with its drive), so that the
    // command line, given the same name, prints the same heading.
    const QString book =
        QFileInfo(QStringLiteral(LEVELNET_EXAMPLES_DIR "/fieldbook_four_order.csv")).absoluteFilePath();
    WindowFixture f;
    MainWindow& w = *f.window;
    w.checkPane().gradeBox()->setCurrentText(QStringLiteral("等外"));
    f.dialogs.answers.push_back(book);
    f.boxes.textAnswers.push_back(QStringLiteral("BM1=50.000；BM2=51.668"));
    QVERIFY(w.onImportFieldBook());
    QProcess cli;
    cli.start(QStringLiteral(LEVELNET_CLI),
              {QStringLiteral("import"), book, QStringLiteral("-o"), path("fifth.pc"), QStringLiteral("--grade"),
               QStringLiteral("工程五等"), QStringLiteral("--known"), QStringLiteral("BM1=50.000,BM2=51.668")});
    QVERIFY(cli.waitForFinished(30000));
    const QString report = QString::fromUtf8(cli.readAllStandardOutput()).replace(QStringLiteral("\r\n"), "\n");
    QVERIFY(report.contains(QStringLiteral("工程五等")));
    QCOMPARE(w.checkPane().view()->toPlainText(), report);
    f.dialogs.answers.push_back(path("window_fifth.pc"));
    QVERIFY(w.saveWithDialog());
    QCOMPARE(fileBytes(path("window_fifth.pc")), fileBytes(path("fifth.pc")));
  }

  // At 二等 the import also asks for the corrections of precise leveling:
  // the tables hold the corrected differences (as levelnet import --points
  // writes them), and 检核 reduces the books with the same corrections, so
  // it finds every observation again.
  void importAsksForTheCorrectionsAtSecondOrder() {
    const QString book = QStringLiteral(LEVELNET_CASES_DIR "/fieldbook/line_bffb.gsi");
    const QString points = QStringLiteral(LEVELNET_CASES_DIR "/fieldbook/line_bffb_points.csv");
    WindowFixture f;
    MainWindow& w = *f.window;
    w.checkPane().gradeBox()->setCurrentText(QStringLiteral("二等"));
    f.dialogs.answers.push_back(book);
    f.boxes.textAnswers.push_back(QStringLiteral("BM1=50, 1001=50.5"));
    f.boxes.textAnswers.push_back(QStringLiteral("尺长=0.05，点位文件=") + points);
    QVERIFY(w.onImportFieldBook());
    QProcess cli;
    cli.start(QStringLiteral(LEVELNET_CLI),
              {QStringLiteral("import"), book, QStringLiteral("-o"), path("corrected.pc"), QStringLiteral("--grade"),
               QStringLiteral("二等"), QStringLiteral("--known"), QStringLiteral("BM1=50, 1001=50.5"),
               QStringLiteral("--rod-metre-error"), QStringLiteral("0.05"), QStringLiteral("--points"), points});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 3);  // sections of one station each: 二等 wants an even number; the .pc is written
    QVERIFY(w.checkPane().view()->toPlainText().contains(QStringLiteral("测段改正")));
    f.dialogs.answers.push_back(path("window_corrected.pc"));
    QVERIFY(w.saveWithDialog());
    QCOMPARE(fileBytes(path("window_corrected.pc")), fileBytes(path("corrected.pc")));
    w.checkPane().checkButton()->click();
    QVERIFY(w.checkPane().view()->toPlainText().contains(QStringLiteral("2 个观测值中 2 个与平差文件的观测值相同")));
    // A wrong piece is told and nothing is imported.
    f.dialogs.answers.push_back(book);
    f.boxes.textAnswers.push_back(QStringLiteral("BM1=50"));
    f.boxes.textAnswers.push_back(QStringLiteral("尺长"));
    QVERIFY(!w.onImportFieldBook());
  }

  // 导入观测手簿 fills the tables with the reduced sections and the known
  // points asked for, as a new unsaved network that adjusts at once; the
  // station report goes to the 检核 tab. The command line's import of the
  // same book gives the same network.
  void importFieldBookFillsTheTables() {
    // As the window names it (on Windows with its drive), so that the
    // command line, given the same name, prints the same heading.
    const QString book =
        QFileInfo(QStringLiteral(LEVELNET_EXAMPLES_DIR "/fieldbook_four_order.csv")).absoluteFilePath();
    WindowFixture f;
    MainWindow& w = *f.window;
    f.dialogs.answers.push_back(book);
    f.boxes.textAnswers.push_back(QStringLiteral("BM1=50.000，BM2=51.668"));
    QVERIFY(w.onImportFieldBook());
    QCOMPARE(w.input().knownCountEdit()->text(), QStringLiteral("2"));
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("BM1"));
    QCOMPARE(w.input().pointTable()->cellText(1, 2), QStringLiteral("50.000"));
    QVERIFY(w.input().observationTable()->rowCount() > 2);
    QCOMPARE(w.windowTitle(), QStringLiteral("Vantrel水准网平差 - [未命名]*"));
    QVERIFY(w.checkPane().view()->toPlainText().contains(QStringLiteral("测站")));
    QCOMPARE(w.resultTabs()->currentWidget(), w.checkPane().view()->parentWidget());
    // The same network as levelnet import writes.
    QProcess cli;
    cli.start(QStringLiteral(LEVELNET_CLI),
              {QStringLiteral("import"), book, QStringLiteral("-o"), path("imported.pc"), QStringLiteral("--known"),
               QStringLiteral("BM1=50.000"), QStringLiteral("--known"), QStringLiteral("BM2=51.668")});
    QVERIFY(cli.waitForFinished(30000));
    QVERIFY(cli.exitCode() == 0 || cli.exitCode() == 3);
    f.dialogs.answers.push_back(path("window.pc"));
    QVERIFY(w.saveWithDialog());
    QCOMPARE(fileBytes(path("window.pc")), fileBytes(path("imported.pc")));
    w.onAdjust();
    QVERIFY(w.resultsCurrent());
    // 检核 shows the station report after its own.
    w.checkPane().checkButton()->click();
    QVERIFY(w.checkPane().view()->toPlainText().startsWith(QStringLiteral("水准网观测数据检核")));
    // The same heading and match count as check --records.
    QVERIFY(w.checkPane().view()->toPlainText().contains(QStringLiteral("观测手簿检核（") + book));
    QVERIFY(w.checkPane().view()->toPlainText().contains(QStringLiteral("个观测值中 2 个与平差文件的观测值相同")));
    // A known point written without "=" is refused by name; a cancelled
    // question imports nothing.
    f.dialogs.answers.push_back(book);
    f.boxes.textAnswers.push_back(QStringLiteral("BM1 50.000"));
    QVERIFY(!w.onImportFieldBook());
    QVERIFY(f.boxes.lastText().contains(QStringLiteral("“BM1”")));
    f.dialogs.answers.push_back(book);
    QVERIFY(!w.onImportFieldBook());
    QVERIFY(w.resultsCurrent());
  }

  // A file that cannot be written is an error with its reason, never
  // success; a field file that is no field book is refused and the tables
  // stay as they were.
  void failuresAreToldAndChangeNothing() {
    WindowFixture f;
    openAndAdjust(f);
    MainWindow& w = *f.window;
    const QString missing = path(QStringLiteral("no-such-folder/out"));
    for (auto command : {&MainWindow::onSaveReport, &MainWindow::onExportResults, &MainWindow::onExportPdf}) {
      const int before = f.boxes.warnings();
      f.dialogs.answers.push_back(missing);
      QVERIFY(!(w.*command)());
      QCOMPARE(f.boxes.warnings(), before + 1);
      QVERIFY2(f.boxes.lastText().contains(QStringLiteral("no-such-folder")), qPrintable(f.boxes.lastText()));
    }
    QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("no-such-folder"))));
    QVERIFY(writeBytes(path(QStringLiteral("not-a-book.csv")), QByteArray("序号,起点\r\n1,BM1\r\n")));
    const QString known = w.input().knownCountEdit()->text();
    f.dialogs.answers.push_back(path(QStringLiteral("not-a-book.csv")));
    f.boxes.textAnswers.push_back(QString(""));
    const int before = f.boxes.warnings();
    QVERIFY(!w.onImportFieldBook());
    QCOMPARE(f.boxes.warnings(), before + 1);
    QVERIFY2(f.boxes.lastText().contains(QStringLiteral("not-a-book.csv")), qPrintable(f.boxes.lastText()));
    QCOMPARE(w.input().knownCountEdit()->text(), known);
    QVERIFY(w.resultsCurrent());
  }

  // No output replaces the file the network was opened from, by the same
  // name or through a link: the window says so and the file keeps its bytes.
  void outputsNeverReplaceTheOpenNetwork() {
    const QString net = path(QStringLiteral("own.pc"));
    QVERIFY(QFile::copy(kCityNetwork, net));
    QStringList names = {net};
#ifndef Q_OS_WIN
    // (A link on Windows is a shortcut file of its own, which an output may replace.)
    QVERIFY(QFile::link(net, path(QStringLiteral("link.pc"))));
    names.append(path(QStringLiteral("link.pc")));
#endif
    const QByteArray before = fileBytes(net);
    WindowFixture f;
    openAndAdjust(f, net);
    MainWindow& w = *f.window;
    for (auto command : {&MainWindow::onSaveReport, &MainWindow::onExportResults, &MainWindow::onExportPdf})
      for (const QString& name : names) {
        const int warnings = f.boxes.warnings();
        f.dialogs.answers.push_back(name);
        f.boxes.choiceAnswers.push_back(0);  // should a suffix be asked about
        QVERIFY(!(w.*command)());
        QCOMPARE(f.boxes.warnings(), warnings + 1);
        QVERIFY2(f.boxes.lastText().contains(QStringLiteral("不能用输出覆盖输入")), qPrintable(f.boxes.lastText()));
        QCOMPARE(fileBytes(net), before);
        f.boxes.choiceAnswers.clear();
      }
    QVERIFY(w.resultsCurrent());
  }

  // Nothing is handed out for data changed after the adjustment, nor before
  // there is one; no dialog is shown and no file written.
  void outputsNeedCurrentResults() {
    WindowFixture f;
    MainWindow& w = *f.window;
    QVERIFY(!w.onExportResults());
    QCOMPARE(f.boxes.warnings(), 1);
    openAndAdjust(f);
    w.input().pointTable()->setFocus();
    w.input().pointTable()->setCurrentRow(4);
    w.input().pointTable()->setCurrentColumn(2);
    WindowFixture::type(QStringLiteral("9"));
    WindowFixture::enter();
    QVERIFY(!w.resultsCurrent());
    QVERIFY(w.resultsPanel()->summaryLabel->text().contains(QStringLiteral("请重新平差")));
    for (auto command :
         {&MainWindow::onExportResults, &MainWindow::onExportPdf, &MainWindow::onSaveReport, &MainWindow::onPrint}) {
      const int before = f.boxes.warnings();
      QVERIFY(!(w.*command)());
      QCOMPARE(f.boxes.warnings(), before + 1);
      QVERIFY(f.boxes.lastText().contains(QStringLiteral("重新计算")));
    }
    QVERIFY(f.dialogs.calls.empty());
    QCOMPARE(f.dialogs.printDialogs, 0);
    w.onAdjust();
    QVERIFY(w.resultsCurrent());
  }

  // The tables and the report grow with the window; typing still lands in
  // the cell the editor lies over.
  void resizingGrowsTablesAndReport() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    const QSize points = w.input().pointTable()->size(), observations = w.input().observationTable()->size(),
                report = w.reportView()->size();
    w.resize(w.width() + 300, w.height() + 240);
    QTRY_VERIFY(w.reportView()->width() > report.width() + 200);
    QVERIFY(w.reportView()->height() > report.height() + 200);
    QVERIFY(w.input().observationTable()->height() > observations.height() + 100);
    QVERIFY(w.input().pointTable()->height() > points.height() + 50);
    QCOMPARE(w.input().observationTable()->width(), observations.width());  // the splitter gives width to the report
    // Dragging the splitter widens the tables.
    const QList<int> sizes = w.mainSplitter()->sizes();
    w.mainSplitter()->setSizes({sizes[0] + 150, sizes[1] - 150});
    QTRY_VERIFY(w.input().observationTable()->width() >= observations.width() + 140);
    QVERIFY(w.input().pointTable()->width() >= points.width() + 140);
    // The buttons stay below the observation table.
    QVERIFY(w.input().newButton()->geometry().top() >= w.input().observationTable()->geometry().bottom());
    f.typeCounts(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"));
    w.input().observationTable()->setFocus();
    WindowFixture::type(QStringLiteral("BM1"));
    QCOMPARE(w.input().observationCellEditor()->geometry().topLeft(),
             w.input().observationTable()->geometry().topLeft() +
                 QPoint(pixelsX(w.input().observationTable()->currentCellLeft()),
                        pixelsY(w.input().observationTable()->currentCellTop())));
    WindowFixture::enter();
    QCOMPARE(w.input().observationTable()->cellText(1, 1), QStringLiteral("BM1"));
  }

  // Names of twelve Chinese characters show whole, after Open and after typing.
  void longNamesFitTheirColumns() {
    const QString longName = QStringLiteral("东城区人民政府村委会水准点");  // 13 characters
    const QByteArray file = QByteArray("1,1,1,1\r\n") + QByteArray("BM1,10.000\r\n") + longName.left(12).toUtf8() +
                            ",\r\n" + QByteArray("BM1,") + longName.left(12).toUtf8() + ",1.234,1.2\r\n";
    const std::optional<std::string> gbk = levelnet::utf8ToGbk(file.toStdString());
    QVERIFY(gbk.has_value());
    QVERIFY(writeBytes(path(QStringLiteral("long.pc")), QByteArray::fromStdString(*gbk)));
    WindowFixture f;
    MainWindow& w = *f.window;
    QVERIFY(w.openFile(path(QStringLiteral("long.pc"))));
    const QFontMetrics metrics(w.input().observationTable()->font());
    const int needed = metrics.horizontalAdvance(longName.left(12));
    QVERIFY(pixelsX(w.input().observationTable()->columnWidth(2)) >= needed);
    QVERIFY(pixelsX(w.input().pointTable()->columnWidth(1)) >= needed);
    // The input pane widened with its columns: the observation table shows all of them.
    QTRY_VERIFY(w.isVisible());
    int columns = 0;
    for (int c = 0; c < w.input().observationTable()->columnCount(); ++c)
      columns += pixelsX(w.input().observationTable()->columnWidth(c));
    QTRY_VERIFY2(w.input().observationTable()->width() >= columns,
                 qPrintable(QStringLiteral("%1 < %2").arg(w.input().observationTable()->width()).arg(columns)));
    // Typing a longer name widens its column at once.
    const int before = w.input().observationTable()->columnWidth(1);
    w.input().observationTable()->setFocus();
    w.input().observationTable()->setCurrentRow(1);
    w.input().observationTable()->setCurrentColumn(1);
    WindowFixture::type(longName);
    WindowFixture::enter();
    QCOMPARE(w.input().observationTable()->cellText(1, 1), longName);
    QVERIFY(w.input().observationTable()->columnWidth(1) > before);
    QVERIFY(pixelsX(w.input().observationTable()->columnWidth(1)) >= metrics.horizontalAdvance(longName));
    // New gives the columns back their designed widths.
    w.onNew();
    QCOMPARE(w.input().observationTable()->columnWidth(1), 600);
  }

  // Ctrl+Z and Ctrl+Y on the table undo and redo typed cells, in order;
  // Open forgets what came before it.
  void undoAndRedoOfTypedCells() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    f.typeCounts(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"));
    w.input().pointTable()->setFocus();
    WindowFixture::type(QStringLiteral("BM1"));
    WindowFixture::enter();
    WindowFixture::type(QStringLiteral("10.5"));
    WindowFixture::enter();
    QCOMPARE(w.input().pointTable()->cellText(1, 2), QStringLiteral("10.5"));
    QVERIFY(w.windowTitle().endsWith(u'*'));
    w.input().pointTable()->setFocus();
    WindowFixture::key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.input().pointTable()->cellText(1, 2), QString());
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("BM1"));
    WindowFixture::key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QString());
    QVERIFY(!w.actions().undo->isEnabled());
    WindowFixture::key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("BM1"));
    QVERIFY(w.actions().undo->isEnabled());
    QVERIFY(w.actions().redo->isEnabled());
    QVERIFY(w.openFile(kCityNetwork));
    QVERIFY(!w.actions().undo->isEnabled());
    QVERIFY(!w.actions().redo->isEnabled());
    QVERIFY(!w.windowTitle().endsWith(u'*'));
  }

  // The last files opened or saved come back in 最近打开的文件, newest first,
  // with the window's size, in the next session; a file gone is dropped.
  void recentFilesAndSizeAreRemembered() {
    QVERIFY(writeBytes(path(QStringLiteral("a.pc")), nineLineFile()));
    QVERIFY(writeBytes(path(QStringLiteral("b.pc")), nineLineFile()));
    QSize size;
    {
      WindowFixture f;
      QVERIFY(f.window->openFile(path(QStringLiteral("a.pc"))));
      QVERIFY(f.window->openFile(path(QStringLiteral("b.pc"))));
      QVERIFY(f.window->openFile(path(QStringLiteral("a.pc"))));
      f.window->resize(f.window->width() + 120, f.window->height() + 80);
      size = f.window->size();
      QVERIFY(f.window->close());
    }
    WindowFixture f(true);
    MainWindow& w = *f.window;
    QCOMPARE(w.recentFiles(), (QStringList{path(QStringLiteral("a.pc")), path(QStringLiteral("b.pc"))}));
    QCOMPARE(w.recentMenu()->actions().size(), 2);
    QCOMPARE(w.size(), size);
    QVERIFY(QFile::remove(path(QStringLiteral("b.pc"))));
    w.recentMenu()->actions()[1]->trigger();
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY(f.boxes.lastText().contains(QStringLiteral("已不存在")));
    QCOMPARE(w.recentFiles(), QStringList{path(QStringLiteral("a.pc"))});
    w.recentMenu()->actions()[0]->trigger();
    QCOMPARE(w.currentFile(), path(QStringLiteral("a.pc")));
  }

  // The menu bar holds every command, with its shortcut.
  void menusHoldTheCommands() {
    WindowFixture f;
    MainWindow& w = *f.window;
    const struct {
      QAction* action;
      QKeySequence keys;
    } expected[] = {{w.actions().newFile, QKeySequence(Qt::CTRL | Qt::Key_N)},
                    {w.actions().open, QKeySequence(Qt::CTRL | Qt::Key_O)},
                    {w.actions().save, QKeySequence(Qt::CTRL | Qt::Key_S)},
                    {w.actions().print, QKeySequence(Qt::CTRL | Qt::Key_P)},
                    {w.actions().undo, QKeySequence(Qt::CTRL | Qt::Key_Z)},
                    {w.actions().redo, QKeySequence(Qt::CTRL | Qt::Key_Y)}};
    for (const auto& e : expected) QCOMPARE(e.action->shortcut(), e.keys);
    QStringList titles;
    for (QAction* menu : w.menuBar()->actions()) titles << menu->text();
    QCOMPARE(titles, (QStringList{"文件(&F)", "编辑(&E)", "平差(&A)", "帮助(&H)"}));
    QStringList fileItems;
    for (QAction* a : w.menuBar()->actions()[0]->menu()->actions())
      if (!a->isSeparator()) fileItems << a->text();
    QCOMPARE(fileItems, (QStringList{"新建", "打开…", "保存…", "另存为…", "最近打开的文件", "导入观测手簿…",
                                     "沉降监测…", "保存报告…", "导出成果表…", "导出 PDF…", "打印…", "退出"}));
  }

  // The report view keeps the head and the tail of a long report, whole
  // lines only, and says what it left out.
  void reportPreviewKeepsHeadAndTail_data() {
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<int>("headBytes");
    QTest::addColumn<int>("tailBytes");
    QTest::addColumn<bool>("complete");
    QTest::newRow("fits") << 10 << 1000 << 1000 << true;
    QTest::newRow("fits with the tail") << 10 << 40 << 1000 << true;
    QTest::newRow("head and tail") << 1000 << 200 << 100 << false;
  }
  void reportPreviewKeepsHeadAndTail() {
    QFETCH(int, lineCount);
    QFETCH(int, headBytes);
    QFETCH(int, tailBytes);
    QFETCH(bool, complete);
    ReportPreviewSink sink(nullptr, static_cast<std::size_t>(headBytes), static_cast<std::size_t>(tailBytes));
    QStringList all;
    std::string block;
    for (int i = 1; i <= lineCount; ++i) {
      const QString line = QStringLiteral("第%1行 %2").arg(i).arg(QString(i % 7, u'x'));
      all << line;
      block += line.toStdString() + "\r\n";
      if (i % 3 == 0) {  // blocks of several lines, as the report writer gives
        sink.write(block);
        block.clear();
      }
    }
    sink.write(block);
    QCOMPARE(sink.complete(), complete);
    QCOMPARE(sink.totalBytes(), static_cast<std::size_t>((all.join(QStringLiteral("\r\n")) + "\r\n").toUtf8().size()));
    const QStringList shown = sink.viewText().split(u'\n');
    if (complete) {
      QCOMPARE(shown, all + QStringList{QString()});
      return;
    }
    // Head lines from the start, tail lines up to the end, a note between.
    const int note =
        static_cast<int>(std::find_if(shown.begin(), shown.end(),
                                      [](const QString& l) { return l.contains(QStringLiteral("保存报告")); }) -
                         shown.begin());
    QVERIFY(note < shown.size());
    QVERIFY(note > 2);
    for (int i = 0; i < note - 1; ++i) QCOMPARE(shown[i], all[i]);
    QCOMPARE(shown[note - 1], QString());
    QCOMPARE(shown[note + 1], QString());
    const QStringList tail = shown.mid(note + 2);
    QVERIFY(tail.size() > 2);
    for (int i = 0; i < tail.size() - 1; ++i) QCOMPARE(tail[i], all[all.size() - (tail.size() - 1) + i]);
    const int omitted = lineCount - (note - 1) - (tail.size() - 1);
    QVERIFY(shown[note].contains(QStringLiteral("中间 %1 行未显示").arg(omitted)));
  }

  // Work off the UI thread: its result, its exception, and 取消 in the
  // progress dialog, which shows only for work that takes a while.
  void backgroundWorkEndsAsItShould() {
    QWidget parent;
    int value = 0;
    TaskResult done = runInBackground(&parent, QStringLiteral("test"), [&](const CancelFlag&) { value = 42; });
    QCOMPARE(int(done.end), int(TaskEnd::finished));
    QCOMPARE(value, 42);
    TaskResult failed = runInBackground(&parent, QStringLiteral("test"),
                                        [](const CancelFlag&) { throw levelnet::InputError("坏数据"); });
    QCOMPARE(int(failed.end), int(TaskEnd::failed));
    QVERIFY_THROWS_EXCEPTION(levelnet::InputError, std::rethrow_exception(failed.error));
    bool dialogShown = false;
    QTimer::singleShot(1500, [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<QProgressDialog*>(top); progress != nullptr && progress->isVisible()) {
          dialogShown = true;
          for (QPushButton* button : progress->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("取消")) button->click();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    TaskResult cancelled = runInBackground(&parent, QStringLiteral("test"), [&](const CancelFlag& cancel) {
      while (std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        stopIfCancelled(cancel);
        QThread::msleep(5);
      }
    });
    QVERIFY(dialogShown);
    QCOMPARE(int(cancelled.end), int(TaskEnd::cancelled));
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(20));
  }
};

QTEST_MAIN(DeliverablesTest)
#include "deliverables_test.moc"
