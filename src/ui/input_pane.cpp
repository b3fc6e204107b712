#include "ui/input_pane.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUndoStack>
#include <algorithm>
#include <functional>

#include "network/errors.h"
#include "network/number_text.h"
#include "session/session.h"
#include "ui/cell_delegate.h"
#include "ui/cell_grid.h"
#include "ui/dialogs.h"
#include "ui/key_codes.h"
#include "ui/keyed_line_edit.h"
#include "ui/table_model.h"
#include "ui/table_rows.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {

const QString kTitle = QStringLiteral("Vantrel水准网平差");

// The pane's designed size and every control's left, top, width, height, in
// twips; the parameter fields and their captions relative to their frame.
constexpr int kPaneWidth = 4680;
constexpr int kPaneHeight = 6090;
struct Place {
  int left, top, width, height;
};
constexpr Place kCountsFrame{200, 200, 1700, 1815};
constexpr Place kCountLabels[4] = {
    {120, 360, 630, 180}, {120, 720, 630, 180}, {120, 1080, 630, 180}, {120, 1440, 990, 180}};
constexpr Place kCountEdits[4] = {
    {840, 320, 495, 270}, {840, 680, 495, 270}, {840, 1000, 495, 270}, {1120, 1400, 400, 270}};
constexpr Place kPointTable{2055, 285, 2475, 1725};
constexpr Place kObservationTable{195, 2280, 4335, 2895};
constexpr Place kButtons[4] = {
    {240, 5400, 900, 375}, {1300, 5400, 900, 375}, {2350, 5400, 900, 375}, {3400, 5400, 900, 375}};
// Where the in-cell editors start out; each is moved over its cell when it opens.
constexpr Place kPointCellEditor{3000, 1080, 615, 270};
constexpr Place kObservationCellEditor{1800, 4080, 735, 270};

// Puts `widget` at its place, moved down by `down` and grown by `wider` and
// `taller` pixels.
void place(QWidget* widget, const Place& p, int down = 0, int wider = 0, int taller = 0) {
  widget->setGeometry(pixelsX(p.left), pixelsY(p.top) + down, pixelsX(p.width) + wider, pixelsY(p.height) + taller);
}

struct Column {
  const char* header;
  int width;  // twips
};
constexpr Column kPointColumns[] = {{"序号", 600}, {"点号", 600}, {"高程(m)", 1000}};
constexpr Column kObservationColumns[] = {
    {"序号", 500}, {"起点", 600}, {"终点", 600}, {"观测值(m)", 1000}, {"水准路线长度(km)", 1500}};

constexpr int kMinimumRowHeight = 270;  // twips
// Every column's texts, headers and row numbers included.
constexpr Qt::Alignment kColumnAlignment = Qt::AlignHCenter | Qt::AlignTop;
constexpr int kCellPaddingPx = 14;  // the cell's margins and grid line

// Writes the header row through the current cell, which is left on the
// header of the last column, then sets widths, row height and alignment.
template <std::size_t N>
void formatTable(CellGrid& grid, const Column (&columns)[N]) {
  for (int k = 0; k < static_cast<int>(N); ++k) {
    grid.setCurrentColumn(k);
    grid.setCurrentRow(0);
    grid.setCurrentText(QString::fromUtf8(columns[k].header));
  }
  for (int k = 0; k < static_cast<int>(N); ++k) grid.setColumnWidth(k, columns[k].width);
  grid.setMinimumRowHeight(kMinimumRowHeight);
  for (int k = 0; k < static_cast<int>(N); ++k) grid.setColumnAlignment(k, kColumnAlignment);
}

template <std::size_t N>
int designedWidth(const Column (&columns)[N], int column) {
  return column < static_cast<int>(N) ? columns[column].width : 0;
}

QString fieldCaption(const QLabel* label) {
  QString caption = label->text();
  if (caption.endsWith(u':')) caption.chop(1);
  return caption;
}

