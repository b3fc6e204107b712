#include "ui/cell_delegate.h"

#include "ui/keyed_line_edit.h"
#include "ui/table_model.h"

namespace levelnet::ui {

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const {
  return createEditor(parent);
}

KeyedLineEdit* CellDelegate::createEditor(QWidget* parent) const {
  auto* editor = new KeyedLineEdit(parent);
  editor->hide();
  return editor;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (auto* field = qobject_cast<KeyedLineEdit*>(editor)) field->setText(index.data(Qt::EditRole).toString());
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  auto* field = qobject_cast<KeyedLineEdit*>(editor);
  auto* cells = qobject_cast<TableModel*>(model);
  if (field == nullptr || cells == nullptr || !index.isValid()) return;
  cells->setCell(index.row() + 1, index.column() + 1, cellText(field->text()));
}

QString CellDelegate::cellText(const QString& edited) {
  QString out;
  out.reserve(edited.size());
  for (QChar c : edited)
    if (c.unicode() >= 0x20 && c.unicode() != 0x7f) out += c;
  return out;
}

}  // namespace levelnet::ui
