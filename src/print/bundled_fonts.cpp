#include "print/bundled_fonts.h"

#ifdef _WIN32
#include <windows.h>

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#endif

namespace levelnet::print {

#ifdef _WIN32
namespace {

// The folder `fonts` beside the running program, from its wide module name
// (the program folder may have a Chinese name).
QString bundledFontFolder() {
  wchar_t self[32768];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
  if (length == 0 || length >= std::size(self)) return {};
  const QString program = QString::fromWCharArray(self, static_cast<qsizetype>(length));
  return QFileInfo(program).absolutePath() + QStringLiteral("/fonts");
}

}  // namespace

void prepareBundledFonts() {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) return;
  const QString folder = bundledFontFolder();
  if (!folder.isEmpty() && QFileInfo(folder).isDir())
    qputenv("QT_QPA_FONTDIR", QDir::toNativeSeparators(folder).toUtf8());
}

void addBundledFonts() {
  const QString folder = bundledFontFolder();
  if (folder.isEmpty()) return;
  const QStringList files = QDir(folder).entryList(
      {QStringLiteral("*.ttf"), QStringLiteral("*.ttc"), QStringLiteral("*.otf")}, QDir::Files, QDir::Name);
  for (const QString& file : files) QFontDatabase::addApplicationFont(folder + QLatin1Char('/') + file);
}
#else
void prepareBundledFonts() {}
void addBundledFonts() {}
#endif

}  // namespace levelnet::print