// One cell edit for undo: the text before and after.
class CellEditCommand : public QUndoCommand {
 public:
  CellEditCommand(CellGrid& table, int row, int column, QString before, QString after, std::function<void()> changed)
      : table_(table),
        row_(row),
        column_(column),
        before_(std::move(before)),
        after_(std::move(after)),
        changed_(std::move(changed)) {
    setText(QStringLiteral("编辑单元格"));
  }
  // The edit is already in the cell when the command is pushed.
  void redo() override {
    if (pushed_) set(after_);
    pushed_ = true;
  }
  void undo() override { set(before_); }

 private:
  void set(const QString& text) {
    if (row_ >= table_.rowCount() || column_ >= table_.columnCount()) return;
    table_.setCellText(row_, column_, text);
    changed_();
  }
  CellGrid& table_;
  int row_, column_;
  QString before_, after_;
  std::function<void()> changed_;
  bool pushed_ = false;
};

}  // namespace

// The session's table as the cells of a model: the model writes through the
// session, so every edit counts as a change of the network.
class InputPane::SessionCells : public TextTable {
 public:
  SessionCells(session::Session& session, InputTable table) : session_(session), table_(table) {}
  int rows() const override { return session_.table(table_).rows(); }
  void setRows(int count) override { session_.setRows(table_, count); }
  int cols() const override { return session_.table(table_).cols(); }
  std::string text(int row, int col) const override { return session_.table(table_).text(row, col); }
  void setText(int row, int col, const std::string& text) override { session_.setCell(table_, row, col, text); }

 private:
  session::Session& session_;
  InputTable table_;
};

InputPane::InputPane(session::Session& session, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), session_(session), boxes_(boxes) {
  setMinimumSize(designedSize());
  pointCells_ = std::make_unique<SessionCells>(session_, InputTable::points);
  observationCells_ = std::make_unique<SessionCells>(session_, InputTable::observations);
  pointModel_ = std::make_unique<TableModel>(*pointCells_);
  observationModel_ = std::make_unique<TableModel>(*observationCells_);
  undoStack_ = new QUndoStack(this);
  // Undoing to the saved state, or away from it, changes whether there is
  // anything unsaved.
  connect(undoStack_, &QUndoStack::cleanChanged, this, [this] { emit edited(); });
  createParts();
  setUpTables();
  // The session writes cells itself (the zeros an adjustment took for empty
  // elevations): the tables show them.
  session_.cellWritten = [this](InputTable table, int row, int column) {
    (table == InputTable::points ? pointModel_ : observationModel_)->cellChangedOutside(row, column);
  };
}

// The undo stack tells of its clean state as it goes: nobody is told anything
// once the pane is going.
InputPane::~InputPane() {
  session_.cellWritten = nullptr;
  undoStack_->disconnect();
  blockSignals(true);
}

QSize InputPane::designedSize() { return {pixelsX(kPaneWidth), pixelsY(kPaneHeight)}; }

