#include "ui/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>

namespace levelnet::ui {

namespace {

std::optional<QString> runFileDialog(QWidget* parent, const QString& filter, const QString& fileName,
                                     QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(QString());
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
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

namespace {

// The suffixes a filter such as "Excel 工作簿 (*.xlsx)" names.
QStringList filterSuffixes(const QString& filter) {
  QStringList suffixes;
  static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
  for (auto it = pattern.globalMatch(filter); it.hasNext();) suffixes << it.next().captured(1).toLower();
  return suffixes;
}

}  // namespace

std::optional<ChosenFile> FileDialogs::saveFileAs(QWidget* parent, const QString&, const QStringList& filters,
                                                  const QString& fileName) {
  const std::optional<QString> path = saveFileName(parent, filters.join(QStringLiteral(";;")), fileName);
  if (!path) return std::nullopt;
  const QString suffix = QFileInfo(*path).suffix().toLower();
  for (int i = 0; i < filters.size(); ++i)
    if (filterSuffixes(filters[i]).contains(suffix)) return ChosenFile{*path, i};
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
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace levelnet::ui
