#include "ui/flex_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTableWidget>
#include <QVBoxLayout>
#include <stdexcept>

#include "ui/key_ascii.h"
#include "ui/twips.h"

namespace levelnet::ui {

// Cell (0, 0): painted as a header section, placed where the view keeps its
// corner button.
class CornerCell : public QWidget {
 public:
  explicit CornerCell(QWidget* parent) : QWidget(parent) {}
  QString text;
  Qt::Alignment alignment = Qt::AlignCenter;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QStyleOptionHeader option;
    option.initFrom(this);
    option.rect = rect();
    option.text = text;
    option.textAlignment = alignment;
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_Header, &option, &painter, this);
  }
};

// The table view inside the grid: hands keys, input-method text and its
// own current-cell moves to the grid.
class GridView : public QTableWidget {
 public:
  explicit GridView(FlexGrid* grid) : QTableWidget(grid), grid_(grid) {}

  void relayout() { updateGeometries(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
      event->accept();
      emit grid_->DeleteKey();
      return;
    }
    bool handled = false;
    grid_->gridKey(keyAsciiOf(*event), handled);
    if (handled) {
      event->accept();
      return;
    }
    QTableWidget::keyPressEvent(event);
  }

  void inputMethodEvent(QInputMethodEvent* event) override {
    event->accept();
    if (!event->commitString().isEmpty()) grid_->inputMethodCommit(event->commitString());
  }

  // The view makes its first item current when it gets the focus with none;
  // the grid's current cell may be a fixed cell and stays where it is.
  void focusInEvent(QFocusEvent* event) override {
    grid_->syncing_ = true;
    QTableWidget::focusInEvent(event);
    grid_->syncing_ = false;
    grid_->syncViewCurrent();
    grid_->focusEntered(event->reason());
  }

  void updateGeometries() override {
    QTableWidget::updateGeometries();
    const QHeaderView* vertical = verticalHeader();
    const QHeaderView* horizontal = horizontalHeader();
    grid_->corner_->setGeometry(vertical->x(), horizontal->y(), vertical->width(), horizontal->height());
    grid_->corner_->raise();
  }

 private:
  FlexGrid* grid_;
};

namespace {

Qt::Alignment flexAlignment(int code) {
  static const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
  static const Qt::Alignment vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
  if (code < 0 || code > 8) return Qt::AlignLeft | Qt::AlignVCenter;
  return horizontal[code / 3] | vertical[code % 3];
}

}  // namespace

FlexGrid::FlexGrid(int rows, int cols, QWidget* parent)
    : QWidget(parent), view_(nullptr), corner_(nullptr), alignment_(static_cast<std::size_t>(cols), 9),
      colWidthTwips_(static_cast<std::size_t>(cols), 0) {
  if (rows < 1 || cols < 1) throw std::out_of_range("FlexGrid needs a fixed row and a fixed column");
  view_ = new GridView(this);
  corner_ = new CornerCell(view_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  setFocusProxy(view_);

  view_->setColumnCount(cols - 1);
  for (int c = 1; c < cols; ++c) view_->setHorizontalHeaderItem(c - 1, new QTableWidgetItem());
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
  for (int c = 0; c < cols; ++c) SetColWidth(c, 600);
  view_->viewport()->installEventFilter(this);
  corner_->installEventFilter(this);
  connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) viewCurrentChanged(current.row(), current.column());
          });
  SetRows(rows);
  applyRowHeights();
}

FlexGrid::~FlexGrid() = default;

int FlexGrid::Rows() const { return view_->rowCount() + 1; }
int FlexGrid::Cols() const { return view_->columnCount() + 1; }

void FlexGrid::SetRows(int count) {
  if (count < FixedRows()) throw std::out_of_range("row count below the fixed rows");
  const int old = view_->rowCount();
  syncing_ = true;
  view_->setRowCount(count - 1);
  for (int r = old; r < count - 1; ++r) {
    auto* header = new QTableWidgetItem();
    header->setTextAlignment(alignmentOf(0));
    view_->setVerticalHeaderItem(r, header);
  }
  syncing_ = false;
  if (row_ >= count) {
    row_ = count - 1;
    syncViewCurrent();
    emit RowColChange();
  } else {
    syncViewCurrent();
  }
}

void FlexGrid::checkCell(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols())
    throw std::out_of_range("cell (" + std::to_string(row) + ", " + std::to_string(col) + ") outside the grid");
}

void FlexGrid::SetRow(int row) {
  checkCell(row, col_);
  if (row == row_) return;
  row_ = row;
  syncViewCurrent();
  emit RowColChange();
}

void FlexGrid::SetCol(int col) {
  checkCell(row_, col);
  if (col == col_) return;
  col_ = col;
  syncViewCurrent();
  emit RowColChange();
}

