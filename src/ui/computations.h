// 平差, 检核 and 设计 in the window: each runs on a copy of the session's network
// off the window's thread, and the outcome is adopted by the session and
// shown in the tabs (the report, the 成果表, the check report).
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "ui/deliverables.h"

class QWidget;

namespace levelnet::session {
class Session;
}

namespace levelnet::ui {

class MessageBoxes;
class ResultTabs;

class Computations : public QObject {
  Q_OBJECT

 public:
  // `documentName` names the network in the check report's file line.
  // Everything given must outlive this.
  Computations(session::Session& session, ResultTabs& tabs, MessageBoxes& boxes, QWidget* window, WindowHooks hooks,
               std::function<QString()> documentName);

  // An empty known-point count adjusts nothing and says nothing.
  void adjust();
  // With the 检核 tab's settings, and the field books' station checks when
  // the network was imported from them.
  void check();
  // 设计 (精度预估) of the tables as they are (observed values may be
  // empty) with the 设计 tab's settings, the routes unticked there left out.
  void design();

 private:
  void warn(const QString& text);

  session::Session& session_;
  ResultTabs& tabs_;
  MessageBoxes& boxes_;
  QWidget* window_;
  WindowHooks hooks_;
  std::function<QString()> documentName_;
};

}  // namespace levelnet::ui
