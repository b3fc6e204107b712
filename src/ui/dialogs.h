// The file dialog and the message boxes the window uses, behind small
// interfaces so tests can answer them; the real ones are Qt's.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace levelnet::ui {

// The common file dialog shared by Open and Save.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Shows an open (save) dialog with the name filter `filter` in Qt's form
  // ("平差文件 (*.pc)"), starting with `fileName` chosen. Returns the chosen
  // full path, or nothing when the dialog was cancelled or closed. The save
  // dialog adds no extension to a name typed without one.
  virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter, const QString& fileName) = 0;
  virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter, const QString& fileName) = 0;
};

// Modal message boxes.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A question with no icon and the buttons Yes and No, Yes the default;
  // true when the user answered Yes.
  virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
  // A warning with one button.
  virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;
};

class QtFileDialogs : public FileDialogs {
 public:
  std::optional<QString> openFileName(QWidget* parent, const QString& filter, const QString& fileName) override;
  std::optional<QString> saveFileName(QWidget* parent, const QString& filter, const QString& fileName) override;
};

class QtMessageBoxes : public MessageBoxes {
 public:
  bool askYesNo(QWidget* parent, const QString& title, const QString& text) override;
  void warn(QWidget* parent, const QString& title, const QString& text) override;
};

}  // namespace levelnet::ui