void InputPane::createParts() {
  countsFrame_ = new QGroupBox(this);
  place(countsFrame_, kCountsFrame);
  const char* captions[4] = {"已知点:", "待定点:", "观测值:", "单位权长度:"};
  for (int i = 0; i < 4; ++i) {
    countLabels_[i] = new QLabel(QString::fromUtf8(captions[i]), countsFrame_);
    countLabels_[i]->move(pixelsX(kCountLabels[i].left), pixelsY(kCountLabels[i].top));
    countLabels_[i]->adjustSize();
    countEdits_[i] = new KeyedLineEdit(countsFrame_);
    place(countEdits_[i], kCountEdits[i]);
    // What a field shows is the network's, however it got there; typing is
    // an edit of the user's.
    connect(countEdits_[i], &QLineEdit::textChanged, this,
            [this, i](const QString& text) { session_.setField(i, text.toStdString()); });
    connect(countEdits_[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
      fieldEdited_[i] = text != savedFields_[i];
      emit edited();
    });
    connect(countEdits_[i], &KeyedLineEdit::characterTyped, this, [this, i](int& code) { onCountKey(i, code); });
  }

  pointTable_ = new CellGrid(*pointModel_, this);
  place(pointTable_, kPointTable);
  observationTable_ = new CellGrid(*observationModel_, this);
  place(observationTable_, kObservationTable);

  const char* buttonCaptions[4] = {"新建(&N)", "打开(&O)", "保存(&S)", "平差(&R)"};
  // The access keys marked by "&" in the captions. Qt derives them from the
  // caption only where the platform uses mnemonics; set them everywhere.
  const Qt::Key accessKeys[] = {Qt::Key_N, Qt::Key_O, Qt::Key_S, Qt::Key_R};
  for (int i = 0; i < 4; ++i) {
    buttons_[i] = new QPushButton(QString::fromUtf8(buttonCaptions[i]), this);
    place(buttons_[i], kButtons[i]);
    buttons_[i]->setAutoDefault(false);
    buttons_[i]->setShortcut(QKeySequence(Qt::ALT | accessKeys[i]));
  }

  // The editors are created last so they lie in front of the tables.
  delegate_ = new CellDelegate(this);
  pointEditor_ = delegate_->createEditor(this);
  place(pointEditor_, kPointCellEditor);
  observationEditor_ = delegate_->createEditor(this);
  place(observationEditor_, kObservationCellEditor);
  pointTable_->setCellDelegate(delegate_);
  observationTable_->setCellDelegate(delegate_);

  pointEditing_ = std::make_unique<CellEditing>(
      *pointTable_, *pointEditor_, [this](int row, int column, const QString& before, const QString& after) {
        cellEdited(*pointTable_, row, column, before, after);
      });
  observationEditing_ =
      std::make_unique<CellEditing>(*observationTable_, *observationEditor_,
                                    [this](int row, int column, const QString& before, const QString& after) {
                                      cellEdited(*observationTable_, row, column, before, after);
                                    });
  connectCellEditing(pointTable_, pointEditor_, pointEditing_.get());
  connectCellEditing(observationTable_, observationEditor_, observationEditing_.get());
}

void InputPane::connectCellEditing(CellGrid* table, KeyedLineEdit* editor, CellEditing* editing) {
  connect(table, &CellGrid::characterTyped, this, [editing](int& code) { editing->onTableCharacter(code); });
  connect(table, &CellGrid::pressed, this, [editing] { editing->onTablePressed(); });
  connect(table, &CellGrid::currentCellChanged, this, [editing] { editing->onCurrentCellChanged(); });
  connect(table, &CellGrid::deletePressed, this, [editing] { editing->onTableDelete(); });
  connect(table, &CellGrid::doubleClicked, this, [editing] { editing->onTableDoubleClicked(); });
  connect(table, &CellGrid::editRequested, this, [editing] { editing->onTableEditRequest(); });
  connect(editor, &KeyedLineEdit::characterTyped, this, [editing](int& code) { editing->onEditorCharacter(code); });
  connect(editor, &KeyedLineEdit::verticalKey, this, [editing](int step) { editing->onEditorVertical(step); });
  connect(editor, &KeyedLineEdit::focusLost, this, [editing] { editing->onEditorFocusLost(); });
}

void InputPane::setUpTables() {
  formatTable(*pointTable_, kPointColumns);
  formatTable(*observationTable_, kObservationColumns);
}

void InputPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layOut();
}

// The fields and buttons keep their places; the tables take what the pane
// has beyond its designed size, the points table a third of the height.
void InputPane::layOut() {
  commitEditors();  // an open editor would be left over a cell that moved
  const int wider = std::max(0, width() - pixelsX(kPaneWidth));
  const int taller = std::max(0, height() - pixelsY(kPaneHeight));
  const int pointsTaller = taller / 3;
  place(pointTable_, kPointTable, 0, wider, pointsTaller);
  place(observationTable_, kObservationTable, pointsTaller, wider, taller - pointsTaller);
  for (int i = 0; i < 4; ++i) place(buttons_[i], kButtons[i], taller);
}

bool InputPane::hasUnsavedEdits() const {
  if (!undoStack_->isClean()) return true;
  for (bool edited : fieldEdited_)
    if (edited) return true;
  return false;
}

void InputPane::markSaved() {
  undoStack_->setClean();
  for (int i = 0; i < 4; ++i) {
    savedFields_[i] = countEdits_[i]->text();
    fieldEdited_[i] = false;
  }
}

void InputPane::commitEditors() {
  pointEditing_->commitEditor();
  observationEditing_->commitEditor();
}

