// What the input tables' cells are edited with: the delegate creates the
// one floating editor of a grid (a KeyedLineEdit, so that its owner hears
// every key first) and moves text between it and a cell; CellEditing
// decides when the editor opens, where it lies and when its text is stored.
#pragma once

#include <QStyledItemDelegate>

namespace levelnet::ui {

class KeyedLineEdit;

class CellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The editor, hidden, as a child of `parent` (the widget the grid lies
  // on, so that the editor lies in front of the grid).
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  KeyedLineEdit* createEditor(QWidget* parent) const;

  // The cell's text into the editor, and the editor's text into the cell.
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

  // What a cell keeps of an edited text: control characters never reach a
  // cell, however they got into the editor (a paste, an input method).
  static QString cellText(const QString& edited);
};

}  // namespace levelnet::ui
