// levelnet-gui: the window.
//   levelnet-gui [FILE.pc]                       opens the window, FILE loaded as by Open
//   levelnet-gui --screenshot OUT.png [--adjust] [FILE.pc]
//                                                builds the window off-screen, optionally
//                                                runs Adjust, writes a PNG of it and exits
#include <QApplication>
#include <QBuffer>
#include <QPixmap>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "network/safe_file.h"
#include "ui/chinese_ui.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"

namespace {

const char* const kUsage =
    "usage: levelnet-gui [FILE.pc]\n"
    "       levelnet-gui --screenshot OUT.png [--adjust] [FILE.pc]\n";

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
  std::string file;
};

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--screenshot") == 0 && i + 1 < argc && options.screenshot.empty()) {
      options.screenshot = argv[++i];
    } else if (std::strcmp(arg, "--adjust") == 0) {
      options.adjust = true;
    } else if (arg[0] != '-' && options.file.empty()) {
      options.file = arg;
    } else {
      return false;
    }
  }
  return !options.adjust || !options.screenshot.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!options.screenshot.empty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");

  levelnet::ui::preferChineseSystemLocale();
  QApplication app(argc, argv);
  levelnet::ui::installChineseTranslations(app);
  // The message boxes and the file dialog are windows of their own and take
  // the application's font, not the main window's.
  QApplication::setFont(levelnet::ui::songFont(9));

  if (options.screenshot.empty()) {
    levelnet::ui::MainWindow window;
    window.show();
    if (!options.file.empty()) window.openFile(QString::fromLocal8Bit(options.file.c_str()));
    return app.exec();
  }

  ConsoleMessageBoxes boxes;
  levelnet::ui::MainWindow window(nullptr, &boxes);
  if (!options.file.empty() && !window.openFile(QString::fromLocal8Bit(options.file.c_str()))) return 1;
  if (options.adjust) {
    window.onAdjust();
    if (window.reportView->toPlainText().isEmpty()) return 1;  // refused; the message went to standard error
  }
  window.show();
  QApplication::processEvents();
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