void InputPane::showNetwork(NetworkText network) {
  pointEditing_->hideEditor();
  observationEditing_->hideEditor();
  undoStack_->clear();
  pointModel_->beginReplace();
  observationModel_->beginReplace();
  session_.replaceNetwork(std::move(network));
  pointModel_->endReplace();
  observationModel_->endReplace();
  const ParameterFields& fields = session_.network().fields;
  const std::string* texts[] = {&fields.known, &fields.unknown, &fields.observations, &fields.unitLength};
  for (int i = 0; i < 4; ++i) countEdits_[i]->setText(QString::fromStdString(*texts[i]));
  markSaved();
  for (CellGrid* grid : {pointTable_, observationTable_}) {
    grid->cellsReplaced();
    // The current cell rests on the last cell, as where a cell-by-cell
    // filling would have left it.
    if (grid->rowCount() > grid->headerRowCount()) {
      grid->setCurrentColumn(grid->columnCount() - 1);
      grid->setCurrentRow(grid->rowCount() - 1);
    }
    grid->setCurrentCellUserPlaced(false);
    fitColumns(*grid);
  }
}

void InputPane::startAfresh() {
  // An editor left open would hold a header text after the headers are
  // written, and Enter in it would write that into the new empty table.
  pointEditing_->hideEditor();
  observationEditing_->hideEditor();
  knownCountEdit()->setFocus(Qt::OtherFocusReason);
  NetworkText empty;
  undoStack_->clear();
  pointModel_->beginReplace();
  observationModel_->beginReplace();
  session_.replaceNetwork(std::move(empty));
  pointModel_->endReplace();
  observationModel_->endReplace();
  for (KeyedLineEdit* field : countEdits_) field->setText(QString());
  for (CellGrid* grid : {pointTable_, observationTable_}) {
    grid->clearAllCells();
    grid->cellsReplaced();
  }
  setUpTables();
  for (CellGrid* grid : {pointTable_, observationTable_}) grid->setCurrentCellUserPlaced(false);
  markSaved();
  askForWidth();
}

void InputPane::cellEdited(CellGrid& table, int row, int column, const QString& before, const QString& after) {
  emit edited();
  fitColumns(table, row);
  CellGrid* grid = &table;
  undoStack_->push(new CellEditCommand(table, row, column, before, after, [this, grid, row] {
    emit edited();
    fitColumns(*grid, row);
  }));
}

void InputPane::fitColumns(CellGrid& table, int row) {
  const QFontMetrics metrics(table.font());
  const bool points = &table == pointTable_;
  const int first = row < 0 ? 0 : row;
  const int last = row < 0 ? table.rowCount() - 1 : row;
  for (int column = 0; column < table.columnCount(); ++column) {
    int widest = 0;
    for (int r = first; r <= last && r < table.rowCount(); ++r)
      widest = std::max(widest, metrics.horizontalAdvance(table.cellText(r, column)));
    const int needed = twipsX(widest + kCellPaddingPx);
    const int designed = points ? designedWidth(kPointColumns, column) : designedWidth(kObservationColumns, column);
    // Measuring one row only widens; measuring all may also give back room.
    const int width = row < 0 ? std::max(designed, needed) : std::max(table.columnWidth(column), needed);
    if (width != table.columnWidth(column)) table.setColumnWidth(column, width);
  }
  askForWidth();
}

void InputPane::showPlaceOf(const std::exception_ptr& error) {
  InputPlace place;
  try {
    std::rethrow_exception(error);
  } catch (const InputError& e) {
    place = e.place();
  } catch (...) {
    return;
  }
  if (place.table == InputTable::fields && place.column >= 0 && place.column < 4) {
    countEdits_[place.column]->setFocus(Qt::OtherFocusReason);
    countEdits_[place.column]->selectAll();
    return;
  }
  if (place.table != InputTable::points && place.table != InputTable::observations) return;
  CellGrid& grid = place.table == InputTable::points ? *pointTable_ : *observationTable_;
  if (place.row < grid.headerRowCount() || place.row >= grid.rowCount() || place.column < 0 ||
      place.column >= grid.columnCount())
    return;
  commitEditors();
  grid.setCurrentRow(place.row);
  grid.setCurrentColumn(place.column);
  grid.setCurrentCellUserPlaced(true);
  grid.setFocus(Qt::OtherFocusReason);
}

