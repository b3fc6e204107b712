// The grid adapter: rows and texts, the current cell and RowColChange,
// twips at the interface, the cell under the pointer, and the key codes.
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>
#include <stdexcept>

#include "ui/flex_grid.h"
#include "ui/key_ascii.h"
#include "ui/twips.h"

using levelnet::ui::FlexGrid;

namespace {

// A grid of 5 columns and `rows` rows whose data cell (r, c) holds "rNcM".
void fill(FlexGrid& grid) {
  for (int r = 0; r < grid.Rows(); ++r)
    for (int c = 0; c < grid.Cols(); ++c) grid.SetTextMatrix(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
}

QTableWidget* viewOf(FlexGrid& grid) { return grid.findChild<QTableWidget*>(); }

}  // namespace

class FlexGridTest : public QObject {
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
    FlexGrid grid(from, 5);
    fill(grid);
    grid.SetRows(to);
    QCOMPARE(grid.Rows(), to);
    QCOMPARE(grid.rows(), to);
    for (int r = 0; r < to; ++r) {
      for (int c = 0; c < 5; ++c) {
        const QString expected = r < from ? QStringLiteral("r%1c%2").arg(r).arg(c) : QString();
        QCOMPARE(grid.TextMatrix(r, c), expected);
      }
    }
    // Rows dropped and appended again come back empty.
    grid.SetRows(from + 1);
    for (int c = 0; c < 5; ++c) QCOMPARE(grid.TextMatrix(from, c), QString());
  }

  void rowsBelowFixedAndCellsOutsideAreRefused() {
    FlexGrid grid(2, 3);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.SetRows(0));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.SetRow(2));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.SetCol(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, grid.TextMatrix(0, -1));
    QCOMPARE(grid.Rows(), 2);
  }

  void everyChangeOfTheCurrentCellRaisesRowColChange() {
    FlexGrid grid(4, 5);
    fill(grid);
    QSignalSpy spy(&grid, &FlexGrid::RowColChange);
    grid.SetRow(0);  // already there
    QCOMPARE(spy.count(), 0);
    grid.SetCol(3);  // a fixed cell: header of column 3
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.Text(), QStringLiteral("r0c3"));
    grid.SetRow(2);
    QCOMPARE(spy.count(), 2);
    grid.SetCol(0);  // a row number
    QCOMPARE(spy.count(), 3);
    QCOMPARE(grid.Text(), QStringLiteral("r2c0"));
    // TextMatrix never moves the current cell.
    grid.SetTextMatrix(3, 4, QStringLiteral("x"));
    QCOMPARE(grid.TextMatrix(3, 4), QStringLiteral("x"));
    QCOMPARE(spy.count(), 3);
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.Col(), 0);
    grid.SetText(QStringLiteral("7"));
    QCOMPARE(grid.TextMatrix(2, 0), QStringLiteral("7"));
  }

  // Fault pinned: a current row dropped by SetRows left Row() pointing past
  // the last row, so the next Text() read outside the grid.
  void droppingTheCurrentRowMovesItToTheLastRow() {
    FlexGrid grid(6, 3);
    grid.SetCol(1);
    grid.SetRow(5);
    QSignalSpy spy(&grid, &FlexGrid::RowColChange);
    grid.SetRows(3);
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.Text(), QString());
  }

  void enterTextMovesColumnFirstThenRow() {
    FlexGrid grid(3, 5);
    std::vector<std::pair<int, int>> visited;
    connect(&grid, &FlexGrid::RowColChange, [&] { visited.emplace_back(grid.Row(), grid.Col()); });
    grid.enterText(2, 3, "观测");
    QCOMPARE(grid.TextMatrix(2, 3), QStringLiteral("观测"));
    QCOMPARE(grid.text(2, 3), std::string("观测"));
    const std::vector<std::pair<int, int>> expected = {{0, 3}, {2, 3}};
    QCOMPARE(visited, expected);
    grid.setText(1, 1, "BM1");  // TextTable::setText does not move
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.TextMatrix(1, 1), QStringLiteral("BM1"));
  }

  void clearErasesEveryCellAndKeepsCounts() {
    FlexGrid grid(4, 3);
    fill(grid);
    grid.Clear();
    QCOMPARE(grid.Rows(), 4);
    QCOMPARE(grid.Cols(), 3);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 3; ++c) QCOMPARE(grid.TextMatrix(r, c), QString());
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
    FlexGrid grid(3, 5);
    grid.SetColWidth(col, width);
    grid.SetRowHeightMin(270);
    const double perPixel = levelnet::ui::twipsPerPixelX();
    QVERIFY(std::abs(grid.ColWidth(col) - width) <= perPixel);
    QVERIFY(grid.RowHeight(0) >= 270 - levelnet::ui::twipsPerPixelY());
    QCOMPARE(grid.RowHeight(1), grid.RowHeight(0));
    QVERIFY(grid.RowHeight(2) >= 270 - levelnet::ui::twipsPerPixelY());
  }

  // A press raises MouseDown with the cell under the pointer and does not
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
    auto* grid = new FlexGrid(4, 5, &window);
    grid->setGeometry(10, 10, 600, 300);
    for (int c = 0; c < 5; ++c) grid->SetColWidth(c, 1200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableWidget* view = viewOf(*grid);
    QSignalSpy downs(grid, &FlexGrid::MouseDown);
    QSignalSpy moves(grid, &FlexGrid::RowColChange);
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
    QCOMPARE(grid->MouseRow(), row);
    QCOMPARE(grid->MouseCol(), col);
    QCOMPARE(moves.count(), 0);
    QCOMPARE(grid->Row(), 0);
    QCOMPARE(grid->Col(), 0);
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
    QCOMPARE(levelnet::ui::keyAsciiOf(event), code);
  }

  // Character keys go to KeyPress and never to the view; navigation keys
  // move the current cell as the view does and raise RowColChange.
  void keysReachKeyPressOrNavigate() {
    FlexGrid grid(4, 3);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.SetFocus();
    grid.SetRow(1);
    grid.SetCol(1);
    std::vector<int> codes;
    connect(&grid, &FlexGrid::KeyPress, [&](int& keyAscii) { codes.push_back(keyAscii); });
    QSignalSpy moves(&grid, &FlexGrid::RowColChange);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr);
    QTest::keyClick(focus, Qt::Key_X);
    QTest::keyClick(focus, Qt::Key_Return);
    QCOMPARE(codes, (std::vector<int>{'x', 13}));
    QCOMPARE(grid.Row(), 1);
    QTest::keyClick(focus, Qt::Key_Down);
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.Col(), 1);
    QTest::keyClick(focus, Qt::Key_Right);
    QCOMPARE(grid.Col(), 2);
    QCOMPARE(moves.count(), 2);
    QCOMPARE(codes.size(), std::size_t(2));
  }
};

QTEST_MAIN(FlexGridTest)
#include "test_flex_grid.moc"
