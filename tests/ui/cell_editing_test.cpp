// In-cell editing with real key, mouse and input-method events: the editor
// opened by a key or a press, Enter committing and advancing, placement
// over the cell, and the whole example network typed from the keyboard.
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include "adjust/adjustment_run.h"
#include "ui/twips.h"
#include "window_fixture.h"

using namespace levelnet::ui;
using namespace levelnet::ui::testing;

namespace {

QTableView* viewOf(CellGrid& grid) { return grid.findChild<QTableView*>(); }

// Presses the mouse on data cell (row, col) of the grid, or on its header
// (row 0) or row number (col 0).
void pressCell(CellGrid& grid, int row, int col) {
  QTableView* view = viewOf(grid);
  QWidget* target = view->viewport();
  QPoint pos;
  if (row == 0) {
    target = view->horizontalHeader()->viewport();
    pos = QPoint(view->horizontalHeader()->sectionViewportPosition(col - 1) + 4, 4);
  } else if (col == 0) {
    target = view->verticalHeader()->viewport();
    pos = QPoint(4, view->verticalHeader()->sectionViewportPosition(row - 1) + 4);
  } else {
    pos = view->visualRect(view->model()->index(row - 1, col - 1)).center();
  }
  QTest::mouseClick(target, Qt::LeftButton, {}, pos);
}

// The rectangle of the grid's current cell in window pixels.
QRect currentCellInWindow(CellGrid& grid) {
  return QRect(pixelsX(grid.leftTwips() + grid.currentCellLeft()), pixelsY(grid.topTwips() + grid.currentCellTop()),
               pixelsX(grid.currentCellWidth()), pixelsY(grid.currentCellHeight()));
}

struct Table {
  CellGrid* grid;
  KeyedLineEdit* editor;
};

Table tableOf(MainWindow& w, bool observations) {
  return observations ? Table{w.input().observationTable(), w.input().observationCellEditor()}
                      : Table{w.input().pointTable(), w.input().pointCellEditor()};
}

// Gives the table `dataRows` numbered rows through its count field.
void sizeTables(WindowFixture& f, int dataRows) {
  MainWindow& w = *f.window;
  w.input().knownCountEdit()->setText("0");
  w.input().unknownCountEdit()->setText(QString::number(dataRows));
  w.input().unknownCountEdit()->setFocus();
  f.enter();
  w.input().observationCountEdit()->setText(QString::number(dataRows));
  w.input().observationCountEdit()->setFocus();
  f.enter();
}

// With LEVELNET_UI_SHOTS set to a directory, saves a picture of the window
// there, to look at an open editor lying over its cell.
void saveShot(QWidget& window, const QString& name) {
  const QString dir = qEnvironmentVariable("LEVELNET_UI_SHOTS");
  if (!dir.isEmpty()) window.grab().save(dir + "/" + name + ".png");
}

void makeCurrent(CellGrid& grid, int row, int col) {
  grid.setCurrentRow(row);
  grid.setCurrentColumn(col);
  grid.setFocus();
}

}  // namespace

class CellEditingTest : public QObject {
  Q_OBJECT