int InputPane::wantedWidth() const {
  // The designed pane fits the designed columns; it grows by what the
  // columns grew beyond them.
  int grown = 0;
  for (const CellGrid* table : {pointTable_, observationTable_}) {
    const bool points = table == pointTable_;
    int extra = 0;
    for (int c = 0; c < table->columnCount(); ++c)
      extra +=
          table->columnWidth(c) - (points ? designedWidth(kPointColumns, c) : designedWidth(kObservationColumns, c));
    grown = std::max(grown, extra);
  }
  // Widened tables also make room for their vertical scroll bar, which the
  // designed widths leave out.
  return pixelsX(kPaneWidth + grown) + (grown > 0 ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0);
}

void InputPane::askForWidth() {
  const int wanted = wantedWidth();
  if (wanted > width()) emit widthWanted(wanted);
}

void InputPane::warn(const QString& text) { boxes_.warn(window(), kTitle, text); }

// ---- count fields ----

bool InputPane::sizeTable(CellGrid& table, KeyedLineEdit& countField, KeyedLineEdit* extraField) {
  double count = 0;
  for (KeyedLineEdit* field : {&countField, extraField}) {
    if (field == nullptr) continue;
    const QLabel* label = countLabels_[field == countEdits_[0] ? 0 : field == countEdits_[1] ? 1 : 2];
    if (field->text().isEmpty()) {
      warn(QStringLiteral("“%1”为空：请先输入个数，再按回车。").arg(fieldCaption(label)));
      return false;
    }
    const std::optional<double> value = parseNumber(field->text().toStdString());
    if (!value) {
      warn(QStringLiteral("“%1”中的“%2”不是数字：请输入个数，再按回车。").arg(fieldCaption(label), field->text()));
      return false;
    }
    count += *value;
  }
  const QString what = extraField != nullptr ? QStringLiteral("“待定点”与“已知点”合计的点数")
                                             : QStringLiteral("“%1”的个数").arg(fieldCaption(countLabels_[2]));
  const TableRowCount sized = tableRowsFor(count);
  switch (sized.status) {
    case TableRows::tooFew:
      warn(QStringLiteral("%1 %2 太小：表格连标题行都保留不了，表格未改变。")
               .arg(what, QString::fromStdString(numberText(count))));
      return false;
    case TableRows::tooMany:
      warn(QStringLiteral("%1 %2 太大：每个表格最多 %3 行数据，表格未改变。")
               .arg(what, QString::fromStdString(numberText(count)))
               .arg(kMaxTableRows - 1));
      return false;
    case TableRows::ok:
      break;
  }
  table.setRowCount(sized.rows);
  for (int i = 1; i <= count; ++i) {
    table.setCurrentColumn(0);
    table.setCurrentRow(i);
    table.setCurrentText(QString::number(i));
  }
  // Typing the table begins at its first data cell.
  if (table.rowCount() > table.headerRowCount()) {
    table.setCurrentRow(table.headerRowCount());
    table.setCurrentColumn(table.headerColumnCount());
  }
  table.setCurrentCellUserPlaced(false);
  return true;
}

// Enter in a count field: 已知点 moves on to 待定点; 待定点 sizes the points
// table (待定点 is read first, then 已知点: a fault in 待定点 is the one
// reported), 观测值 the observation table, and each moves on when that worked.
void InputPane::onCountKey(int field, int& code) {
  if (code != kEnterCode) return;
  switch (field) {
    case 0:
      countEdits_[1]->setFocus(Qt::OtherFocusReason);
      break;
    case 1:
      countEdits_[sizeTable(*pointTable_, *countEdits_[1], countEdits_[0]) ? 2 : 1]->setFocus(Qt::OtherFocusReason);
      break;
    case 2:
      countEdits_[sizeTable(*observationTable_, *countEdits_[2], nullptr) ? 3 : 2]->setFocus(Qt::OtherFocusReason);
      break;
    default:
      break;
  }
}

}  // namespace levelnet::ui
