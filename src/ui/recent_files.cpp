#include "ui/recent_files.h"

#include <QMenu>
#include <QSettings>

namespace levelnet::ui {

namespace {

const QString kRecentKey = QStringLiteral("recentFiles");

}  // namespace

RecentFiles::RecentFiles(QMenu* menu, std::function<void(const QString&)> open, QObject* parent)
    : QObject(parent), menu_(menu), open_(std::move(open)) {
  updateMenu();
}

QStringList RecentFiles::files() const { return QSettings().value(kRecentKey).toStringList(); }

void RecentFiles::remember(const QString& path) {
  QStringList list = files();
  list.removeAll(path);
  list.prepend(path);
  while (list.size() > kCount) list.removeLast();
  store(list);
}

void RecentFiles::forget(const QString& path) {
  QStringList list = files();
  list.removeAll(path);
  store(list);
}

void RecentFiles::store(const QStringList& list) {
  QSettings().setValue(kRecentKey, list);
  updateMenu();
}

void RecentFiles::updateMenu() {
  menu_->clear();
  const QStringList list = files();
  for (int i = 0; i < list.size(); ++i) {
    const QString path = list[i];
    QAction* a = menu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
    connect(a, &QAction::triggered, this, [this, path] { open_(path); });
  }
  menu_->setEnabled(!list.isEmpty());
}

}  // namespace levelnet::ui
