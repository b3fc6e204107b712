// The file dialog and the message boxes the window uses, behind small
// interfaces so tests can answer them; the real ones are Qt's.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QPrinter;
class QWidget;

namespace levelnet::ui {

// A file chosen in a save dialog with several filters, and which filter was
// chosen (0 for the first).
struct ChosenFile {
  QString path;
  int filterIndex = 0;
};

// The dialogs that choose where data come from and go to: the common file
// dialog shared by Open and Save, the export dialogs and the printer.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Shows an open (save) dialog with the name filter `filter` in Qt's form
  // ("平差文件 (*.pc)"), starting with `fileName` chosen. Returns the chosen
  // full path, or nothing when the dialog was cancelled or closed. The save
  // dialog adds no extension to a name typed without one. The filter shows
  // its description alone ("平差文件").
  virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter, const QString& fileName) = 0;
  virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter, const QString& fileName) = 0;
  // A save dialog titled `title` offering `filters` (Qt's form, one each),
  // the first chosen at the start. Returns the name typed and the filter
  // chosen, whatever suffix the name has (as Qt's dialog does). By default
  // the save dialog above with the filters joined, the first filter chosen.
  virtual std::optional<ChosenFile> saveFileAs(QWidget* parent, const QString& title, const QStringList& filters,
                                               const QString& fileName);
  // The print dialog for `printer`; true when the user chose to print.
  virtual bool choosePrinter(QWidget* parent, QPrinter& printer);
  // An open dialog choosing one or more existing files; by default the
  // open dialog above, for one file.
  virtual std::optional<QStringList> openFileNames(QWidget* parent, const QString& filter, const QString& fileName);
};

// The answers to the question whether to save unsaved changes first.
enum class SaveAnswer { save, discard, cancel };

// How the question is put: on closing 是/否/取消, before New and Open
// 保存/不保存/取消. Either way the first saves, the second goes on without
// saving and the third (also Escape) keeps everything as it is.
enum class SaveQuestion { closing, replacing };

// Modal message boxes.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // The question whether to save first, with no icon, the saving answer the
  // default.
  virtual SaveAnswer askToSave(QWidget* parent, const QString& title, const QString& text, SaveQuestion kind) = 0;
  // A warning with one button.
  virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;
  // A line of text asked for, starting as `text`; nothing when cancelled.
  // Qt's input dialog by default.
  virtual std::optional<QString> askText(QWidget* parent, const QString& title, const QString& label,
                                         const QString& text);
  // A question with one button per answer (the first the default); the
  // index of the answer, nothing when cancelled (取消, Escape). A question
  // box by default.
  virtual std::optional<int> askChoice(QWidget* parent, const QString& title, const QString& text,
                                       const QStringList& answers);
};

class QtFileDialogs : public FileDialogs {
 public:
  std::optional<QString> openFileName(QWidget* parent, const QString& filter, const QString& fileName) override;
  std::optional<QString> saveFileName(QWidget* parent, const QString& filter, const QString& fileName) override;
  std::optional<ChosenFile> saveFileAs(QWidget* parent, const QString& title, const QStringList& filters,
                                       const QString& fileName) override;
  std::optional<QStringList> openFileNames(QWidget* parent, const QString& filter, const QString& fileName) override;
};

// A message's text as a message box shows it: lines break between words,
// never inside a Chinese word (word joiners between ideographs).
QString readableText(const QString& text);

class QtMessageBoxes : public MessageBoxes {
 public:
  SaveAnswer askToSave(QWidget* parent, const QString& title, const QString& text, SaveQuestion kind) override;
  void warn(QWidget* parent, const QString& title, const QString& text) override;
};

}  // namespace levelnet::ui