// Shows the current cell in the view: a data cell as the view's current
// item, a fixed cell as no current item.
void FlexGrid::syncViewCurrent() {
  syncing_ = true;
  if (row_ >= 1 && col_ >= 1) {
    view_->setCurrentCell(row_ - 1, col_ - 1);
  } else {
    view_->selectionModel()->clear();
  }
  syncing_ = false;
}

void FlexGrid::viewCurrentChanged(int viewRow, int viewCol) {
  if (syncing_) return;
  const int row = viewRow + 1;
  const int col = viewCol + 1;
  if (row == row_ && col == col_) return;
  row_ = row;
  col_ = col;
  userPlaced_ = true;  // the view moves its current cell only for the user's keys
  emit RowColChange();
}

QString FlexGrid::Text() const { return TextMatrix(row_, col_); }
void FlexGrid::SetText(const QString& text) { SetTextMatrix(row_, col_, text); }

QTableWidgetItem* FlexGrid::headerItem(int row, int col) const {
  return row == 0 ? view_->horizontalHeaderItem(col - 1) : view_->verticalHeaderItem(row - 1);
}

QString FlexGrid::TextMatrix(int row, int col) const {
  checkCell(row, col);
  if (row == 0 && col == 0) return corner_->text;
  if (row == 0 || col == 0) return headerItem(row, col)->text();
  const QTableWidgetItem* item = view_->item(row - 1, col - 1);
  return item != nullptr ? item->text() : QString();
}

QTableWidgetItem* FlexGrid::itemFor(int row, int col) {
  QTableWidgetItem* item = view_->item(row - 1, col - 1);
  if (item == nullptr) {
    item = new QTableWidgetItem();
    item->setTextAlignment(alignmentOf(col));
    view_->setItem(row - 1, col - 1, item);
  }
  return item;
}

void FlexGrid::SetTextMatrix(int row, int col, const QString& text) {
  checkCell(row, col);
  if (row == 0 && col == 0) {
    corner_->text = text;
    corner_->update();
  } else if (row == 0 || col == 0) {
    headerItem(row, col)->setText(text);
  } else {
    itemFor(row, col)->setText(text);
  }
}

int FlexGrid::ColWidth(int col) const {
  checkCell(0, col);
  return colWidthTwips_[static_cast<std::size_t>(col)];
}

void FlexGrid::SetColWidth(int col, int twips) {
  checkCell(0, col);
  colWidthTwips_[static_cast<std::size_t>(col)] = twips;
  const int px = pixelsX(twips);
  if (col == 0) {
    view_->verticalHeader()->setFixedWidth(px);
  } else {
    view_->setColumnWidth(col - 1, px);
  }
  view_->relayout();
}

int FlexGrid::RowHeight(int row) const {
  checkCell(row, 0);
  return twipsY(row == 0 ? view_->horizontalHeader()->height() : view_->rowHeight(row - 1));
}

void FlexGrid::SetRowHeightMin(int twips) {
  rowHeightMinPx_ = pixelsY(twips);
  applyRowHeights();
}

// Every row gets the larger of the font's natural row height and the
// minimum; the header row too.
void FlexGrid::applyRowHeights() {
  const int natural = fontMetrics().height() + 4;
  const int height = std::max(natural, rowHeightMinPx_);
  QHeaderView* vertical = view_->verticalHeader();
  vertical->setMinimumSectionSize(height);
  vertical->setDefaultSectionSize(height);
  for (int r = 0; r < view_->rowCount(); ++r) view_->setRowHeight(r, height);
  view_->horizontalHeader()->setFixedHeight(height);
  view_->relayout();
}

Qt::Alignment FlexGrid::alignmentOf(int col) const { return flexAlignment(alignment_[static_cast<std::size_t>(col)]); }

void FlexGrid::SetColAlignment(int col, int alignment) {
  checkCell(0, col);
  alignment_[static_cast<std::size_t>(col)] = alignment;
  const Qt::Alignment flags = alignmentOf(col);
  if (col == 0) {
    corner_->alignment = flags;
    corner_->update();
    for (int r = 0; r < view_->rowCount(); ++r) view_->verticalHeaderItem(r)->setTextAlignment(flags);
    return;
  }
  view_->horizontalHeaderItem(col - 1)->setTextAlignment(flags);
  for (int r = 0; r < view_->rowCount(); ++r)
    if (QTableWidgetItem* item = view_->item(r, col - 1)) item->setTextAlignment(flags);
}

QRect FlexGrid::currentCellRect() const {
  const QHeaderView* horizontal = view_->horizontalHeader();
  const QHeaderView* vertical = view_->verticalHeader();
  if (row_ == 0 && col_ == 0) return corner_->geometry().translated(view_->pos());
  if (row_ == 0) {
    const int x = horizontal->sectionViewportPosition(col_ - 1);
    const QPoint topLeft = horizontal->viewport()->mapTo(this, QPoint(x, 0));
    return QRect(topLeft, QSize(horizontal->sectionSize(col_ - 1), horizontal->height()));
  }
  if (col_ == 0) {
    const int y = vertical->sectionViewportPosition(row_ - 1);
    const QPoint topLeft = vertical->viewport()->mapTo(this, QPoint(0, y));
    return QRect(topLeft, QSize(vertical->width(), vertical->sectionSize(row_ - 1)));
  }
  const QRect cell = view_->visualRect(view_->model()->index(row_ - 1, col_ - 1));
  return QRect(view_->viewport()->mapTo(this, cell.topLeft()), cell.size());
}

