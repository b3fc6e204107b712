// The 沉降监测 window: the example project opened from the menu, its epochs,
// tables and curves; exports byte for byte as `levelnet monitor` writes
// them; a refused project told with its line and nothing replaced; no
// export over an epoch's file.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QProcess>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include "ui/monitoring_view.h"
#include "window_fixture.h"

using namespace levelnet::ui;
using namespace levelnet::ui::testing;

namespace {

const QString kProject = QStringLiteral(LEVELNET_EXAMPLES_DIR "/settlement/settlement.mon");

QByteArray contentsOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What the command line writes for the project in `format`.
QByteArray commandLine(const QString& format) {
  QProcess p;
  p.start(QStringLiteral(LEVELNET_CLI), {QStringLiteral("monitor"), QStringLiteral("--format"), format, kProject});
  p.waitForFinished(60000);
  return p.readAllStandardOutput();
}

}  // namespace

class MonitoringViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private slots:
  void opensTheExampleFromTheMenu() {
    WindowFixture f;
    QVERIFY(f.ready());
    f.dialogs.answers = {kProject};
    f.window->actions().monitoring->trigger();
    MonitoringView* view = f.window->findChild<MonitoringView*>();
    QVERIFY(view != nullptr);
    QVERIFY(view->chooseProject());
    QCOMPARE(f.boxes.warnings(), 0);
    QCOMPARE(view->epochList()->count(), 8);
    // BM2 moves in epoch 5 and stays moved.
    for (int i = 0; i < 8; ++i)
      QCOMPARE(view->epochList()->item(i)->text().contains(QStringLiteral("基准点移动")), i >= 4);
    QCOMPARE(view->tabs()->count(), 8);
    QCOMPARE(view->tabs()->tabText(0), QStringLiteral("曲线"));
    QCOMPARE(view->tabs()->tabText(3), QStringLiteral("沉降观测成果表"));
    auto* table = qobject_cast<QTableWidget*>(view->tabs()->widget(3));
    QVERIFY(table != nullptr);
    QCOMPARE(table->rowCount(), 10);
    QCOMPARE(table->item(6, 0)->text(), QStringLiteral("J7"));
    QCOMPARE(table->item(6, table->columnCount() - 1)->text(), QStringLiteral("预警"));
    QVERIFY(view->results()->anyWarning());
    // The curves are painted: more than the white page.
    view->resize(1000, 700);
    view->tabs()->setCurrentIndex(0);
    const QImage image = view->tabs()->widget(0)->grab().toImage();
    int coloured = 0;
    for (int y = 0; y < image.height(); y += 3)
      for (int x = 0; x < image.width(); x += 3) coloured += image.pixelColor(x, y) != QColor(Qt::white);
    QVERIFY2(coloured > 500, qPrintable(QString::number(coloured)));
  }

  void exportsWhatTheCommandLineWrites() {
    WindowFixture f;
    MonitoringView view(f.dialogs, f.boxes, f.window.get());
    QVERIFY(view.openProject(kProject));
    const struct {
      int filter;
      const char* name;
      const char* format;
    } exports[] = {{0, "m.txt", "txt"}, {1, "m.csv", "csv"}, {4, "m.json", "json"}};
    for (const auto& e : exports) {
      const QString path = dir_.filePath(QString::fromLatin1(e.name));
      QVERIFY(view.exportTo(path, e.filter));
      QCOMPARE(contentsOf(path), commandLine(QString::fromLatin1(e.format)));
    }
    const QString pdf = dir_.filePath(QStringLiteral("m.pdf"));
    QVERIFY(view.exportTo(pdf, 5));
    QVERIFY(contentsOf(pdf).startsWith("%PDF"));
    QCOMPARE(f.boxes.warnings(), 0);
  }

  void refusedProjectIsToldAndKeepsWhatWasShown() {
    WindowFixture f;
    MonitoringView view(f.dialogs, f.boxes, f.window.get());
    QVERIFY(view.openProject(kProject));
    QTemporaryDir folder;
    QFile::copy(QStringLiteral(LEVELNET_EXAMPLES_DIR "/settlement/epoch01.pc"),
                folder.filePath(QStringLiteral("a.pc")));
    QFile project(folder.filePath(QStringLiteral("p.mon")));
    QVERIFY(project.open(QIODevice::WriteOnly));
    project.write("基准点 = BM1, BM2, BM3\n期 = 2024-03-01, a.pc\n期 = 2024-02-01, a.pc\n");
    project.close();
    QVERIFY(!view.openProject(project.fileName()));
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY2(f.boxes.lastText().contains(QStringLiteral("第 3 行")), qPrintable(f.boxes.lastText()));
    QCOMPARE(view.epochList()->count(), 8);
  }

  void noExportOverAnEpoch() {
    WindowFixture f;
    QTemporaryDir folder;
    for (const char* name : {"epoch01.pc", "epoch02.pc"})
      QVERIFY(QFile::copy(QStringLiteral(LEVELNET_EXAMPLES_DIR "/settlement/") + QString::fromLatin1(name),
                          folder.filePath(QString::fromLatin1(name))));
    QFile project(folder.filePath(QStringLiteral("p.mon")));
    QVERIFY(project.open(QIODevice::WriteOnly));
    project.write("基准点 = BM1, BM2, BM3\n期 = 2024-03-01, epoch01.pc\n期 = 2024-03-21, epoch02.pc\n");
    project.close();
    MonitoringView view(f.dialogs, f.boxes, f.window.get());
    QVERIFY(view.openProject(project.fileName()));
    const QByteArray before = contentsOf(folder.filePath(QStringLiteral("epoch02.pc")));
    QVERIFY(!view.exportTo(folder.filePath(QStringLiteral("epoch02.pc")), 0));
    QCOMPARE(f.boxes.warnings(), 1);
    QCOMPARE(contentsOf(folder.filePath(QStringLiteral("epoch02.pc"))), before);
  }

  // 删除期 and 添加期 edit the project file through the safe save, and only
  // once the edited project has been read and run.
  void epochsRemovedAndAddedInTheFile() {
    WindowFixture f;
    QTemporaryDir folder;
    const QString examples = QStringLiteral(LEVELNET_EXAMPLES_DIR "/settlement/");
    for (const QString& name : QDir(examples).entryList(QDir::Files))
      QVERIFY(QFile::copy(examples + name, folder.filePath(name)));
    const QString project = folder.filePath(QStringLiteral("settlement.mon"));
    const QByteArray original = contentsOf(project);
    MonitoringView view(f.dialogs, f.boxes, f.window.get());
    QVERIFY(view.openProject(project));
    view.epochList()->setCurrentRow(7);
    f.boxes.choiceAnswers = {1};  // 取消
    QVERIFY(!view.removeSelectedEpoch());
    QCOMPARE(contentsOf(project), original);
    f.boxes.choiceAnswers = {0};
    QVERIFY(view.removeSelectedEpoch());
    QCOMPARE(view.epochList()->count(), 7);
    QVERIFY(!contentsOf(project).contains("epoch08.pc"));
    // Added back with its date and stage: the file as it was.
    f.dialogs.answers = {folder.filePath(QStringLiteral("epoch08.pc"))};
    f.boxes.textAnswers = {QStringLiteral("2024-11-16 08:50, 18")};
    QVERIFY(view.addEpoch());
    QCOMPARE(view.epochList()->count(), 8);
    QCOMPARE(contentsOf(project), original);
    QCOMPARE(f.boxes.warnings(), 0);
    // An epoch without a benchmark is refused before the file is touched.
    QFile bad(folder.filePath(QStringLiteral("bad.pc")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("1,1,2,1\r\nBM1,45.2130\r\nJ1,\r\nBM1,J1,0.6,0.1\r\nJ1,BM1,-0.6,0.1\r\n");
    bad.close();
    f.dialogs.answers = {bad.fileName()};
    f.boxes.textAnswers = {QStringLiteral("2024-12-01")};
    QVERIFY(!view.addEpoch());
    QCOMPARE(f.boxes.warnings(), 1);
    QVERIFY2(f.boxes.lastText().contains(QStringLiteral("没有基准点“BM2”")), qPrintable(f.boxes.lastText()));
    QCOMPARE(contentsOf(project), original);
  }
};

QTEST_MAIN(MonitoringViewTest)
#include "monitoring_view_test.moc"
