// levelnet-gui: the window.
//   levelnet-gui [FILE.pc]                       opens the window, FILE loaded as by Open
//   levelnet-gui --screenshot OUT.png [--adjust] [--check GRADE] [--design SIGMA] [--tab
//   report|results|check|plot|design]
//                [--size WIDTHxHEIGHT] [FILE.pc]
//                                                builds the window off-screen, optionally
//                                                runs Adjust and the check, shows a tab,
//                                                writes a PNG of it and exits
#ifdef _WIN32
#include <windows.h>

// After windows.h, whose types it needs.
#include <shellapi.h>
#endif

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QHashSeed>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "network/safe_file.h"
#include "print/bundled_fonts.h"
#include "ui/check_pane.h"
#include "ui/chinese_ui.h"
#include "ui/design_pane.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/network_view.h"

namespace {

const char* const kUsage =
    "usage: levelnet-gui [FILE.pc]\n"
    "       levelnet-gui --screenshot OUT.png [--adjust] [--check GRADE] [--design SIGMA] [--tab "
    "report|results|check|plot|design]\n"
    "                    [--size WIDTHxHEIGHT] [FILE.pc]\n";

// Off-screen nobody can answer a message box: its text goes to standard
// error. Whether a command failed is told by its outcome, not by the box: a
// note (a file read as UTF-8, a duplicate name) is no failure.
class ConsoleMessageBoxes : public levelnet::ui::MessageBoxes {
 public:
  levelnet::ui::SaveAnswer askToSave(QWidget*, const QString&, const QString&, levelnet::ui::SaveQuestion) override {
    return levelnet::ui::SaveAnswer::discard;
  }
  void warn(QWidget*, const QString& title, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
  }
};

struct Options {
  std::string screenshot;
  bool adjust = false;
  std::string checkGrade;   // run the check with this grade
  std::string designSigma;  // run 设计 with this σ per km
  int tab = 0;              // 0 报告, 1 成果表, 2 检核, 3 网图, 4 设计
  int width = 0, height = 0;
  std::string file;
};

// A file name from the command line: the system's encoding, or UTF-8 on
// Windows, where the names come from the wide command line.
QString fileArgument(const std::string& name) {
#ifdef _WIN32
  return QString::fromStdString(name);
#else
  return QString::fromLocal8Bit(name.c_str());
#endif
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--screenshot") == 0 && i + 1 < argc && options.screenshot.empty()) {
      options.screenshot = argv[++i];
    } else if (std::strcmp(arg, "--adjust") == 0) {
      options.adjust = true;
    } else if (std::strcmp(arg, "--check") == 0 && i + 1 < argc) {
      options.checkGrade = argv[++i];
    } else if (std::strcmp(arg, "--design") == 0 && i + 1 < argc) {
      options.designSigma = argv[++i];
    } else if (std::strcmp(arg, "--tab") == 0 && i + 1 < argc) {
      const std::string tab = argv[++i];
      if (tab == "report")
        options.tab = 0;
      else if (tab == "results")
        options.tab = 1;
      else if (tab == "check")
        options.tab = 2;
      else if (tab == "plot")
        options.tab = 3;
      else if (tab == "design")
        options.tab = 4;
      else
        return false;
    } else if (std::strcmp(arg, "--size") == 0 && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2 || options.width < 100 ||
          options.height < 100 || options.width > 10000 || options.height > 10000)
        return false;
    } else if (arg[0] != '-' && options.file.empty()) {
      options.file = arg;
    } else {
      return false;
    }
  }
  const bool screenshotOnly = options.adjust || !options.checkGrade.empty() || !options.designSigma.empty() ||
                              options.tab != 0 || options.width != 0;
  return !screenshotOnly || !options.screenshot.empty();
}

}  // namespace

int main(int argc, char** argv) {
  // Qt embeds a PDF's fonts in the order of a hash table whose seed is
  // random in each process; with SOURCE_DATE_EPOCH the seed is fixed before
  // Qt makes any hash table, so that an exported PDF is the same file on
  // every run.
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) QHashSeed::setDeterministicGlobalSeed();
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!options.screenshot.empty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");

  levelnet::ui::preferChineseSystemLocale();
  levelnet::print::prepareBundledFonts();
  QApplication app(argc, argv);
  levelnet::print::addBundledFonts();
#ifdef _WIN32
  // argv holds the arguments in the ANSI code page, which has no room for
  // many a Chinese file name: they are read again from the wide command
  // line, as UTF-8, which the program's file functions take.
  {
    std::vector<std::string> wide;
    int count = 0;
    if (LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
      for (int i = 0; i < count; ++i) wide.push_back(QString::fromWCharArray(arguments[i]).toStdString());
      ::LocalFree(arguments);
    }
    std::vector<char*> pointers;
    for (std::string& argument : wide) pointers.push_back(argument.data());
    Options reread;
    if (static_cast<int>(pointers.size()) == argc && parseOptions(argc, pointers.data(), reread)) options = reread;
  }
#endif
  QCoreApplication::setOrganizationName(QStringLiteral("levelnet"));
  QCoreApplication::setApplicationName(QStringLiteral("levelnet"));
  levelnet::ui::installChineseTranslations(app);
  // The message boxes and the file dialog are windows of their own and take
  // the application's font, not the main window's.
  QApplication::setFont(levelnet::ui::songFont(9));

  if (options.screenshot.empty()) {
    levelnet::ui::MainWindow window;
    window.show();
    if (!options.file.empty()) window.openFile(fileArgument(options.file));
    return app.exec();
  }

  // A screenshot shows the window as it first opens: no remembered size or files.
  QTemporaryDir settingsDir;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
  ConsoleMessageBoxes boxes;
  levelnet::ui::MainWindow window(nullptr, &boxes);
  if (options.width != 0) window.resize(options.width, options.height);
  if (!options.file.empty() && !window.openFile(fileArgument(options.file))) return 1;
  if (options.adjust) {
    window.onAdjust();
    if (window.reportView()->toPlainText().isEmpty()) return 1;  // refused; the message went to standard error
  }
  if (!options.checkGrade.empty()) {
    const int grade = window.checkPane().gradeBox()->findText(QString::fromStdString(options.checkGrade));
    if (grade < 0) {
      std::fprintf(stderr, "levelnet-gui: 没有等级“%s”\n", options.checkGrade.c_str());
      return 2;
    }
    window.checkPane().gradeBox()->setCurrentIndex(grade);
    window.onCheck();
    if (window.checkPane().view()->toPlainText().isEmpty()) return 1;
  }
  if (!options.designSigma.empty()) {
    window.designPane().sigmaEdit()->setText(QString::fromStdString(options.designSigma));
    window.onDesign();
    if (window.session().design() == nullptr) return 1;
  }
  window.resultTabs()->setCurrentIndex(options.tab);
  window.show();
  QApplication::processEvents();
  // The 网图 is fitted to its tab once the window has its size.
  if (options.tab == 3) {
    // A large network is laid out on a worker thread: the shot waits for it.
    while (window.networkView().drawingInProgress()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    window.networkView().fitToWindow();
    QApplication::processEvents();
  }
  const QPixmap shot = window.grab();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!shot.save(&buffer, "PNG")) {
    std::fprintf(stderr, "levelnet-gui: 无法生成截图\n");
    return 1;
  }
  try {
    levelnet::saveFileSafely(options.screenshot,
                             std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "levelnet-gui: %s\n", e.what());
    return 1;
  }
  return 0;
}