int FlexGrid::CellLeft() const { return twipsX(currentCellRect().left()); }
int FlexGrid::CellTop() const { return twipsY(currentCellRect().top()); }
int FlexGrid::CellWidth() const { return twipsX(currentCellRect().width()); }
int FlexGrid::CellHeight() const { return twipsY(currentCellRect().height()); }

void FlexGrid::Clear() {
  corner_->text.clear();
  corner_->update();
  for (int c = 0; c < view_->columnCount(); ++c) view_->horizontalHeaderItem(c)->setText(QString());
  for (int r = 0; r < view_->rowCount(); ++r) {
    view_->verticalHeaderItem(r)->setText(QString());
    for (int c = 0; c < view_->columnCount(); ++c)
      if (QTableWidgetItem* item = view_->item(r, c)) item->setText(QString());
  }
}

int FlexGrid::Left() const { return twipsX(x()); }
int FlexGrid::Top() const { return twipsY(y()); }
void FlexGrid::SetFocus() { view_->setFocus(Qt::OtherFocusReason); }

std::string FlexGrid::text(int row, int col) const { return TextMatrix(row, col).toStdString(); }

void FlexGrid::setText(int row, int col, const std::string& text) {
  SetTextMatrix(row, col, QString::fromStdString(text));
}

void FlexGrid::enterText(int row, int col, const std::string& text) {
  SetCol(col);
  SetRow(row);
  SetText(QString::fromStdString(text));
}

void FlexGrid::focusEntered(Qt::FocusReason reason) {
  if (userPlaced_ || Rows() <= FixedRows()) return;
  if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) return;
  SetRow(FixedRows());
  SetCol(FixedCols());
}

void FlexGrid::gridKey(int keyAscii, bool& handled) {
  if (keyAscii == 0) return;  // navigation keys: the view's own
  emit KeyPress(keyAscii);
  handled = true;  // the grid itself never acts on a character key
}

void FlexGrid::inputMethodCommit(const QString& commit) {
  int keyAscii = commit.at(0).unicode();
  emit KeyPress(keyAscii);
  if (keyAscii != 0 || commit.size() == 1) return;
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus == view_) return;
  QInputMethodEvent rest;
  rest.setCommitString(commit.mid(1));
  QApplication::sendEvent(focus, &rest);
}

bool FlexGrid::eventFilter(QObject* watched, QEvent* event) {
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

// Works out the cell under the pointer, then raises MouseDown or DblClick.
// The event is consumed: the view neither selects nor moves on a press.
bool FlexGrid::mouseEvent(QObject* watched, QEvent* event) {
  const auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint pos = mouse->position().toPoint();
  const QHeaderView* horizontal = view_->horizontalHeader();
  const QHeaderView* vertical = view_->verticalHeader();
  auto lastIfNone = [](int index, int last) { return index < 0 ? last : index + 1; };
  int row = 0;
  int col = 0;
  if (watched == view_->viewport()) {
    row = lastIfNone(view_->rowAt(pos.y()), Rows() - 1);
    col = lastIfNone(view_->columnAt(pos.x()), Cols() - 1);
  } else if (watched == horizontal->viewport()) {
    col = lastIfNone(horizontal->logicalIndexAt(pos.x()), Cols() - 1);
  } else if (watched == vertical->viewport()) {
    row = lastIfNone(vertical->logicalIndexAt(pos.y()), Rows() - 1);
  } else if (watched != corner_) {
    return false;
  }
  mouseRow_ = row;
  mouseCol_ = col;
  if (event->type() == QEvent::MouseButtonDblClick) {
    emit DblClick();
    return true;
  }
  userPlaced_ = true;
  SetFocus();
  const QPoint inGrid = static_cast<QWidget*>(watched)->mapTo(this, pos);
  const Qt::KeyboardModifiers mods = mouse->modifiers();
  const int shift = (mods.testFlag(Qt::ShiftModifier) ? 1 : 0) | (mods.testFlag(Qt::ControlModifier) ? 2 : 0) |
                    (mods.testFlag(Qt::AltModifier) ? 4 : 0);
  const int button = mouse->button() == Qt::LeftButton ? 1 : mouse->button() == Qt::RightButton ? 2 : 4;
  emit MouseDown(button, shift, twipsX(inGrid.x()), twipsY(inGrid.y()));
  return true;
}

}  // namespace levelnet::ui
