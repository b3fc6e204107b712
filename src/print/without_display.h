// The PDF and PNG makers of a program without a window (levelnet-pdf):
// Qt Gui needs a QGuiApplication, which is made for the call on Qt's
// offscreen platform, so no display is needed.
#pragma once

#include <functional>
#include <string>

namespace levelnet::print {

// Runs `make` with a QGuiApplication: the program's own when it has one,
// else one made for the call (QT_QPA_PLATFORM set to "offscreen" for the
// process first). Meanwhile Qt's notes and warnings are kept off standard
// error; critical and fatal messages still go out. With SOURCE_DATE_EPOCH
// Qt's hash seed is fixed before Qt makes any hash table: Qt embeds a PDF's
// fonts in the order of a hash table, so the same PDF comes out on every run.
std::string withoutDisplay(const std::function<std::string()>& make);

}  // namespace levelnet::print
