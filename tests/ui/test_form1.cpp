// The window: first state, the count fields' Enter chain, New, Open, Save,
// Adjust, the closing question and the access keys.
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "adjust/adjustment_run.h"
#include "network/project_file.h"
#include "window_fixture.h"

using namespace levelnet::ui;
using namespace levelnet::ui::testing;

namespace {

const QString kTitle = QStringLiteral("Vantrel水准网平差");
const QString kUntitled = kTitle + QStringLiteral(" - [未命名]");

QStringList rowTexts(FlexGrid& grid, int row) {
  QStringList texts;
  for (int c = 0; c < grid.Cols(); ++c) texts << grid.TextMatrix(row, c);
  return texts;
}

// Everything a refused command must leave alone.
struct Snapshot {
  QString title, known, unknown, observations, unit, report;
  std::vector<QStringList> points, obs;

  explicit Snapshot(Form1& w)
      : title(w.windowTitle()),
        known(w.txtKnow->text()),
        unknown(w.txtUnknow->text()),
        observations(w.Text3->text()),
        unit(w.Text4->text()),
        report(w.txtOutput->toPlainText()) {
    for (int r = 0; r < w.MSFlexGrid1->Rows(); ++r) points.push_back(rowTexts(*w.MSFlexGrid1, r));
    for (int r = 0; r < w.MSFlexGrid2->Rows(); ++r) obs.push_back(rowTexts(*w.MSFlexGrid2, r));
  }
  bool operator==(const Snapshot&) const = default;
};

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }

  // A window with the nine-line example opened.
  void openNine(WindowFixture& f, const QString& name = QStringLiteral("nine.pc")) {
    QVERIFY(writeBytes(path(name), nineLineFile()));
    f.dialogs.answers.push_back(path(name));
    f.window->cmdOpen->click();
    QCOMPARE(f.boxes.warnings(), 0);
  }

 private slots:
  void firstState() {
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    QCOMPARE(w.windowTitle(), kUntitled);
    for (auto* field : {w.txtKnow, w.txtUnknow, w.Text3, w.Text4}) QCOMPARE(field->text(), QString());
    QVERIFY(w.txtOutput->toPlainText().isEmpty());
    QVERIFY(w.txtKnow->hasFocus());
    QVERIFY(w.Text1->isHidden());
    QVERIFY(w.Text2->isHidden());
    QCOMPARE(w.dialogFileName(), QString());
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 0), (QStringList{"序号", "点号", "高程(m)"}));
    QCOMPARE(rowTexts(*w.MSFlexGrid2, 0), (QStringList{"序号", "起点", "终点", "观测值(m)", "水准路线长度(km)"}));
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 1), (QStringList{"", "", ""}));
    QCOMPARE(w.MSFlexGrid1->Rows(), 2);
    QCOMPARE(w.MSFlexGrid2->Rows(), 2);
    // Setup leaves the current cell in the header row of the last column.
    QCOMPARE(w.MSFlexGrid1->Row(), 0);
    QCOMPARE(w.MSFlexGrid1->Col(), 2);
    QCOMPARE(w.MSFlexGrid2->Col(), 4);
    const int widths1[] = {600, 600, 1000};
    for (int c = 0; c < 3; ++c) QCOMPARE(w.MSFlexGrid1->ColWidth(c), widths1[c]);
    const int widths2[] = {500, 600, 600, 1000, 1500};
    for (int c = 0; c < 5; ++c) QCOMPARE(w.MSFlexGrid2->ColWidth(c), widths2[c]);
    // Layout in twips at 96 dots per inch (the off-screen platform's).
    QCOMPARE(w.MSFlexGrid1->Left(), 2055);
    QCOMPARE(w.MSFlexGrid1->Top(), 285);
    QCOMPARE(w.MSFlexGrid2->Left(), 195);
    QCOMPARE(w.width(), 712);
    QCOMPARE(w.height(), 406);
    QCOMPARE(w.Label1[3]->text(), QStringLiteral("单位权长度:"));
    QCOMPARE(w.cmdRun->text(), QStringLiteral("平差(&R)"));
  }

  void enterInCountFieldsSizesAndNumbers_data() {
    QTest::addColumn<QString>("known");
    QTest::addColumn<QString>("unknown");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("numbered");
    QTest::newRow("3 + 2") << "3" << "2" << 6 << 5;
    QTest::newRow("0 + 0 leaves the header row") << "0" << "0" << 1 << 0;
    QTest::newRow("2.5: 3.5 rounds to 4, two numbered") << "2" << "0.5" << 4 << 2;
    QTest::newRow("half goes to even: 1.5 rounds to 2") << "0" << "0.5" << 2 << 0;
    QTest::newRow("blanks around a number") << " 1 " << "1" << 3 << 2;
  }
  void enterInCountFieldsSizesAndNumbers() {
    QFETCH(QString, known);
    QFETCH(QString, unknown);
    QFETCH(int, rows);
    QFETCH(int, numbered);
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    w.txtKnow->setFocus();
    f.type(known);
    f.enter();
    QVERIFY(w.txtUnknow->hasFocus());
    QCOMPARE(w.MSFlexGrid1->Rows(), 2);  // Enter in txtKnow only moves on
    f.type(unknown);
    f.enter();
    QCOMPARE(f.boxes.calls.size(), std::size_t(0));
    QVERIFY(w.Text3->hasFocus());
    QCOMPARE(w.MSFlexGrid1->Rows(), rows);
    for (int r = 1; r < rows; ++r)
      QCOMPARE(w.MSFlexGrid1->TextMatrix(r, 0), r <= numbered ? QString::number(r) : QString());
    if (rows > 0) QCOMPARE(w.MSFlexGrid1->TextMatrix(0, 1), QStringLiteral("点号"));
    f.type(QStringLiteral("4"));
    f.enter();
    QVERIFY(w.Text4->hasFocus());
    QCOMPARE(w.MSFlexGrid2->Rows(), 5);
    QCOMPARE(w.MSFlexGrid2->TextMatrix(4, 0), QStringLiteral("4"));
    f.type(QStringLiteral("1"));
    f.enter();  // Enter in Text4 changes nothing
    QVERIFY(w.Text4->hasFocus());
    QCOMPARE(w.MSFlexGrid2->Rows(), 5);
  }

  void loweringACountDropsRowsWithTheirTexts() {
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    w.Text3->setFocus();
    f.type("5");
    f.enter();
    for (int r = 1; r <= 5; ++r) {
      w.MSFlexGrid2->SetTextMatrix(r, 1, QStringLiteral("F%1").arg(r));
      w.MSFlexGrid2->SetTextMatrix(r, 0, QStringLiteral("x"));  // typed over a number
    }
    w.Text3->setFocus();
    w.Text3->setText("3");
    f.enter();
    QCOMPARE(w.MSFlexGrid2->Rows(), 4);
    for (int r = 1; r <= 3; ++r) {
      QCOMPARE(w.MSFlexGrid2->TextMatrix(r, 0), QString::number(r));
      QCOMPARE(w.MSFlexGrid2->TextMatrix(r, 1), QStringLiteral("F%1").arg(r));
    }
    w.Text3->setFocus();
    w.Text3->setText("5");
    f.enter();
    QCOMPARE(w.MSFlexGrid2->TextMatrix(4, 1), QString());
    QCOMPARE(w.MSFlexGrid2->TextMatrix(5, 1), QString());
  }

  // Decided: a count that cannot size the table is reported, naming the
  // field; the table stays as it was and the focus stays in the field.
  void unusableCountsAreRefused_data() {
    QTest::addColumn<bool>("points");
    QTest::addColumn<QString>("known");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("empty 待定点") << true << "2" << "" << "待定点";
    QTest::newRow("empty 已知点") << true << "" << "2" << "已知点";
    QTest::newRow("letters in 待定点") << true << "2" << "abc" << "abc";
    QTest::newRow("comma decimal") << true << "2" << "1,5" << "1,5";
    QTest::newRow("not even the header row") << true << "1" << "-2.6" << "-1.6";
    QTest::newRow("absurdly many points") << true << "0" << "1e7" << "10000000";
    QTest::newRow("letters in 观测值") << false << "" << "x4" << "观测值";
    QTest::newRow("negative 观测值") << false << "" << "-3" << "-3";
  }
  void unusableCountsAreRefused() {
    QFETCH(bool, points);
    QFETCH(QString, known);
    QFETCH(QString, count);
    QFETCH(QString, mentions);
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    w.MSFlexGrid1->SetTextMatrix(1, 1, "BM1");
    w.MSFlexGrid2->SetTextMatrix(1, 1, "BM1");
    w.txtKnow->setText(known);
    TextBox* field = points ? w.txtUnknow : w.Text3;
    field->setText(count);
    const Snapshot before(w);
    field->setFocus();
    f.enter();
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY2(f.boxes.lastText().contains(mentions), qPrintable(f.boxes.lastText()));
    QVERIFY(Snapshot(w) == before);
    QVERIFY(field->hasFocus());
  }

  // New asks only when something was edited since the last Open, Save or
  // New, with 保存/不保存/取消; 取消 keeps everything.
  void newAsksOnlyAfterChanges_data() {
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("saveDialogs");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("nothing edited: no question") << false << int(SaveAnswer::save) << 0 << true;
    QTest::newRow("不保存: cleared at once") << true << int(SaveAnswer::discard) << 0 << true;
    QTest::newRow("保存: saved first") << true << int(SaveAnswer::save) << 1 << true;
    QTest::newRow("取消: nothing changes") << true << int(SaveAnswer::cancel) << 0 << false;
  }
  void newAsksOnlyAfterChanges() {
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(int, saveDialogs);
    QFETCH(bool, cleared);
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    if (edited) {
      f.typeInto(w.txtKnow, "2");
      f.typeInto(w.txtUnknow, "3");
      f.typeInto(w.Text4, "1");
    }
    w.txtOutput->setPlainText("old report");
    const Snapshot before(w);
    f.boxes.answer = SaveAnswer(answer);
    f.dialogs.answers.push_back(path("saved_by_new.pc"));
    bool clearedBeforeDialog = true;
    f.dialogs.onShow = [&] { clearedBeforeDialog = w.txtKnow->text().isEmpty(); };
    w.cmdNew->click();
    QCOMPARE(f.boxes.questions(), edited ? 1 : 0);
    if (edited) {
      QCOMPARE(f.boxes.calls[0].title, kTitle);
      QCOMPARE(f.boxes.calls[0].text, QStringLiteral("是否保存对当前网的修改？"));
      QVERIFY(f.boxes.kinds[0] == SaveQuestion::replacing);
    }
    QCOMPARE(int(f.dialogs.calls.size()), saveDialogs);
    if (saveDialogs > 0) {
      QVERIFY(f.dialogs.calls[0].save);
      QVERIFY(!clearedBeforeDialog);
      QVERIFY(fileBytes(path("saved_by_new.pc")).startsWith("2,3,,1\r\n"));
    }
    if (!cleared) {
      QVERIFY(Snapshot(w) == before);
      QVERIFY(w.isModified());
      return;
    }
    for (auto* field : {w.txtKnow, w.txtUnknow, w.Text3, w.Text4}) QCOMPARE(field->text(), QString());
    QVERIFY(w.txtKnow->hasFocus());
    QCOMPARE(w.MSFlexGrid1->Rows(), 2);
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 0), (QStringList{"序号", "点号", "高程(m)"}));
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 1), (QStringList{"", "", ""}));
    QVERIFY(w.txtOutput->toPlainText().isEmpty());
    QCOMPARE(w.windowTitle(), kUntitled);
    QVERIFY(!w.isModified());
  }

  // Fault pinned: an editor left open by New held a header text after
  // Setup, and Enter in it wrote into the new table.
  void newClosesTheEditors() {
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    w.MSFlexGrid1->SetRow(1);
    w.MSFlexGrid1->SetCol(1);
    w.MSFlexGrid1->SetFocus();
    f.type("BM");
    QVERIFY(w.Text1->isVisible());
    w.cmdNew->click();
    QVERIFY(w.Text1->isHidden());
    QVERIFY(w.Text2->isHidden());
  }

  void openShowsTheFileAndTheTitle() {
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    w.txtOutput->setPlainText("old report");
    openNine(f);
    QCOMPARE(f.dialogs.calls.size(), std::size_t(1));
    QCOMPARE(f.dialogs.calls[0].filter, QStringLiteral("平差文件 (*.pc)"));
    QVERIFY(!f.dialogs.calls[0].save);
    QCOMPARE(w.windowTitle(), kTitle + " - [" + path("nine.pc") + "]");
    QVERIFY(w.txtOutput->toPlainText().isEmpty());
    QCOMPARE((QStringList{w.txtKnow->text(), w.txtUnknow->text(), w.Text3->text(), w.Text4->text()}),
             (QStringList{"2", "2", "4", "1"}));
    QCOMPARE(w.MSFlexGrid1->Rows(), 5);
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 1), (QStringList{"1", "BM1", "10"}));
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 2), (QStringList{"2", "BM2", "12.5"}));
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 3), (QStringList{"3", "P1", ""}));
    QCOMPARE(rowTexts(*w.MSFlexGrid1, 4), (QStringList{"4", "P2", ""}));
    QCOMPARE(w.MSFlexGrid2->Rows(), 5);
    QCOMPARE(rowTexts(*w.MSFlexGrid2, 1), (QStringList{"1", "BM1", "P1", "1.2340", "1.2"}));
    QCOMPARE(rowTexts(*w.MSFlexGrid2, 4), (QStringList{"4", "BM1", "P2", "1.6880", "2"}));
    // Open wrote every cell through the current cell, which rests on the last.
    QCOMPARE(w.MSFlexGrid2->Row(), 4);
    QCOMPARE(w.MSFlexGrid2->Col(), 4);
    QCOMPARE(w.dialogFileName(), path("nine.pc"));
  }

  void saveAfterOpenWritesTheNormalisedForm() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    f.dialogs.answers.push_back(path("again"));  // no extension added
    f.window->cmdSave->click();
    QCOMPARE(f.boxes.warnings(), 0);
    QVERIFY(f.dialogs.calls[1].save);
    QCOMPARE(f.dialogs.calls[1].startName, path("nine.pc"));  // the remembered name
    QCOMPARE(fileBytes(path("again")),
             QByteArray("2,2,4,1\r\nBM1,10\r\nBM2,12.5\r\nP1,\r\nP2,\r\n"
                        "BM1,P1,1.2340,1.2\r\nP1,P2,0.4560,0.8\r\nP2,BM2,0.8120,1.5\r\nBM1,P2,1.6880,2\r\n"));
    // The title follows the file the data went to.
    QCOMPARE(f.window->windowTitle(), kTitle + " - [" + path("again") + "]");
    QCOMPARE(f.window->dialogFileName(), path("again"));
  }

  void cancelledDialogsChangeNothing() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    QVERIFY(writeBytes(path("keep.pc"), "1,0,0,1\r\nA,1\r\n"));
    const Snapshot before(*f.window);
    f.window->cmdOpen->click();  // cancelled
    f.window->cmdSave->click();  // cancelled
    QCOMPARE(f.dialogs.calls.size(), std::size_t(3));
    QCOMPARE(f.dialogs.calls[2].startName, path("nine.pc"));
    QVERIFY(Snapshot(*f.window) == before);
    QCOMPARE(fileBytes(path("keep.pc")), QByteArray("1,0,0,1\r\nA,1\r\n"));
    QCOMPARE(f.boxes.calls.size(), std::size_t(0));
  }

  // Decided: Open of a file that cannot be used names the file and changes
  // nothing at all, neither the title nor the report.
  void openFailureChangesNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("truncated") << QByteArray("2,2,4,1\r\nBM1,10\r\nBM2,12.5\r\n");
    QTest::newRow("count not whole") << QByteArray("1.5,0,0,1\r\nA,1\r\n");
    QTest::newRow("not GBK") << QByteArray("1,0,0,1\r\n\xff\xff,1\r\n");
  }
  void openFailureChangesNothing() {
    QFETCH(QByteArray, bytes);
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    f.window->txtOutput->setPlainText("report stays");
    const QString bad = path(QStringLiteral("坏文件%1.pc").arg(QTest::currentDataTag()));
    if (!bytes.isEmpty()) QVERIFY(writeBytes(bad, bytes));
    const Snapshot before(*f.window);
    f.dialogs.answers.push_back(bad);
    f.window->cmdOpen->click();
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY2(f.boxes.lastText().contains(QStringLiteral("坏文件")), qPrintable(f.boxes.lastText()));
    QVERIFY(Snapshot(*f.window) == before);
  }

  // Decided: Save that cannot write reports it and leaves an existing file
  // as it was.
  void saveFailureKeepsTheFile() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    QVERIFY(writeBytes(path("old.pc"), "old bytes\r\n"));
    f.window->MSFlexGrid1->SetTextMatrix(1, 1, "B\"M1");  // a double quote cannot be saved
    f.dialogs.answers.push_back(path("old.pc"));
    f.window->cmdSave->click();
    QCOMPARE(f.boxes.warnings(), 1);
    QCOMPARE(fileBytes(path("old.pc")), QByteArray("old bytes\r\n"));
    f.window->MSFlexGrid1->SetTextMatrix(1, 1, "BM1");
    f.dialogs.answers.push_back(path("no such dir/x.pc"));
    f.window->cmdSave->click();
    QCOMPARE(f.boxes.warnings(), 2);
  }

  void adjustShowsWhatTheEngineProduces() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    levelnet::NetworkText net;
    levelnet::applyProject(levelnet::parseProjectBytes(nineLineFile().toStdString(), "nine"), net.fields, net.points,
                           net.observations);
    const std::string report = levelnet::runAdjustment(net.fields, net.points, net.observations);
    QVERIFY(!report.empty());
    QTest::keyClick(f.focus(), Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(!f.window->txtOutput->toPlainText().isEmpty());
    QCOMPARE(f.boxes.warnings(), 0);
    QCOMPARE(f.window->txtOutput->toPlainText(), QString::fromStdString(report).replace("\r\n", "\n"));
    QCOMPARE(f.window->txtOutput->textCursor().position(), 0);
    // The run filled the empty elevations of the table with 0, as the engine
    // did with its own tables.
    QCOMPARE(f.window->MSFlexGrid1->TextMatrix(3, 2), QStringLiteral("0"));
    QCOMPARE(net.points.text(3, 2), std::string("0"));
    // A second run gives the same report once, not appended.
    f.window->cmdRun->click();
    QCOMPARE(f.window->txtOutput->toPlainText(), QString::fromStdString(report).replace("\r\n", "\n"));
  }

  // A benchmark typed twice is adjusted with its first row, and the user is
  // told before the report appears.
  void duplicateNamesAreWarnedOfBeforeTheReport() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    f.window->MSFlexGrid1->SetTextMatrix(2, 1, "BM1");  // BM2 retyped as BM1
    f.window->MSFlexGrid2->SetTextMatrix(3, 2, "BM1");
    bool reportShownBeforeWarning = false;
    f.boxes.onWarn = [&] { reportShownBeforeWarning = !f.window->txtOutput->toPlainText().isEmpty(); };
    f.window->cmdRun->click();
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY2(f.boxes.lastText().contains(QStringLiteral("点表第 1 行与第 2 行的点名都是“BM1”")),
             qPrintable(f.boxes.lastText()));
    QVERIFY(!reportShownBeforeWarning);
    QVERIFY(!f.window->txtOutput->toPlainText().isEmpty());
  }

  // A file saved in UTF-8 by a modern editor opens with its Chinese names
  // intact, with a note; the next Save writes GBK.
  void utf8FileOpensWithANote() {
    WindowFixture f;
    QVERIFY(f.ready());
    const QByteArray utf8 = QStringLiteral("1,1,2,1\r\n城东,10\r\n桥头,\r\n城东,桥头,1.5,1\r\n桥头,城东,-1.5,1\r\n").toUtf8();
    QVERIFY(writeBytes(path("utf8.pc"), utf8));
    f.dialogs.answers.push_back(path("utf8.pc"));
    f.window->cmdOpen->click();
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY2(f.boxes.lastText().contains("UTF-8"), qPrintable(f.boxes.lastText()));
    QCOMPARE(f.window->MSFlexGrid1->TextMatrix(1, 1), QStringLiteral("城东"));
    QCOMPARE(f.window->MSFlexGrid2->TextMatrix(1, 2), QStringLiteral("桥头"));
    f.dialogs.answers.push_back(path("gbk.pc"));
    f.window->cmdSave->click();
    QCOMPARE(fileBytes(path("gbk.pc")).mid(9, 4), QByteArray("\xb3\xc7\xb6\xab"));  // 城东 in GBK
  }

  void refusedAdjustShowsTheProblemsAndNoReport() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    f.window->MSFlexGrid2->SetTextMatrix(2, 4, "0");    // zero route length
    f.window->MSFlexGrid2->SetTextMatrix(3, 3, "abc");  // not a number
    f.window->txtOutput->setPlainText("old report");
    f.window->cmdRun->click();
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY2(f.boxes.lastText().contains("abc"), qPrintable(f.boxes.lastText()));
    QVERIFY(f.window->txtOutput->toPlainText().isEmpty());
    QCOMPARE(f.window->MSFlexGrid1->TextMatrix(3, 2), QString());  // nothing changed
  }

  void emptyKnownFieldStopsSilently() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    f.window->txtKnow->setText(QString());
    f.window->txtOutput->setPlainText("old report");
    f.window->cmdRun->click();
    QVERIFY(f.window->txtOutput->toPlainText().isEmpty());
    QCOMPARE(f.boxes.calls.size(), std::size_t(0));
    QCOMPARE(f.window->MSFlexGrid1->TextMatrix(3, 2), QString());
  }

  // Closing asks only after changes, in the words of the closing question,
  // with 是/否/取消; 取消 keeps the window.
  void closingAsksOnlyAfterChanges_data() {
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("fresh window") << false << int(SaveAnswer::cancel) << true;
    QTest::newRow("just opened") << false << int(SaveAnswer::cancel) << true;
    QTest::newRow("edited, 否") << true << int(SaveAnswer::discard) << true;
    QTest::newRow("edited, 取消") << true << int(SaveAnswer::cancel) << false;
  }
  void closingAsksOnlyAfterChanges() {
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    WindowFixture f;
    QVERIFY(f.ready());
    if (QByteArray(QTest::currentDataTag()) == "just opened") openNine(f);
    if (edited) f.typeInto(f.window->txtKnow, "2");
    f.boxes.answer = SaveAnswer(answer);
    QCOMPARE(f.window->close(), closes);
    QCOMPARE(f.boxes.questions(), edited ? 1 : 0);
    if (edited) {
      QCOMPARE(f.boxes.calls[0].title, QStringLiteral("退出Vantrel平差"));
      QCOMPARE(f.boxes.calls[0].text, QStringLiteral("平差数据已输完或修改，是否保存再退出？"));
      QVERIFY(f.boxes.kinds[0] == SaveQuestion::closing);
    }
    QCOMPARE(f.window->isVisible(), !closes);
  }

  void closingWithYesSaves() {
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    f.typeInto(f.window->Text4, "2");  // unit-weight length 1 becomes 12
    f.boxes.answer = SaveAnswer::save;
    f.dialogs.answers.push_back(path("closing.pc"));
    QVERIFY(f.window->close());
    QCOMPARE(fileBytes(path("closing.pc")).left(10), QByteArray("2,2,4,12\r\n"));
  }

  // Answering Yes to the question and then not saving (the dialog cancelled,
  // or a save the file system refuses) must keep everything: New does not
  // clear, closing does not close.
  void unsavedDataStayWhenTheSaveDoesNotHappen_data() {
    QTest::addColumn<bool>("closing");
    QTest::addColumn<QString>("target");  // "" cancels the dialog
    QTest::addColumn<int>("warnings");
    for (bool closing : {false, true}) {
      const char* command = closing ? "close" : "New";
      QTest::addRow("%s, dialog cancelled", command) << closing << QString() << 0;
      QTest::addRow("%s, read-only file", command) << closing << QStringLiteral("readonly.pc") << 1;
      QTest::addRow("%s, folder chosen", command) << closing << QStringLiteral("folder") << 1;
    }
  }
  void unsavedDataStayWhenTheSaveDoesNotHappen() {
    QFETCH(bool, closing);
    QFETCH(QString, target);
    QFETCH(int, warnings);
    WindowFixture f;
    QVERIFY(f.ready());
    openNine(f);
    f.window->txtOutput->setPlainText("report");
    const QByteArray oldBytes("old contents\r\n");
    QVERIFY(writeBytes(path("readonly.pc"), oldBytes));
    QVERIFY(QFile::setPermissions(path("readonly.pc"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QDir(dir_.path()).mkpath("folder"));
    f.typeInto(f.window->Text4, "0");  // an edit: the unit-weight length becomes 10
    const Snapshot before(*f.window);
    f.boxes.answer = SaveAnswer::save;
    f.dialogs.answers.push_back(target.isEmpty() ? QString() : path(target));
    if (closing) QVERIFY(!f.window->close());
    else f.window->cmdNew->click();
    QCOMPARE(f.dialogs.calls.size(), std::size_t(2));  // Open's, then Save's
    QVERIFY(f.dialogs.calls[1].save);
    QCOMPARE(f.boxes.warnings(), warnings);
    QVERIFY(Snapshot(*f.window) == before);
    QVERIFY(f.window->isVisible());
    QCOMPARE(fileBytes(path("readonly.pc")), oldBytes);
    QVERIFY(f.window->isModified());
    QFile::setPermissions(path("readonly.pc"), QFile::ReadOwner | QFile::WriteOwner);
  }

  // The platform dialogs speak Chinese when Qt's translation is installed.
  void qtTranslationIsLoaded() {
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(dir + "/qtbase_zh_CN.qm")) QSKIP("Qt's Chinese translation is not installed");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("是(&Y)"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("否(&N)"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  }

  // 宋体 is mapped to an installed Song face whose blanks, digits and
  // Chinese characters keep the report's columns in line.
  void reportFontKeepsColumns() {
    WindowFixture f;
    const QFontMetricsF metrics(f.window->txtOutput->font());
    const qreal digit = metrics.horizontalAdvance(QLatin1Char('0'));
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char(' ')), digit);
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('-')), digit);
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("水准点")), 6 * digit);
  }

  void accessKeysPressTheirButtons_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::newRow("Alt+N") << int(Qt::Key_N) << "cmdNew";
    QTest::newRow("Alt+O") << int(Qt::Key_O) << "cmdOpen";
    QTest::newRow("Alt+S") << int(Qt::Key_S) << "cmdSave";
    QTest::newRow("Alt+R") << int(Qt::Key_R) << "cmdRun";
  }
  void accessKeysPressTheirButtons() {
    QFETCH(int, key);
    QFETCH(QString, button);
    WindowFixture f;
    QVERIFY(f.ready());
    Form1& w = *f.window;
    QPushButton* buttons[] = {w.cmdNew, w.cmdOpen, w.cmdSave, w.cmdRun};
    const char* names[] = {"cmdNew", "cmdOpen", "cmdSave", "cmdRun"};
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (QPushButton* b : buttons) spies.push_back(std::make_unique<QSignalSpy>(b, &QPushButton::clicked));
    QTest::keyClick(f.focus(), Qt::Key(key), Qt::AltModifier);
    // A button pressed by its access key shows the press before it clicks.
    for (int i = 0; i < 4; ++i)
      if (button == names[i]) QTRY_COMPARE(spies[i]->count(), 1);
    for (int i = 0; i < 4; ++i) QCOMPARE(spies[i]->count(), button == names[i] ? 1 : 0);
    QCOMPARE(w.txtKnow->text(), QString());  // the letter was not typed
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  levelnet::ui::installChineseTranslations(app);
  Form1Test test;
  return QTest::qExec(&test, argc, argv);
}
#include "test_form1.moc"
