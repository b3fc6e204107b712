#include "ui/cell_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QVBoxLayout>
#include <stdexcept>

#include "ui/key_codes.h"
#include "ui/table_model.h"
#include "ui/twips.h"

namespace levelnet::ui {

// Cell (0, 0): painted as a header section, placed where the view keeps its
// corner button.
class CornerCell : public QWidget {
 public:
  CornerCell(QWidget* parent, const TableModel& model) : QWidget(parent), model_(model) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QStyleOptionHeader option;
    option.initFrom(this);
    option.rect = rect();
    option.text = model_.cell(0, 0);
    option.textAlignment = model_.alignment(0);
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_Header, &option, &painter, this);
  }

 private:
  const TableModel& model_;
};

// The table view inside the grid: hands keys, input-method text and its
// own current-cell moves to the grid.
class GridView : public QTableView {
 public:
  explicit GridView(CellGrid* grid) : QTableView(grid), grid_(grid) {}

  void relayout() { updateGeometries(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
      event->accept();
      emit grid_->deletePressed();
      return;
    }
    if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
      event->accept();
      emit grid_->editRequested();
      return;
    }
    bool handled = false;
    grid_->characterKey(characterCodeOf(*event), handled);
    if (handled) {
      event->accept();
      return;
    }
    QTableView::keyPressEvent(event);
  }

  void inputMethodEvent(QInputMethodEvent* event) override {
    event->accept();
    if (!event->commitString().isEmpty()) grid_->inputMethodCommit(event->commitString());
  }

  // The view makes its first item current when it gets the focus with none;
  // the grid's current cell may be a header cell and stays where it is.
  void focusInEvent(QFocusEvent* event) override {
    grid_->syncing_ = true;
    QTableView::focusInEvent(event);
    grid_->syncing_ = false;
    grid_->syncViewCurrent();
    grid_->focusEntered(event->reason());
  }

  void updateGeometries() override {
    QTableView::updateGeometries();
    const QHeaderView* vertical = verticalHeader();
    const QHeaderView* horizontal = horizontalHeader();
    grid_->corner_->setGeometry(vertical->x(), horizontal->y(), vertical->width(), horizontal->height());
    grid_->corner_->raise();
  }

 private:
  CellGrid* grid_;
};

CellGrid::CellGrid(int rows, int columns, QWidget* parent)
    : QWidget(parent), model_(nullptr), view_(nullptr), corner_(nullptr) {
  if (rows < 1 || columns < 1) throw std::out_of_range("CellGrid needs a header row and a number column");
  ownCells_ = std::make_unique<MemoryTable>(columns, rows);
  ownModel_ = std::make_unique<TableModel>(*ownCells_);
  model_ = ownModel_.get();
  setUp();
}

CellGrid::CellGrid(TableModel& model, QWidget* parent)
    : QWidget(parent), model_(&model), view_(nullptr), corner_(nullptr) {
  setUp();
}

void CellGrid::setUp() {
  const int columns = model_->gridColumns();
  columnWidthTwips_.assign(static_cast<std::size_t>(columns), 0);
  view_ = new GridView(this);
  corner_ = new CornerCell(view_, *model_);
  view_->setModel(model_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  setFocusProxy(view_);

  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectItems);
  view_->setTabKeyNavigation(false);
  view_->setCornerButtonEnabled(false);
  view_->setWordWrap(false);
  view_->setTextElideMode(Qt::ElideNone);  // a long text is cut at the cell's edge
  view_->setAttribute(Qt::WA_InputMethodEnabled);
  for (QHeaderView* header : {view_->horizontalHeader(), view_->verticalHeader()}) {
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setMinimumSectionSize(1);
    header->viewport()->installEventFilter(this);
  }
  for (int c = 0; c < columns; ++c) setColumnWidth(c, 600);
  view_->viewport()->installEventFilter(this);
  corner_->installEventFilter(this);
  connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (current.isValid()) viewCurrentChanged(current.row(), current.column());
  });
  connect(model_, &QAbstractItemModel::headerDataChanged, corner_, [this] { corner_->update(); });
  connect(model_, &QAbstractItemModel::modelReset, corner_, [this] { corner_->update(); });
  applyRowHeights();
}

CellGrid::~CellGrid() = default;

int CellGrid::rowCount() const { return model_->gridRows(); }
int CellGrid::columnCount() const { return model_->gridColumns(); }

