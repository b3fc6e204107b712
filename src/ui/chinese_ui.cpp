#include "ui/chinese_ui.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace levelnet::ui {

namespace {

const QString kSong = QStringLiteral("宋体");

// Song (Ming) typefaces with Simplified Chinese glyphs, best first.
const QStringList kSongFaces = {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK TC")};

// Faces for the report, in order of preference: the window's Song face when
// its columns line up, else a monospaced CJK face.
const QStringList kReportFaces = {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans Mono CJK SC"),
                                  QStringLiteral("Noto Sans Mono CJK TC"), QStringLiteral("Noto Serif CJK SC")};

void mapSong() {
  static const bool mapped = [] {
    QStringList installed;
    const QStringList families = QFontDatabase::families();
    for (const QString& face : kSongFaces)
      if (families.contains(face)) installed << face;
    if (!installed.isEmpty()) QFont::insertSubstitutions(kSong, installed);
    return true;
  }();
  (void)mapped;
}

// Texts of Qt 6 that Debian's qtbase_zh_CN.qm does not translate yet.
class MissingQtTranslations : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                    int n = -1) const override {
    Q_UNUSED(disambiguation);
    Q_UNUSED(n);
    if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return QString();
    static const struct {
      const char* source;
      const char* chinese;
    } kWords[] = {{"Folder", "文件夹"}, {"File", "文件"},         {"%1 File", "%1 文件"}, {"Drive", "驱动器"},
                  {"Alias", "别名"},    {"Shortcut", "快捷方式"}, {"Unknown", "未知"}};
    for (const auto& w : kWords)
      if (qstrcmp(sourceText, w.source) == 0) return QString::fromUtf8(w.chinese);
    return QString();
  }
};

bool isChineseLocaleName(const QByteArray& name) { return name.startsWith("zh_CN") || name.startsWith("zh_SG"); }

}  // namespace

void preferChineseSystemLocale() {
  // Qt reads the system locale from LC_ALL, then the category, then LANG.
  const QByteArray all = qgetenv("LC_ALL");
  const QByteArray lang = qgetenv("LANG");
  if (isChineseLocaleName(all) || (all.isEmpty() && isChineseLocaleName(lang))) return;
  qputenv("LC_ALL", "zh_CN.UTF-8");
}

void installChineseTranslations(QCoreApplication& app) {
  app.installTranslator(new MissingQtTranslations(&app));
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* name : {"qt_zh_CN", "qtbase_zh_CN"}) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QString::fromLatin1(name), dir)) {
      app.installTranslator(translator);
    } else {
      delete translator;
    }
  }
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

QString songFamily() {
  mapSong();
  return kSong;
}

QFont songFont(double points) {
  QFont font(songFamily());
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  return font;
}

bool columnsLineUp(const QFont& font) {
  const QFontMetricsF metrics(font);
  const qreal digit = metrics.horizontalAdvance(QLatin1Char('0'));
  for (QChar c : QStringLiteral(" 0123456789-.mP"))
    if (metrics.horizontalAdvance(c) != digit) return false;
  return metrics.horizontalAdvance(QStringLiteral("水准点")) == 6 * digit;
}

QFont reportFont() {
  const QStringList families = QFontDatabase::families();
  for (const QString& face : kReportFaces) {
    if (!families.contains(face)) continue;
    QFont font(face);
    font.setPointSizeF(10.5);
    if (columnsLineUp(font)) return font;
  }
  QFont font = songFont(10.5);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

}  // namespace levelnet::ui
