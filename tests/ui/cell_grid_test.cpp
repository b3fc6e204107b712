// The grid adapter: rows and texts, the current cell and currentCellChanged,
// twips at the interface, the cell under the pointer, and the key codes.
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <stdexcept>

#include "ui/cell_grid.h"
#include "ui/key_codes.h"
#include "ui/twips.h"

using levelnet::ui::CellGrid;

namespace {

// A grid of 5 columns and `rows` rows whose data cell (r, c) holds "rNcM".
void fill(CellGrid& grid) {
  for (int r = 0; r < grid.rowCount(); ++r)
    for (int c = 0; c < grid.columnCount(); ++c) grid.setCellText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
}

QTableView* viewOf(CellGrid& grid) { return grid.findChild<QTableView*>(); }

}  // namespace

class CellGridTest : public QObject {
  Q_OBJECT

 private slots:
  void setRowsKeepsDropsAndAppends_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("grow") << 3 << 6;
    QTest::newRow("shrink") << 6 << 4;
    QTest::newRow("header row only") << 4 << 1;
    QTest::newRow("same") << 3 << 3;
  }
  void setRowsKeepsDropsAndAppends() {
    QFETCH(int, from);
    QFETCH(int, to);
    CellGrid grid(from, 5);
    fill(grid);
    grid.setRowCount(to);
    QCOMPARE(grid.rowCount(), to);
    QCOMPARE(grid.rows(), to);
    for (int r = 0; r < to; ++r) {
      for (int c = 0; c < 5; ++c) {
        const QString expected = r < from ? QStringLiteral("r%1c%2").arg(r).arg(c) : QString();
        QCOMPARE(grid.cellText(r, c), expected);
      }
    }
    // Rows dropped and appended again come back empty.
    grid.setRowCount(from + 1);
    for (int c = 0; c < 5; ++c) QCOMPARE(grid.cellText(from, c), QString());
  }

  void rowsBelowTheHeaderAndCellsOutsideAreRefused() {
    CellGrid grid(2, 3);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.setRowCount(0));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.setCurrentRow(2));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.setCurrentColumn(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.cellText(0, -1));
    QCOMPARE(grid.rowCount(), 2);
  }

  void everyChangeOfTheCurrentCellRaisesCurrentCellChanged() {
    CellGrid grid(4, 5);
    fill(grid);
    QSignalSpy spy(&grid, &CellGrid::currentCellChanged);
    grid.setCurrentRow(0);  // already there
    QCOMPARE(spy.count(), 0);
    grid.setCurrentColumn(3);  // a header cell: header of column 3
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.currentText(), QStringLiteral("r0c3"));
    grid.setCurrentRow(2);
    QCOMPARE(spy.count(), 2);
    grid.setCurrentColumn(0);  // a row number
    QCOMPARE(spy.count(), 3);
    QCOMPARE(grid.currentText(), QStringLiteral("r2c0"));
    // setCellText never moves the current cell.
    grid.setCellText(3, 4, QStringLiteral("x"));
    QCOMPARE(grid.cellText(3, 4), QStringLiteral("x"));
    QCOMPARE(spy.count(), 3);
    QCOMPARE(grid.currentRow(), 2);
    QCOMPARE(grid.currentColumn(), 0);
    grid.setCurrentText(QStringLiteral("7"));
    QCOMPARE(grid.cellText(2, 0), QStringLiteral("7"));
  }

  // Fault pinned: a current row dropped by setRowCount left currentRow()
  // pointing past the last row, so the next currentText() read outside the
  // grid.
  void droppingTheCurrentRowMovesItToTheLastRow() {
    CellGrid grid(6, 3);
    grid.setCurrentColumn(1);
    grid.setCurrentRow(5);
    QSignalSpy spy(&grid, &CellGrid::currentCellChanged);
    grid.setRowCount(3);
    QCOMPARE(grid.currentRow(), 2);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.currentText(), QString());
  }

  void enterTextMovesColumnFirstThenRow() {
    CellGrid grid(3, 5);
    std::vector<std::pair<int, int>> visited;
    connect(&grid, &CellGrid::currentCellChanged,
            [&] { visited.emplace_back(grid.currentRow(), grid.currentColumn()); });
    grid.enterText(2, 3, "观测");
    QCOMPARE(grid.cellText(2, 3), QStringLiteral("观测"));
    QCOMPARE(grid.text(2, 3), std::string("观测"));
    const std::vector<std::pair<int, int>> expected = {{0, 3}, {2, 3}};
    QCOMPARE(visited, expected);
    grid.setText(1, 1, "BM1");  // TextTable::setText does not move
    QCOMPARE(grid.currentRow(), 2);
    QCOMPARE(grid.cellText(1, 1), QStringLiteral("BM1"));
  }

  void clearErasesEveryCellAndKeepsCounts() {
    CellGrid grid(4, 3);
    fill(grid);
    grid.clearAllCells();
    QCOMPARE(grid.rowCount(), 4);
    QCOMPARE(grid.columnCount(), 3);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 3; ++c) QCOMPARE(grid.cellText(r, c), QString());
  }

  void sizesAreInTwips_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("width");
    QTest::newRow("number column") << 0 << 600;
    QTest::newRow("data column") << 2 << 1500;
  }
  void sizesAreInTwips() {
    QFETCH(int, col);
    QFETCH(int, width);
    CellGrid grid(3, 5);
    grid.setColumnWidth(col, width);
    grid.setMinimumRowHeight(270);
    const double perPixel = levelnet::ui::twipsPerPixelX();
    QVERIFY(std::abs(grid.columnWidth(col) - width) <= perPixel);
    QVERIFY(grid.rowHeight(0) >= 270 - levelnet::ui::twipsPerPixelY());
    QCOMPARE(grid.rowHeight(1), grid.rowHeight(0));
    QVERIFY(grid.rowHeight(2) >= 270 - levelnet::ui::twipsPerPixelY());
  }

  // A press raises pressed with the cell under the pointer and does not
  // move the current cell itself.
  void pressReportsTheCellUnderThePointer_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::newRow("data cell") << "cell 2 3" << 2 << 3;
    QTest::newRow("header of column 4") << "header 4" << 0 << 4;
    QTest::newRow("row number 3") << "number 3" << 3 << 0;
    QTest::newRow("corner") << "corner" << 0 << 0;
    QTest::newRow("below the last row") << "below" << 3 << 2;
    QTest::newRow("right of the last column") << "right" << 1 << 4;
  }
  void pressReportsTheCellUnderThePointer() {
    QFETCH(QString, where);
    QFETCH(int, row);
    QFETCH(int, col);
    QWidget window;
    window.resize(700, 400);
    auto* grid = new CellGrid(4, 5, &window);
    grid->setGeometry(10, 10, 600, 300);
    for (int c = 0; c < 5; ++c) grid->setColumnWidth(c, 1200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* view = viewOf(*grid);
    QSignalSpy downs(grid, &CellGrid::pressed);
    QSignalSpy moves(grid, &CellGrid::currentCellChanged);
    const QRect cell12 = view->visualRect(view->model()->index(0, 1));
    QWidget* target = view->viewport();
    QPoint pos;
    if (where == "cell 2 3") {
      pos = view->visualRect(view->model()->index(1, 2)).center();
    } else if (where == "header 4") {
      target = view->horizontalHeader()->viewport();
      pos = QPoint(view->horizontalHeader()->sectionViewportPosition(3) + 5, 5);
    } else if (where == "number 3") {
      target = view->verticalHeader()->viewport();
      pos = QPoint(5, view->verticalHeader()->sectionViewportPosition(2) + 5);
    } else if (where == "corner") {
      target = view->horizontalHeader();  // stand-in, replaced below
      QWidget* corner = nullptr;
      for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->geometry().topLeft() == QPoint(view->verticalHeader()->x(), view->horizontalHeader()->y()) &&
            child != view->verticalHeader() && child->metaObject()->className() == QByteArray("QWidget"))
          corner = child;
      QVERIFY(corner != nullptr);
      target = corner;
      pos = QPoint(3, 3);
    } else if (where == "below") {
      pos = QPoint(view->visualRect(view->model()->index(0, 1)).center().x(), view->viewport()->height() - 3);
    } else {
      pos = QPoint(view->viewport()->width() - 3, cell12.center().y());
    }
    QTest::mouseClick(target, Qt::LeftButton, {}, pos);
    QCOMPARE(downs.count(), 1);
    QCOMPARE(grid->pressedRow(), row);
    QCOMPARE(grid->pressedColumn(), col);
    QCOMPARE(moves.count(), 0);
    QCOMPARE(grid->currentRow(), 0);
    QCOMPARE(grid->currentColumn(), 0);
  }

  void keyCodes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::newRow("Return") << int(Qt::Key_Return) << 0 << "\r" << 13;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "\r" << 13;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << "" << 8;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << "" << 27;
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier) << "" << 1;
    QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << int(Qt::ControlModifier) << "\x1a" << 26;
    QTest::newRow("letter a") << int(Qt::Key_A) << 0 << "a" << int('a');
    QTest::newRow("shifted A") << int(Qt::Key_A) << int(Qt::ShiftModifier) << "A" << int('A');
    QTest::newRow("minus") << int(Qt::Key_Minus) << 0 << "-" << int('-');
    QTest::newRow("space") << int(Qt::Key_Space) << 0 << " " << int(' ');
    QTest::newRow("Chinese character") << 0 << 0 << "水" << 0x6c34;
    QTest::newRow("Left") << int(Qt::Key_Left) << 0 << "" << 0;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 0 << "" << 0;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << 0 << "\t" << 0;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << "\x7f" << 0;
    QTest::newRow("F2") << int(Qt::Key_F2) << 0 << "" << 0;
    QTest::newRow("Alt+N") << int(Qt::Key_N) << int(Qt::AltModifier) << "n" << 0;
  }
  void keyCodes() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(int, code);
    const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QCOMPARE(levelnet::ui::characterCodeOf(event), code);
  }

  // Character keys go to characterTyped and never to the view; navigation
  // keys move the current cell as the view does and raise
  // currentCellChanged.
  void keysReachCharacterTypedOrNavigate() {
    CellGrid grid(4, 3);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    grid.setCurrentRow(1);
    grid.setCurrentColumn(1);
    std::vector<int> codes;
    connect(&grid, &CellGrid::characterTyped, [&](int& code) { codes.push_back(code); });
    QSignalSpy moves(&grid, &CellGrid::currentCellChanged);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr);
    QTest::keyClick(focus, Qt::Key_X);
    QTest::keyClick(focus, Qt::Key_Return);
    QCOMPARE(codes, (std::vector<int>{'x', 13}));
    QCOMPARE(grid.currentRow(), 1);
    QTest::keyClick(focus, Qt::Key_Down);
    QCOMPARE(grid.currentRow(), 2);
    QCOMPARE(grid.currentColumn(), 1);
    QTest::keyClick(focus, Qt::Key_Right);
    QCOMPARE(grid.currentColumn(), 2);
    QCOMPARE(moves.count(), 2);
    QCOMPARE(codes.size(), std::size_t(2));
  }
};

QTEST_MAIN(CellGridTest)
#include "cell_grid_test.moc"
