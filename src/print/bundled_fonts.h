#pragma once

// The fonts the installer puts beside the programs on Windows.
//
// The report's columns line up only in the CJK faces of report_document.cpp
// (AR PL UMing, Noto Sans Mono CJK), which Windows does not have; the Windows
// installer ships one of them in the folder `fonts` beside the programs, so
// that the PDF has the same face, and therefore the same layout, as on Linux.
// Elsewhere the system's fonts serve and both calls do nothing.

#include <QFont>
#include <QString>

namespace levelnet::print {

// A face for the documents (the PDF report, the 网图 and the charts), laid
// out without hinting: glyph positions then follow the outlines alone, and
// do not depend on the platform's hinting settings (fontconfig's on Linux,
// none on Windows), so the PDF has the same bytes on both.
inline QFont documentFont(const QString& face) {
  QFont font(face);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// Before the QGuiApplication: the offscreen platform's font folder
// (QT_QPA_FONTDIR) is the bundled one unless the environment names another.
void prepareBundledFonts();

// After the QGuiApplication: the bundled fonts are added to the platform's
// own (the window's, on Windows).
void addBundledFonts();

}  // namespace levelnet::print