 private slots:
  void typedValueIsStoredAndEnterMovesOn() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    sizeTables(f, 3);
    makeCurrent(*w.input().pointTable(), 1, 1);
    f.type("A");
    QVERIFY(w.input().pointCellEditor()->isVisible());
    QVERIFY(w.input().pointCellEditor()->hasFocus());
    QCOMPARE(w.input().pointCellEditor()->text(), QStringLiteral("A"));
    QCOMPARE(w.input().pointCellEditor()->cursorPosition(), 1);
    f.type("1");
    f.enter();
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("A1"));
    QVERIFY(w.input().pointCellEditor()->isHidden());
    QVERIFY(w.input().pointTable()->hasFocus());
    QCOMPARE(w.input().pointTable()->currentRow(), 1);
    QCOMPARE(w.input().pointTable()->currentColumn(), 2);
  }

  void enterAdvancesRowByRow_data() {
    QTest::addColumn<bool>("observations");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("nextRow");
    QTest::addColumn<int>("nextCol");
    QTest::newRow("points: next column") << false << 1 << 1 << 1 << 2;
    QTest::newRow("points: last column to next row") << false << 1 << 2 << 2 << 1;
    QTest::newRow("points: last cell stays") << false << 2 << 2 << 2 << 2;
    QTest::newRow("observations: next column") << true << 2 << 3 << 2 << 4;
    QTest::newRow("observations: last column to next row") << true << 1 << 4 << 2 << 1;
    QTest::newRow("observations: last cell stays") << true << 2 << 4 << 2 << 4;
  }
  void enterAdvancesRowByRow() {
    QFETCH(bool, observations);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(int, nextRow);
    QFETCH(int, nextCol);
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 2);
    const Table t = tableOf(*f.window, observations);
    makeCurrent(*t.grid, row, col);
    f.type("7");
    f.enter();
    QCOMPARE(t.grid->cellText(row, col), QStringLiteral("7"));
    QCOMPARE(t.grid->currentRow(), nextRow);
    QCOMPARE(t.grid->currentColumn(), nextCol);
    QVERIFY(t.editor->isHidden());
  }

  void enterOnTheTableOpensTheCellsText() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 2);
    MainWindow& w = *f.window;
    w.input().observationTable()->setCellText(2, 3, "12.345");
    makeCurrent(*w.input().observationTable(), 2, 3);
    f.enter();
    QVERIFY(w.input().observationCellEditor()->isVisible());
    QCOMPARE(w.input().observationCellEditor()->text(), QStringLiteral("12.345"));
    QCOMPARE(w.input().observationCellEditor()->cursorPosition(), 6);
    QVERIFY(!w.input().observationCellEditor()->hasSelectedText());
    f.type("6");
    f.enter();
    QCOMPARE(w.input().observationTable()->cellText(2, 3), QStringLiteral("12.3456"));
  }

  // Control keys never put their character into a cell: Backspace and
  // Delete clear the cell, Escape and Ctrl+letter do nothing.
  void controlKeysNeverReachACell_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("left");
    QTest::newRow("Backspace clears") << int(Qt::Key_Backspace) << 0 << QString();
    QTest::newRow("Delete clears") << int(Qt::Key_Delete) << 0 << QString();
    QTest::newRow("Escape does nothing") << int(Qt::Key_Escape) << 0 << QStringLiteral("10");
    QTest::newRow("Ctrl+S does nothing") << int(Qt::Key_S) << int(Qt::ControlModifier) << QStringLiteral("10");
    QTest::newRow("Ctrl+C does nothing") << int(Qt::Key_C) << int(Qt::ControlModifier) << QStringLiteral("10");
  }
  void controlKeysNeverReachACell() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, left);
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 2);
    MainWindow& w = *f.window;
    w.input().pointTable()->setCellText(1, 2, "10");
    makeCurrent(*w.input().pointTable(), 1, 2);
    f.key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(w.input().pointCellEditor()->isHidden());
    QCOMPARE(w.input().pointTable()->cellText(1, 2), left);
    QCOMPARE(w.isModified(), left.isEmpty());
    // Enter now opens the editor on what the cell holds, no control byte.
    f.enter();
    QVERIFY(w.input().pointCellEditor()->isVisible());
    QCOMPARE(w.input().pointCellEditor()->text(), left);
  }

  // Escape in the editor drops the edit; a control character pasted into
  // the editor never reaches the cell.
  void escapeCancelsAndControlCharactersAreDropped() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 2);
    MainWindow& w = *f.window;
    w.input().pointTable()->setCellText(1, 1, "BM1");
    makeCurrent(*w.input().pointTable(), 1, 1);
    f.type("XYZ");
    f.key(Qt::Key_Escape);
    QVERIFY(w.input().pointCellEditor()->isHidden());
    QVERIFY(w.input().pointTable()->hasFocus() || w.input().pointTable()->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("BM1"));
    QVERIFY(!w.isModified());
    f.type("A");
    w.input().pointCellEditor()->insert(
        QString::fromUtf8("\x08"
                          "B\x1b\x13"));
    f.enter();
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("AB"));
  }

  void navigationKeysMoveTheCurrentCell() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 3);
    MainWindow& w = *f.window;
    w.input().pointTable()->setCellText(2, 1, "BM2");
    makeCurrent(*w.input().pointTable(), 1, 1);
    f.key(Qt::Key_Down);
    QCOMPARE(w.input().pointTable()->currentRow(), 2);
    QVERIFY(w.input().pointCellEditor()->isHidden());
    // currentCellChanged gave the (hidden) editor the new cell's text.
    QCOMPARE(w.input().pointCellEditor()->text(), QStringLiteral("BM2"));
  }

  void keyboardPlacementIsTwoPixelsShorterThanTheRow() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 3);
    MainWindow& w = *f.window;
    makeCurrent(*w.input().observationTable(), 2, 4);
    f.type("1");
    saveShot(w, "editor_by_key");
    CellGrid& g = *w.input().observationTable();
    QCOMPARE(w.input().observationCellEditor()->geometry(),
             QRect(pixelsX(g.leftTwips() + g.currentCellLeft()), pixelsY(g.topTwips() + g.currentCellTop()),
                   pixelsX(g.columnWidth(4)), pixelsY(g.rowHeight(2)) - 2));
    // The cell lies inside the grid, where the user sees it.
    QVERIFY(
        QRect(QPoint(0, 0), g.size()).contains(QRect(pixelsX(g.currentCellLeft()), pixelsY(g.currentCellTop()), 1, 1)));
  }

  void pressOnAHeaderCellEditsTheNearestDataCell_data() {
    QTest::addColumn<bool>("observations");
    QTest::addColumn<int>("pressRow");
    QTest::addColumn<int>("pressCol");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::newRow("header of 观测值(m)") << true << 0 << 3 << 1 << 3;
    QTest::newRow("row number 4") << true << 4 << 0 << 4 << 1;
    QTest::newRow("data cell") << false << 3 << 2 << 3 << 2;
    QTest::newRow("point header 高程(m)") << false << 0 << 2 << 1 << 2;
  }
  void pressOnAHeaderCellEditsTheNearestDataCell() {
    QFETCH(bool, observations);
    QFETCH(int, pressRow);
    QFETCH(int, pressCol);
    QFETCH(int, row);
    QFETCH(int, col);
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 4);
    const Table t = tableOf(*f.window, observations);
    t.grid->setCellText(row, col, "1.2340");
    pressCell(*t.grid, pressRow, pressCol);
    QCOMPARE(t.grid->currentRow(), row);
    QCOMPARE(t.grid->currentColumn(), col);
    QVERIFY(t.editor->isVisible());
    QVERIFY(t.editor->hasFocus());
    QCOMPARE(t.editor->text(), QStringLiteral("1.2340"));
    QCOMPARE(t.editor->selectedText(), QStringLiteral("1.2340"));  // typing replaces it
    // A press covers the cell exactly.
    QCOMPARE(t.editor->geometry(), currentCellInWindow(*t.grid));
    saveShot(*f.window, QStringLiteral("editor_by_press_%1").arg(QTest::currentDataTag()));
    QCOMPARE(t.grid->cellText(0, 3 - (observations ? 0 : 1)),
             observations ? QStringLiteral("观测值(m)") : QStringLiteral("高程(m)"));
  }

  // Whatever takes the user from an open editor commits it first: a press
  // on another cell, Up or Down, the other table, another field.
  void leavingAnOpenEditorCommitsIt_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("press on another cell") << "press";
    QTest::newRow("Down") << "down";
    QTest::newRow("Up") << "up";
    QTest::newRow("the other table") << "other table";
    QTest::newRow("a count field") << "field";
  }
  void leavingAnOpenEditorCommitsIt() {
    QFETCH(QString, how);
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 3);
    MainWindow& w = *f.window;
    w.input().pointTable()->setCellText(1, 1, "BM1");
    w.input().pointTable()->setCellText(2, 1, "OLD");
    w.input().pointTable()->setCellText(3, 1, "BM3");
    pressCell(*w.input().pointTable(), 2, 1);
    w.input().pointCellEditor()->selectAll();
    f.type("TYPED");
    if (how == "press") {
      pressCell(*w.input().pointTable(), 3, 1);
      QCOMPARE(w.input().pointCellEditor()->text(), QStringLiteral("BM3"));  // the editor moved on to the pressed cell
      QCOMPARE(w.input().pointTable()->currentRow(), 3);
    } else if (how == "down" || how == "up") {
      f.key(how == "down" ? Qt::Key_Down : Qt::Key_Up);
      QVERIFY(w.input().pointCellEditor()->isHidden());
      QCOMPARE(w.input().pointTable()->currentRow(), how == "down" ? 3 : 1);
      QVERIFY(w.input().pointTable()->isAncestorOf(QApplication::focusWidget()));
    } else if (how == "other table") {
      pressCell(*w.input().observationTable(), 1, 1);
      QVERIFY(w.input().pointCellEditor()->isHidden());
    } else {
      w.input().unitLengthEdit()->setFocus(Qt::MouseFocusReason);
      QVERIFY(w.input().pointCellEditor()->isHidden());
    }
    QCOMPARE(w.input().pointTable()->cellText(2, 1), QStringLiteral("TYPED"));
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("BM1"));
    QCOMPARE(w.input().pointTable()->cellText(3, 1), QStringLiteral("BM3"));
    QVERIFY(w.isModified());
  }

  // Typing into a cell after a click replaces its value, as after moving
  // there by the keyboard; a double click or F2 edits the value instead.
  void clickThenTypeReplacesDoubleClickAndF2Edit_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("result");
    QTest::newRow("click") << "click"
                           << "9.9";
    QTest::newRow("double click") << "double click"
                                  << "-1.29849.9";
    QTest::newRow("click, F2") << "click F2"
                               << "-1.29849.9";
    QTest::newRow("keyboard, F2") << "F2"
                                  << "-1.29849.9";
    QTest::newRow("keyboard") << "keyboard"
                              << "9.9";
  }
  void clickThenTypeReplacesDoubleClickAndF2Edit() {
    QFETCH(QString, how);
    QFETCH(QString, result);
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 3);
    MainWindow& w = *f.window;
    CellGrid& grid = *w.input().observationTable();
    grid.setCellText(2, 3, "-1.2984");
    QCoreApplication::processEvents();  // the pane takes the width the longer text asks for
    QTableView* view = viewOf(grid);
    const QPoint cell = view->visualRect(view->model()->index(1, 2)).center();
    if (how.contains("click")) QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell);
    if (how == "double click") QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    if (how == "F2" || how == "keyboard") makeCurrent(grid, 2, 3);
    if (how.contains("F2")) f.key(Qt::Key_F2);
    f.type("9.9");
    f.enter();
    QCOMPARE(grid.cellText(2, 3), result);
  }

  void blanksAroundAValueAreKept() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 1);
    MainWindow& w = *f.window;
    makeCurrent(*w.input().pointTable(), 1, 1);
    f.type(" BM1  ");
    f.enter();
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral(" BM1  "));
  }

  void inputMethodCommitOpensTheEditorHoldingIt() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 2);
    MainWindow& w = *f.window;
    makeCurrent(*w.input().observationTable(), 1, 1);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("水准点"));
    QApplication::sendEvent(f.focus(), &commit);
    QVERIFY(w.input().observationCellEditor()->isVisible());
    QVERIFY(w.input().observationCellEditor()->hasFocus());
    QCOMPARE(w.input().observationCellEditor()->text(), QStringLiteral("水准点"));
    QCOMPARE(w.input().observationCellEditor()->cursorPosition(), 3);
    // Inside the editor the input method goes on as in any text box.
    QInputMethodEvent more;
    more.setCommitString(QStringLiteral("甲"));
    QApplication::sendEvent(f.focus(), &more);
    f.enter();
    QCOMPARE(w.input().observationTable()->cellText(1, 1), QStringLiteral("水准点甲"));
  }

  // Decided: a table without data rows ignores presses and typed keys.
  void tableWithoutDataRowsIgnoresPressAndKeys() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 0);
    MainWindow& w = *f.window;
    QCOMPARE(w.input().observationTable()->rowCount(), 1);
    pressCell(*w.input().observationTable(), 0, 2);
    QVERIFY(w.input().observationCellEditor()->isHidden());
    w.input().observationTable()->setFocus();
    f.type("A");
    QVERIFY(w.input().observationCellEditor()->isHidden());
    QCOMPARE(w.input().observationTable()->cellText(0, 2), QStringLiteral("终点"));
  }

  // Decided: typing while a header cell is current (as setupTables and numbering
  // leave it) edits the nearest data cell, never a header or a row number.
  void typingNeverOverwritesAHeader() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    QCOMPARE(w.input().pointTable()->currentRow(), 0);
    w.input().pointTable()->setFocus();
    f.type("Z");
    f.enter();
    QCOMPARE(w.input().pointTable()->cellText(0, 2), QStringLiteral("高程(m)"));
    QCOMPARE(w.input().pointTable()->cellText(1, 2), QStringLiteral("Z"));
  }

  // Regression: an editor left open while its table's count drops to 0 wrote
  // its text into the header row on Enter.
  void enterAfterTheCountDropsToZeroLeavesTheHeader() {
    WindowFixture f;
    QVERIFY(f.ready());
    sizeTables(f, 2);
    MainWindow& w = *f.window;
    makeCurrent(*w.input().pointTable(), 1, 1);
    f.type("P9");
    sizeTables(f, 0);
    QCOMPARE(w.input().pointTable()->rowCount(), 1);
    w.input().pointCellEditor()->setFocus();
    f.type("X");
    f.enter();
    QVERIFY(w.input().pointCellEditor()->isHidden());
    QCOMPARE(w.input().pointTable()->cellText(0, 0), QStringLiteral("序号"));
    QCOMPARE(w.input().pointTable()->cellText(0, 1), QStringLiteral("点号"));
    QCOMPARE(w.input().pointTable()->cellText(0, 2), QStringLiteral("高程(m)"));
  }

  // The four-observation example network typed from the keyboard alone,
  // adjusted by Alt+R; the report must be the one the engine and the
  // command line give for the same network.
  void wholeNetworkFromTheKeyboard() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    f.typeCounts("2", "2", "4", "1");
    // Tab on to the points table.
    for (int i = 0; i < 6 && !w.input().pointTable()->hasFocus(); ++i) f.key(Qt::Key_Tab);
    QVERIFY(w.input().pointTable()->hasFocus());
    f.key(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(w.input().pointTable()->currentRow(), 1);
    QCOMPARE(w.input().pointTable()->currentColumn(), 1);
    const QStringList points[] = {{"A", "10"}, {"B", "12"}, {"E", ""}, {"F", ""}};
    for (const QStringList& row : points) {
      for (const QString& value : row) {
        if (value.isEmpty()) f.enter();  // opens the empty cell
        f.type(value);
        f.enter();
      }
    }
    f.key(Qt::Key_Tab);
    QVERIFY(w.input().observationTable()->hasFocus());
    f.key(Qt::Key_Home, Qt::ControlModifier);
    const QStringList observations[] = {
        {"A", "E", "1.003", "2"}, {"E", "F", "0.498", "1"}, {"F", "B", "0.505", "2"}, {"B", "E", "-0.990", "1"}};
    for (const QStringList& row : observations)
      for (const QString& value : row) {
        f.type(value);
        f.enter();
      }
    QCOMPARE(f.boxes.calls.size(), std::size_t(0));
    QCOMPARE(w.input().pointTable()->cellText(4, 1), QStringLiteral("F"));
    QCOMPARE(w.input().observationTable()->cellText(4, 3), QStringLiteral("-0.990"));

    levelnet::NetworkText net;
    net.fields = {"2", "2", "4", "1"};
    net.points.setRows(5);
    net.observations.setRows(5);
    for (int r = 1; r <= 4; ++r) {
      for (int c = 0; c < 2; ++c) net.points.setText(r, c + 1, points[r - 1][c].toStdString());
      for (int c = 0; c < 4; ++c) net.observations.setText(r, c + 1, observations[r - 1][c].toStdString());
    }
    const std::string report = levelnet::runAdjustment(net.fields, net.points, net.observations);

    f.key(Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(!w.reportView()->toPlainText().isEmpty());
    QCOMPARE(f.boxes.calls.size(), std::size_t(0));
    QCOMPARE(w.reportView()->toPlainText(), QString::fromStdString(report).replace("\r\n", "\n"));
    QVERIFY(w.reportView()->toPlainText().contains(QStringLiteral("11.003")));

    // Saved from the window and adjusted by the command line: the same report.
    QTemporaryDir dir;
    const QString file = dir.filePath("typed.pc");
    f.dialogs.answers.push_back(file);
    w.input().saveButton()->click();
    QProcess cli;
    cli.start(QStringLiteral(LEVELNET_CLI), {"adjust", file, "--encoding", "utf-8"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), QString::fromStdString(report));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  levelnet::ui::installChineseTranslations(app);
  CellEditingTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "cell_editing_test.moc"
