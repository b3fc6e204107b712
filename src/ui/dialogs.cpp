#include "ui/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace levelnet::ui {

namespace {

// Qt's own file dialog lists the files in a tree view whose columns start
// narrower than their Chinese headers (名称, 大小, 类型, 修改日期): every column
// is made as wide as its header at least.
void showWholeHeaders(QFileDialog& dialog) {
  const auto widen = [&dialog] {
    for (QTreeView* view : dialog.findChildren<QTreeView*>()) {
      QHeaderView* header = view->header();
      for (int c = 0; c < header->count(); ++c)
        header->resizeSection(c, std::max(header->sectionSize(c), header->sectionSizeHint(c)));
    }
  };
  // The dialog sizes its columns once it is shown (from its saved state):
  // they are widened after that, and again once a folder is listed.
  QTimer::singleShot(0, &dialog, widen);
  QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                   [&dialog, widen] { QTimer::singleShot(0, &dialog, widen); });
}

std::optional<QString> runFileDialog(QWidget* parent, const QString& filter, const QString& fileName,
                                     QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(QString());
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  showWholeHeaders(dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.first();
}

}  // namespace

std::optional<QString> QtFileDialogs::openFileName(QWidget* parent, const QString& filter, const QString& fileName) {
  return runFileDialog(parent, filter, fileName, QFileDialog::AcceptOpen);
}

std::optional<QString> QtFileDialogs::saveFileName(QWidget* parent, const QString& filter, const QString& fileName) {
  return runFileDialog(parent, filter, fileName, QFileDialog::AcceptSave);
}

std::optional<ChosenFile> FileDialogs::saveFileAs(QWidget* parent, const QString&, const QStringList& filters,
                                                  const QString& fileName) {
  const std::optional<QString> path = saveFileName(parent, filters.join(QStringLiteral(";;")), fileName);
  if (!path) return std::nullopt;
  return ChosenFile{*path, 0};
}

std::optional<QStringList> FileDialogs::openFileNames(QWidget* parent, const QString& filter, const QString& fileName) {
  const std::optional<QString> path = openFileName(parent, filter, fileName);
  if (!path) return std::nullopt;
  return QStringList{*path};
}

std::optional<QStringList> QtFileDialogs::openFileNames(QWidget* parent, const QString& filter,
                                                        const QString& fileName) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilter(filter);
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  showWholeHeaders(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles();
}

std::optional<QString> MessageBoxes::askText(QWidget* parent, const QString& title, const QString& label,
                                             const QString& text) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setLabelText(label);
  dialog.setTextValue(text);
  dialog.setOkButtonText(QStringLiteral("确定"));
  dialog.setCancelButtonText(QStringLiteral("取消"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

std::optional<int> MessageBoxes::askChoice(QWidget* parent, const QString& title, const QString& text,
                                           const QStringList& answers) {
  QMessageBox box(QMessageBox::Question, title, readableText(text), QMessageBox::NoButton, parent);
  std::vector<QAbstractButton*> buttons;
  for (const QString& answer : answers) buttons.push_back(box.addButton(answer, QMessageBox::AcceptRole));
  QAbstractButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
  box.setEscapeButton(cancel);
  if (!buttons.empty()) box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
  return std::nullopt;
}

bool FileDialogs::choosePrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("打印"));
  return dialog.exec() == QDialog::Accepted;
}

std::optional<ChosenFile> QtFileDialogs::saveFileAs(QWidget* parent, const QString& title, const QStringList& filters,
                                                    const QString& fileName) {
  QFileDialog dialog(parent, title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  showWholeHeaders(dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return ChosenFile{chosen.first(), std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())))};
}

SaveAnswer QtMessageBoxes::askToSave(QWidget* parent, const QString& title, const QString& text, SaveQuestion kind) {
  const bool closing = kind == SaveQuestion::closing;
  const QMessageBox::StandardButton saveButton = closing ? QMessageBox::Yes : QMessageBox::Save;
  const QMessageBox::StandardButton discardButton = closing ? QMessageBox::No : QMessageBox::Discard;
  QMessageBox box(QMessageBox::NoIcon, title, text, saveButton | discardButton | QMessageBox::Cancel, parent);
  if (!closing) {
    // Qt's own words for Save and Discard vary with the platform's style.
    box.button(QMessageBox::Save)->setText(QStringLiteral("保存(&S)"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("不保存(&N)"));
  }
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  box.setDefaultButton(saveButton);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == box.button(saveButton)) return SaveAnswer::save;
  if (box.clickedButton() == box.button(discardButton)) return SaveAnswer::discard;
  return SaveAnswer::cancel;
}

void QtMessageBoxes::warn(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, readableText(text), QMessageBox::Ok, parent);
  box.exec();
}

QString readableText(const QString& text) {
  // Chinese has no blanks between words, so Qt may break a line between any
  // two ideographs, also inside a word (只|读). A word joiner between two
  // ideographs keeps such a run whole; lines break at punctuation, blanks
  // and Latin words instead.
  QString out;
  out.reserve(text.size() + text.size() / 2);
  const auto ideograph = [](QChar c) { return c.unicode() >= 0x3400 && c.unicode() <= 0x9FFF; };
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (i > 0 && ideograph(text[i - 1]) && ideograph(text[i])) out += QChar(0x2060);
    out += text[i];
  }
  return out;
}

}  // namespace levelnet::ui
