// 文件 → 最近打开的文件: the files most recently opened or saved, newest
// first, at most 8, kept in the settings (QSettings) and listed in a menu.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QMenu;

namespace levelnet::ui {

class RecentFiles : public QObject {
  Q_OBJECT

 public:
  static constexpr int kCount = 8;

  // Lists the files in `menu`; choosing one calls `open` with its path.
  RecentFiles(QMenu* menu, std::function<void(const QString& path)> open, QObject* parent = nullptr);

  QStringList files() const;
  // Puts `path` first.
  void remember(const QString& path);
  // Takes `path` off the list (a file that no longer exists).
  void forget(const QString& path);

 private:
  void store(const QStringList& files);
  void updateMenu();

  QMenu* menu_;
  std::function<void(const QString&)> open_;
};

}  // namespace levelnet::ui
