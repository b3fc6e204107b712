#include "print/without_display.h"

#include <QGuiApplication>
#include <QHashSeed>

#include <cstdlib>

#include "print/bundled_fonts.h"

namespace levelnet::print {

namespace {

QtMessageHandler previousHandler = nullptr;

void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if ((type == QtCriticalMsg || type == QtFatalMsg) && previousHandler) previousHandler(type, context, message);
}

}  // namespace

std::string withoutDisplay(const std::function<std::string()>& make) {
  if (QCoreApplication::instance()) return make();
  previousHandler = qInstallMessageHandler(quietMessages);
  struct RestoreHandler {
    ~RestoreHandler() { qInstallMessageHandler(previousHandler); }
  } restore;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  prepareBundledFonts();
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) QHashSeed::setDeterministicGlobalSeed();
  static int argc = 1;
  static char name[] = "levelnet";
  static char* argv[] = {name, nullptr};
  QGuiApplication application(argc, argv);
  addBundledFonts();
  return make();
}

}  // namespace levelnet::print
