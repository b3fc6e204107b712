// A surveyor's session at the window, key by key: a field book typed into
// an empty window adjusts on the first try, and nothing typed is lost or
// misplaced on the way to the report and the file.
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include "adjust/adjustment_run.h"
#include "network/project_file.h"
#include "window_fixture.h"

using namespace levelnet::ui;
using namespace levelnet::ui::testing;

namespace {

const QString kTitle = QStringLiteral("Vantrel水准网平差");

QTableView* viewOf(CellGrid& grid) { return grid.findChild<QTableView*>(); }

void pressCell(CellGrid& grid, int row, int col) {
  QTableView* view = viewOf(grid);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(row - 1, col - 1)).center());
}

// The network of the field book: two benchmarks, two points, five lines.
const QStringList kPoints[] = {{"A", "10.000"}, {"B", "12.000"}, {"P1", ""}, {"P2", ""}};
const QStringList kObservations[] = {{"A", "P1", "1.003", "2"},
                                     {"P1", "P2", "0.498", "1"},
                                     {"P2", "B", "0.505", "2"},
                                     {"B", "P1", "-0.990", "1"},
                                     {"A", "P2", "1.502", "1.5"}};

// Types one table's rows cell by cell, Enter after each value; an empty
// value is Enter on the cell (opening the editor) and Enter again.
void typeRows(WindowFixture& f, const QStringList* rows, int count) {
  for (int r = 0; r < count; ++r)
    for (const QString& value : rows[r]) {
      if (value.isEmpty()) f.enter();
      f.type(value);
      f.enter();
    }
}

// The engine's report for the field book, as the command line would give it.
std::string expectedReport() {
  levelnet::NetworkText net;
  net.fields = {"2", "2", "5", "1"};
  net.points.setRows(5);
  net.observations.setRows(6);
  for (int r = 1; r <= 4; ++r)
    for (int c = 0; c < 2; ++c) net.points.setText(r, c + 1, kPoints[r - 1][c].toStdString());
  for (int r = 1; r <= 5; ++r)
    for (int c = 0; c < 4; ++c) net.observations.setText(r, c + 1, kObservations[r - 1][c].toStdString());
  return levelnet::runAdjustment(net.fields, net.points, net.observations);
}

QString shown(const std::string& report) { return QString::fromStdString(report).replace("\r\n", "\n"); }

}  // namespace

class FieldBookTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }

  void openNine(WindowFixture& f) {
    QVERIFY(writeBytes(path("nine.pc"), nineLineFile()));
    f.dialogs.answers.push_back(path("nine.pc"));
    f.window->input().openButton()->click();
    QCOMPARE(f.boxes.warnings(), 0);
  }

 private slots:
  // Exactly as a surveyor types: the counts with Enter, Tab Tab into the
  // points table, the values with Enter, Tab into the observation table.
  void fieldBookTypedIntoAnEmptyWindowAdjustsAtOnce() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    f.typeCounts("2", "2", "5", "1");
    f.key(Qt::Key_Tab);
    f.key(Qt::Key_Tab);
    QVERIFY(w.input().pointTable()->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(w.input().pointTable()->currentRow(), 1);
    QCOMPARE(w.input().pointTable()->currentColumn(), 1);
    typeRows(f, kPoints, 4);
    f.key(Qt::Key_Tab);
    QVERIFY(w.input().observationTable()->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(w.input().observationTable()->currentRow(), 1);
    QCOMPARE(w.input().observationTable()->currentColumn(), 1);
    typeRows(f, kObservations, 5);
    QCOMPARE(f.boxes.calls.size(), std::size_t(0));
    for (int r = 1; r <= 4; ++r)
      for (int c = 0; c < 2; ++c) QCOMPARE(w.input().pointTable()->cellText(r, c + 1), kPoints[r - 1][c]);
    for (int r = 1; r <= 5; ++r)
      for (int c = 0; c < 4; ++c) QCOMPARE(w.input().observationTable()->cellText(r, c + 1), kObservations[r - 1][c]);
    f.key(Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(w.reportView()->toPlainText(), shown(expectedReport()));
    QCOMPARE(f.boxes.warnings(), 0);
  }

  // A placed current cell is kept when the focus comes back by Tab.
  void tabKeepsACellTheUserPlaced() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    f.typeCounts("2", "2", "5", "1");
    pressCell(*w.input().pointTable(), 3, 2);
    f.key(Qt::Key_Escape);
    w.input().knownCountEdit()->setFocus(Qt::TabFocusReason);
    f.key(Qt::Key_Tab);
    QCOMPARE(w.input().pointTable()->currentRow(), 3);
    QCOMPARE(w.input().pointTable()->currentColumn(), 2);
  }

  // A value typed but not yet Entered is what 平差, 保存 and closing use.
  void aValueStillInTheEditorIsUsed_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("平差 clicked") << "run";
    QTest::newRow("Alt+R") << "alt+r";
    QTest::newRow("保存") << "save";
    QTest::newRow("closing, 是") << "close";
  }
  void aValueStillInTheEditorIsUsed() {
    QFETCH(QString, command);
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    openNine(f);
    pressCell(*w.input().observationTable(), 2, 4);  // route length 0.8 of P1→P2
    w.input().observationCellEditor()->selectAll();
    f.type("9.9");
    QVERIFY(w.input().observationCellEditor()->isVisible());
    if (command == "run" || command == "alt+r") {
      if (command == "run")
        w.input().adjustButton()->click();
      else
        f.key(Qt::Key_R, Qt::AltModifier);
      levelnet::NetworkText net;
      levelnet::applyProject(levelnet::parseProjectBytes(nineLineFile().toStdString(), "nine"), net.fields, net.points,
                             net.observations);
      net.observations.setText(2, 4, "9.9");
      QTRY_COMPARE(w.reportView()->toPlainText(),
                   shown(levelnet::runAdjustment(net.fields, net.points, net.observations)));
    } else {
      f.dialogs.answers.push_back(path("saved.pc"));
      f.boxes.answer = SaveAnswer::save;
      if (command == "save")
        w.input().saveButton()->click();
      else
        QVERIFY(w.close());
      QVERIFY2(fileBytes(path("saved.pc")).contains("P1,P2,0.4560,9.9\r\n"), fileBytes(path("saved.pc")).constData());
    }
    QCOMPARE(w.input().observationTable()->cellText(2, 4), QStringLiteral("9.9"));
    QVERIFY(w.input().observationCellEditor()->isHidden());
  }

  // Open with unsaved changes asks as New does; 取消 shows no file dialog.
  void openAsksWithUnsavedChanges_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("dialogs");
    QTest::newRow("取消") << int(SaveAnswer::cancel) << 1;
    QTest::newRow("不保存") << int(SaveAnswer::discard) << 2;
  }
  void openAsksWithUnsavedChanges() {
    QFETCH(int, answer);
    QFETCH(int, dialogs);
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    openNine(f);
    QCOMPARE(f.boxes.questions(), 0);  // nothing changed yet
    pressCell(*w.input().pointTable(), 1, 1);
    f.type("X");
    f.boxes.answer = SaveAnswer(answer);
    w.input().openButton()->click();  // the open dialog is cancelled when shown
    QCOMPARE(f.boxes.questions(), 1);
    QCOMPARE(f.boxes.calls[0].text, QStringLiteral("是否保存对当前网的修改？"));
    QVERIFY(f.boxes.kinds[0] == SaveQuestion::replacing);
    QCOMPARE(int(f.dialogs.calls.size()), dialogs);
    QCOMPARE(w.input().pointTable()->cellText(1, 1), QStringLiteral("X"));  // typing after a press replaces
  }

  void reportBoxIsReadOnlyButCopyable() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    openNine(f);
    w.input().adjustButton()->click();
    const QString report = w.reportView()->toPlainText();
    QVERIFY(!report.isEmpty());
    w.reportView()->setFocus();
    f.key(Qt::Key_A, Qt::ControlModifier);
    f.type("x");
    f.key(Qt::Key_Delete);
    QCOMPARE(w.reportView()->toPlainText(), report);
    QVERIFY(w.reportView()->textCursor().hasSelection());  // Ctrl+A selected it, for copying
    std::unique_ptr<QMenu> menu(w.reportView()->createStandardContextMenu());
    for (QAction* action : menu->actions()) {
      if (action->text().contains(QStringLiteral("粘贴")) || action->text().contains("Paste"))
        QVERIFY2(!action->isEnabled() || !action->isVisible(), qPrintable(action->text()));
    }
  }

  // The title names the current file (or 未命名) and shows "*" while changed;
  // New forgets the file, so Save asks for a new name.
  void titleFollowsTheFileAndTheChanges() {
    WindowFixture f;
    QVERIFY(f.ready());
    MainWindow& w = *f.window;
    QCOMPARE(w.windowTitle(), kTitle + " - [未命名]");
    openNine(f);
    QCOMPARE(w.windowTitle(), kTitle + " - [" + path("nine.pc") + "]");
    f.typeInto(w.input().unitLengthEdit(), "0");
    QCOMPARE(w.windowTitle(), kTitle + " - [" + path("nine.pc") + "]*");
    f.dialogs.answers.push_back(path("other.pc"));
    w.input().saveButton()->click();
    QCOMPARE(w.windowTitle(), kTitle + " - [" + path("other.pc") + "]");
    QVERIFY(!w.isModified());
    w.input().newButton()->click();
    QCOMPARE(f.boxes.questions(), 0);  // saved: nothing to ask
    QCOMPARE(w.windowTitle(), kTitle + " - [未命名]");
    w.input().saveButton()->click();  // cancelled
    QCOMPARE(f.dialogs.calls.back().startName, QString());
  }

  // The words of the file dialog come from Qt's Chinese translation.
  void fileDialogWordsAreChinese() {
    if (QCoreApplication::translate("QPlatformTheme", "Cancel") != QStringLiteral("取消"))
      QSKIP("Qt's Chinese translation is not installed");
    QVERIFY(QCoreApplication::translate("QFileDialog", "File &name:").startsWith(QStringLiteral("文件名称")));
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), QStringLiteral("文件夹"));
    // Sizes and dates are written in the system locale.
    QCOMPARE(QLocale::system().language(), QLocale::Chinese);
    QVERIFY2(!QLocale::system().formattedDataSize(100).contains("bytes"),
             qPrintable(QLocale::system().formattedDataSize(100)));
    QCOMPARE(QLocale().language(), QLocale::Chinese);
  }

  // The real file dialog's columns (名称, 大小, 类型, 修改日期) are as wide as
  // their headers at least: no header is cut.
  void fileDialogColumnsShowTheirHeaders() {
    QTemporaryDir dir;
    for (const char* name : {"a.csv", "成果表.csv", "b.pc"}) QVERIFY(writeBytes(dir.filePath(name), nineLineFile()));
    // The program's font, as levelnet-gui sets it for its dialogs.
    const QFont font = QApplication::font();
    QApplication::setFont(songFont(9));
    QtFileDialogs dialogs;
    QWidget parent;
    int columns = 0, cut = 0;
    QString cutHeaders;
    QTimer::singleShot(500, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      if (!qEnvironmentVariableIsEmpty("LEVELNET_UI_SHOTS"))
        dialog->grab().save(qEnvironmentVariable("LEVELNET_UI_SHOTS") + "/file_dialog.png");
      for (QTreeView* view : dialog->findChildren<QTreeView*>()) {
        QHeaderView* header = view->header();
        for (int c = 0; c < header->count(); ++c) {
          if (header->isSectionHidden(c)) continue;
          ++columns;
          if (header->sectionSize(c) < header->sectionSizeHint(c)) {
            ++cut;
            cutHeaders += header->model()->headerData(c, Qt::Horizontal).toString() + u' ';
          }
        }
      }
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QVERIFY(!dialogs.saveFileAs(&parent, QStringLiteral("导出成果表"), {QStringLiteral("CSV (*.csv)")},
                                dir.filePath("x.csv")));
    QApplication::setFont(font);
    if (columns == 0) QSKIP("the platform's own file dialog is used here");
    QCOMPARE(cut, 0);
    QVERIFY2(cutHeaders.isEmpty(), qPrintable(cutHeaders));
  }
};

int main(int argc, char** argv) {
  levelnet::ui::preferChineseSystemLocale();
  QApplication app(argc, argv);
  levelnet::ui::installChineseTranslations(app);
  FieldBookTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "field_book_test.moc"