void CellGrid::setRowCount(int count) {
  if (count < headerRowCount()) throw std::out_of_range("row count below the header row");
  syncing_ = true;
  model_->setGridRows(count);
  syncing_ = false;
  if (currentRow_ >= count) {
    currentRow_ = count - 1;
    syncViewCurrent();
    emit currentCellChanged();
  } else {
    syncViewCurrent();
  }
}

void CellGrid::setCellDelegate(QAbstractItemDelegate* delegate) { view_->setItemDelegate(delegate); }

void CellGrid::cellsReplaced() {
  if (currentRow_ >= rowCount()) {
    currentRow_ = rowCount() - 1;
    syncViewCurrent();
    emit currentCellChanged();
  } else {
    syncViewCurrent();
  }
  corner_->update();
}

void CellGrid::checkCell(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
    throw std::out_of_range("cell (" + std::to_string(row) + ", " + std::to_string(column) + ") outside the grid");
}

void CellGrid::setCurrentRow(int row) {
  checkCell(row, currentColumn_);
  if (row == currentRow_) return;
  currentRow_ = row;
  syncViewCurrent();
  emit currentCellChanged();
}

void CellGrid::setCurrentColumn(int column) {
  checkCell(currentRow_, column);
  if (column == currentColumn_) return;
  currentColumn_ = column;
  syncViewCurrent();
  emit currentCellChanged();
}

// Shows the current cell in the view: a data cell as the view's current
// item, a header cell as no current item.
void CellGrid::syncViewCurrent() {
  syncing_ = true;
  if (currentRow_ >= 1 && currentColumn_ >= 1) {
    view_->setCurrentIndex(model_->index(currentRow_ - 1, currentColumn_ - 1));
  } else {
    view_->selectionModel()->clear();
  }
  syncing_ = false;
}

void CellGrid::viewCurrentChanged(int viewRow, int viewColumn) {
  if (syncing_) return;
  const int row = viewRow + 1;
  const int column = viewColumn + 1;
  if (row == currentRow_ && column == currentColumn_) return;
  currentRow_ = row;
  currentColumn_ = column;
  currentCellUserPlaced_ = true;  // the view moves its current cell only for the user's keys
  emit currentCellChanged();
}

QString CellGrid::currentText() const { return cellText(currentRow_, currentColumn_); }
void CellGrid::setCurrentText(const QString& text) { setCellText(currentRow_, currentColumn_, text); }

QString CellGrid::cellText(int row, int column) const {
  checkCell(row, column);
  return model_->cell(row, column);
}

void CellGrid::setCellText(int row, int column, const QString& text) {
  checkCell(row, column);
  model_->setCell(row, column, text);
}

int CellGrid::columnWidth(int column) const {
  checkCell(0, column);
  return columnWidthTwips_[static_cast<std::size_t>(column)];
}

void CellGrid::setColumnWidth(int column, int twips) {
  checkCell(0, column);
  columnWidthTwips_[static_cast<std::size_t>(column)] = twips;
  const int px = pixelsX(twips);
  if (column == 0) {
    view_->verticalHeader()->setFixedWidth(px);
  } else {
    view_->setColumnWidth(column - 1, px);
  }
  view_->relayout();
}

int CellGrid::rowHeight(int row) const {
  checkCell(row, 0);
  return twipsY(row == 0 ? view_->horizontalHeader()->height() : view_->rowHeight(row - 1));
}

void CellGrid::setMinimumRowHeight(int twips) {
  minimumRowHeightPx_ = pixelsY(twips);
  applyRowHeights();
}

// Every row gets the larger of the font's natural row height and the
// minimum; the header row too. The rows are all of one height, the
// vertical header's default: no row is sized on its own, so a table of
// thousands of rows is sized at once.
void CellGrid::applyRowHeights() {
  const int natural = fontMetrics().height() + 4;
  const int height = std::max(natural, minimumRowHeightPx_);
  QHeaderView* vertical = view_->verticalHeader();
  vertical->setMinimumSectionSize(height);
  vertical->setDefaultSectionSize(height);
  view_->horizontalHeader()->setFixedHeight(height);
  view_->relayout();
}

void CellGrid::setColumnAlignment(int column, Qt::Alignment alignment) {
  checkCell(0, column);
  model_->setAlignment(column, alignment);
  if (column == 0) corner_->update();
}

