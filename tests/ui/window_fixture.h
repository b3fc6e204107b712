// A window with scripted dialogs, shown off-screen and active, and helpers
// that type into whatever has the keyboard focus, as a user would.
#pragma once

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "scripted_dialogs.h"
#include "ui/cell_grid.h"
#include "ui/check_pane.h"
#include "ui/chinese_ui.h"
#include "ui/input_pane.h"
#include "ui/keyed_line_edit.h"
#include "ui/main_window.h"
#include "ui/results_view.h"

namespace levelnet::ui::testing {

// The window's settings (size, splitters, recent files) go to a folder of
// the test run, never the user's; each test starts with none.
inline void freshSettings() {
  static QTemporaryDir folder;
  QCoreApplication::setOrganizationName(QStringLiteral("levelnet-test"));
  QCoreApplication::setApplicationName(QStringLiteral("levelnet-test"));
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
  QSettings().clear();
}

struct WindowFixture {
  ScriptedFileDialogs dialogs;
  ScriptedMessageBoxes boxes;
  std::unique_ptr<MainWindow> window;

  // `keepSettings`: the window finds what an earlier window remembered.
  explicit WindowFixture(bool keepSettings = false)
      : window((keepSettings ? void() : freshSettings(), std::make_unique<MainWindow>(&dialogs, &boxes))) {
    window->show();
    window->activateWindow();
  }
  bool ready() { return QTest::qWaitForWindowActive(window.get()); }

  static QWidget* focus() { return QApplication::focusWidget(); }

  // Types `text` character by character into the focused widget.
  static void type(const QString& text) {
    for (QChar c : text) {
      QWidget* target = focus();
      QVERIFY(target != nullptr);
      if (c.unicode() < 0x80) {
        QTest::keyClick(target, c.toLatin1());
      } else {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
      }
    }
  }
  static void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = focus();
    QVERIFY(target != nullptr);
    QTest::keyClick(target, k, mods);
  }
  static void enter() { key(Qt::Key_Return); }

  // Types `text` at the end of a field, as a user who clicks into it does.
  static void typeInto(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->end(false);
    type(text);
  }

  // The four fields typed and Entered as a user does: 已知点, 待定点, 观测值, 单位权长度.
  void typeCounts(const QString& known, const QString& unknown, const QString& observations, const QString& unit) {
    window->input().knownCountEdit()->setFocus();
    type(known);
    enter();
    type(unknown);
    enter();
    type(observations);
    enter();
    type(unit);
  }
};

inline QByteArray fileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The nine-line network a user saves after typing it in, CR LF line ends.
inline QByteArray nineLineFile() {
  return QByteArray(
      "2,2,4,1\r\nBM1,10.000\r\nBM2,12.500\r\nP1,\r\nP2,\r\n"
      "BM1,P1,1.234,1.2\r\nP1,P2,0.456,0.8\r\nP2,BM2,0.812,1.5\r\nBM1,P2,1.688,2.0\r\n");
}

}  // namespace levelnet::ui::testing
