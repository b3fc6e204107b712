// What makes the window Chinese: Qt's own translation for the platform
// dialogs and buttons, and the fonts. The window is set in 宋体 (SimSun), the
// usual face of Chinese forms; the name is mapped to a Song (Ming) typeface
// found on the system.
#pragma once

#include <QFont>

class QCoreApplication;

namespace levelnet::ui {

// Loads Qt's Simplified Chinese translations (qt_zh_CN, qtbase_zh_CN) from
// Qt's translation directory, where present, and makes zh_CN the default
// locale for Qt's dialogs. Numbers in the window keep "." whatever the locale.
// Also installs Chinese words for the few texts of Qt 6's file dialog that
// that translation lacks (a file's kind: 文件夹, 文件, ...).
void installChineseTranslations(QCoreApplication& app);

// Makes the system locale Chinese for Qt (sizes and dates in the file
// dialog are written in the system locale), unless it already is. Call
// before the QApplication is created; the engine's numbers never depend on
// the locale.
void preferChineseSystemLocale();

// The family name the window uses, mapped on first use to the Song typefaces
// installed (AR PL UMing, Noto Serif CJK).
QString songFamily();

// 宋体 at `points` points.
QFont songFont(double points);

// The report view's font, 10.5 points: a typeface in which blanks and digits
// have one width and a Chinese character two, so the report's columns line
// up. A Song face where its columns do, else a monospaced CJK typeface when
// installed.
QFont reportFont();

}  // namespace levelnet::ui