QRect CellGrid::currentCellRect() const {
  const QHeaderView* horizontal = view_->horizontalHeader();
  const QHeaderView* vertical = view_->verticalHeader();
  if (currentRow_ == 0 && currentColumn_ == 0) return corner_->geometry().translated(view_->pos());
  if (currentRow_ == 0) {
    const int x = horizontal->sectionViewportPosition(currentColumn_ - 1);
    const QPoint topLeft = horizontal->viewport()->mapTo(this, QPoint(x, 0));
    return QRect(topLeft, QSize(horizontal->sectionSize(currentColumn_ - 1), horizontal->height()));
  }
  if (currentColumn_ == 0) {
    const int y = vertical->sectionViewportPosition(currentRow_ - 1);
    const QPoint topLeft = vertical->viewport()->mapTo(this, QPoint(0, y));
    return QRect(topLeft, QSize(vertical->width(), vertical->sectionSize(currentRow_ - 1)));
  }
  const QRect cell = view_->visualRect(model_->index(currentRow_ - 1, currentColumn_ - 1));
  return QRect(view_->viewport()->mapTo(this, cell.topLeft()), cell.size());
}

int CellGrid::currentCellLeft() const { return twipsX(currentCellRect().left()); }
int CellGrid::currentCellTop() const { return twipsY(currentCellRect().top()); }
int CellGrid::currentCellWidth() const { return twipsX(currentCellRect().width()); }
int CellGrid::currentCellHeight() const { return twipsY(currentCellRect().height()); }

void CellGrid::clearAllCells() {
  model_->clearCells();
  syncViewCurrent();
  corner_->update();
}

int CellGrid::leftTwips() const { return twipsX(x()); }
int CellGrid::topTwips() const { return twipsY(y()); }

std::string CellGrid::text(int row, int column) const { return cellText(row, column).toStdString(); }

void CellGrid::setText(int row, int column, const std::string& text) {
  setCellText(row, column, QString::fromStdString(text));
}

void CellGrid::enterText(int row, int column, const std::string& text) {
  setCurrentColumn(column);
  setCurrentRow(row);
  setCurrentText(QString::fromStdString(text));
}

void CellGrid::focusEntered(Qt::FocusReason reason) {
  if (currentCellUserPlaced_ || rowCount() <= headerRowCount()) return;
  if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) return;
  setCurrentRow(headerRowCount());
  setCurrentColumn(headerColumnCount());
}

void CellGrid::characterKey(int code, bool& handled) {
  if (code == 0) return;  // navigation keys: the view's own
  emit characterTyped(code);
  handled = true;  // the grid itself never acts on a character key
}

void CellGrid::inputMethodCommit(const QString& commit) {
  int code = commit.at(0).unicode();
  emit characterTyped(code);
  if (code != 0 || commit.size() == 1) return;
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus == view_) return;
  QInputMethodEvent rest;
  rest.setCommitString(commit.mid(1));
  QApplication::sendEvent(focus, &rest);
}

bool CellGrid::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      return mouseEvent(watched, event);
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
      // The view's own selection by dragging would move the current cell
      // behind the handlers' back.
      return watched != corner_;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

// Works out the cell under the pointer, then raises pressed.
// The event is consumed: the view neither selects nor moves on a press.
bool CellGrid::mouseEvent(QObject* watched, QEvent* event) {
  const auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint pos = mouse->position().toPoint();
  const QHeaderView* horizontal = view_->horizontalHeader();
  const QHeaderView* vertical = view_->verticalHeader();
  auto lastIfNone = [](int index, int last) { return index < 0 ? last : index + 1; };
  int row = 0;
  int column = 0;
  if (watched == view_->viewport()) {
    row = lastIfNone(view_->rowAt(pos.y()), rowCount() - 1);
    column = lastIfNone(view_->columnAt(pos.x()), columnCount() - 1);
  } else if (watched == horizontal->viewport()) {
    column = lastIfNone(horizontal->logicalIndexAt(pos.x()), columnCount() - 1);
  } else if (watched == vertical->viewport()) {
    row = lastIfNone(vertical->logicalIndexAt(pos.y()), rowCount() - 1);
  } else if (watched != corner_) {
    return false;
  }
  pressedRow_ = row;
  pressedColumn_ = column;
  // The second press of a double-click goes to the editor the first one
  // opened; the view must not start an edit of its own.
  if (event->type() == QEvent::MouseButtonDblClick) {
    emit doubleClicked();
    return true;
  }
  currentCellUserPlaced_ = true;
  setFocus(Qt::OtherFocusReason);
  const QPoint inGrid = static_cast<QWidget*>(watched)->mapTo(this, pos);
  emit pressed(mouse->button(), mouse->modifiers(), twipsX(inGrid.x()), twipsY(inGrid.y()));
  return true;
}

}  // namespace levelnet::ui
