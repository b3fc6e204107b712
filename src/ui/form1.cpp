#include "ui/form1.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <cstddef>
#include <exception>
#include <new>

#include "adjust/adjustment_run.h"
#include "network/input_error.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "ui/chinese_ui.h"
#include "ui/dialogs.h"
#include "ui/flex_grid.h"
#include "ui/table_rows.h"
#include "ui/text_box.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {

const QString kTitle = QStringLiteral("Vantrel水准网平差");
const QString kFilter = QStringLiteral("平差文件 (*.pc)");
const QString kExitTitle = QStringLiteral("退出Vantrel平差");
const QString kExitQuestion = QStringLiteral("平差数据已输完或修改，是否保存再退出？");
const QString kReplaceQuestion = QStringLiteral("是否保存对当前网的修改？");
const QString kUntitled = QStringLiteral("未命名");

constexpr int kEnter = 13;
constexpr int kCentreTop = 3;  // MSFlexGrid alignment code: centred, at the top

// The client area and every control's left, top, width, height, in twips;
// the fields and labels of Frame1 relative to the frame.
constexpr int kClientWidth = 10680;
constexpr int kClientHeight = 6090;
struct Place {
  int left, top, width, height;
};
constexpr Place kFrame1{200, 200, 1700, 1815};
constexpr Place kLabel1[4] = {{120, 360, 630, 180}, {120, 720, 630, 180}, {120, 1080, 630, 180}, {120, 1440, 990, 180}};
constexpr Place kTxtKnow{840, 320, 495, 270};
constexpr Place kTxtUnknow{840, 680, 495, 270};
constexpr Place kText3{840, 1000, 495, 270};
constexpr Place kText4{1120, 1400, 400, 270};
constexpr Place kGrid1{2055, 285, 2475, 1725};
constexpr Place kGrid2{195, 2280, 4335, 2895};
constexpr Place kTxtOutput{4680, 280, 5775, 4900};
constexpr Place kCmdNew{240, 5400, 900, 375};
constexpr Place kCmdOpen{1300, 5400, 900, 375};
constexpr Place kCmdSave{2350, 5400, 900, 375};
constexpr Place kCmdRun{3400, 5400, 900, 375};
constexpr Place kLabel2{4800, 5520, 5670, 180};
constexpr Place kText1{3000, 1080, 615, 270};
constexpr Place kText2{1800, 4080, 735, 270};

void place(QWidget* widget, const Place& p) {
  widget->setGeometry(pixelsX(p.left), pixelsY(p.top), pixelsX(p.width), pixelsY(p.height));
}

// A label sized to its caption, with its top-left corner where designed.
void placeAutoSize(QLabel* label, const Place& p) {
  label->move(pixelsX(p.left), pixelsY(p.top));
  label->adjustSize();
}

struct Column {
  const char* header;
  int width;  // twips
};
constexpr Column kPointColumns[] = {{"序号", 600}, {"点号", 600}, {"高程(m)", 1000}};
constexpr Column kObservationColumns[] = {
    {"序号", 500}, {"起点", 600}, {"终点", 600}, {"观测值(m)", 1000}, {"水准路线长度(km)", 1500}};

template <std::size_t N>
void setupTable(FlexGrid& grid, const Column (&columns)[N]) {
  for (int k = 0; k < static_cast<int>(N); ++k) {
    grid.SetCol(k);
    grid.SetRow(0);
    grid.SetText(QString::fromUtf8(columns[k].header));
  }
  for (int k = 0; k < static_cast<int>(N); ++k) grid.SetColWidth(k, columns[k].width);
  grid.SetRowHeightMin(270);
  for (int k = 0; k < static_cast<int>(N); ++k) grid.SetColAlignment(k, kCentreTop);
}

QString fieldCaption(const QLabel* label) {
  QString caption = label->text();
  if (caption.endsWith(u':')) caption.chop(1);
  return caption;
}

}  // namespace

Form1::Form1(FileDialogs* dialogs, MessageBoxes* boxes, QWidget* parent) : QWidget(parent) {
  if (dialogs == nullptr) {
    ownDialogs_ = std::make_unique<QtFileDialogs>();
    dialogs = ownDialogs_.get();
  }
  if (boxes == nullptr) {
    ownBoxes_ = std::make_unique<QtMessageBoxes>();
    boxes = ownBoxes_.get();
  }
  dialogs_ = dialogs;
  boxes_ = boxes;
  createWidgets();
  connectSignals();
  Form_Load();
}

Form1::~Form1() = default;

void Form1::createWidgets() {
  setWindowTitle(kTitle);
  setFont(songFont(9));
  setFixedSize(pixelsX(kClientWidth), pixelsY(kClientHeight));

  Frame1 = new QGroupBox(this);
  place(Frame1, kFrame1);
  const char* captions[4] = {"已知点:", "待定点:", "观测值:", "单位权长度:"};
  for (int i = 0; i < 4; ++i) {
    Label1[i] = new QLabel(QString::fromUtf8(captions[i]), Frame1);
    placeAutoSize(Label1[i], kLabel1[i]);
  }
  txtKnow = new TextBox(Frame1);
  place(txtKnow, kTxtKnow);
  txtUnknow = new TextBox(Frame1);
  place(txtUnknow, kTxtUnknow);
  Text3 = new TextBox(Frame1);
  place(Text3, kText3);
  Text4 = new TextBox(Frame1);
  place(Text4, kText4);

  MSFlexGrid1 = new FlexGrid(2, static_cast<int>(std::size(kPointColumns)), this);
  place(MSFlexGrid1, kGrid1);
  MSFlexGrid2 = new FlexGrid(2, static_cast<int>(std::size(kObservationColumns)), this);
  place(MSFlexGrid2, kGrid2);

  txtOutput = new QPlainTextEdit(this);
  place(txtOutput, kTxtOutput);
  txtOutput->setFont(reportFont());
  txtOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtOutput->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtOutput->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtOutput->setTabChangesFocus(true);
  // The report is a result: it can be selected and copied, never edited.
  txtOutput->setReadOnly(true);
  txtOutput->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  cmdNew = new QPushButton(QStringLiteral("新建(&N)"), this);
  place(cmdNew, kCmdNew);
  cmdOpen = new QPushButton(QStringLiteral("打开(&O)"), this);
  place(cmdOpen, kCmdOpen);
  cmdSave = new QPushButton(QStringLiteral("保存(&S)"), this);
  place(cmdSave, kCmdSave);
  cmdRun = new QPushButton(QStringLiteral("平差(&R)"), this);
  place(cmdRun, kCmdRun);
  // The access keys marked by "&" in the captions. Qt derives them from the
  // caption only where the platform uses mnemonics; set them everywhere.
  const Qt::Key accessKeys[] = {Qt::Key_N, Qt::Key_O, Qt::Key_S, Qt::Key_R};
  QPushButton* buttons[] = {cmdNew, cmdOpen, cmdSave, cmdRun};
  for (int i = 0; i < 4; ++i) {
    buttons[i]->setAutoDefault(false);
    buttons[i]->setShortcut(QKeySequence(Qt::ALT | accessKeys[i]));
  }

  Label2 = new QLabel(QStringLiteral("输入数值后按回车逐格前进；输完后按“平差”计算。"), this);
  placeAutoSize(Label2, kLabel2);

  // The editors are created last so they lie in front of the tables.
  Text1 = new TextBox(this);
  place(Text1, kText1);
  Text1->hide();
  Text2 = new TextBox(this);
  place(Text2, kText2);
  Text2->hide();

  // Keyboard focus order as designed (tab index 0, 6, 7, ... 18).
  QWidget* order[] = {txtKnow, MSFlexGrid1, MSFlexGrid2, cmdNew, cmdOpen, cmdSave, cmdRun,
                      txtOutput, txtUnknow, Text3, Text4, Text1, Text2};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  pointEditing_ = std::make_unique<CellEditing>(*MSFlexGrid1, *Text1, [this] { markModified(); });
  observationEditing_ = std::make_unique<CellEditing>(*MSFlexGrid2, *Text2, [this] { markModified(); });
  updateTitle();
}

void Form1::connectSignals() {
  connect(cmdNew, &QPushButton::clicked, this, &Form1::cmdNew_Click);
  connect(cmdOpen, &QPushButton::clicked, this, &Form1::cmdOpen_Click);
  connect(cmdSave, &QPushButton::clicked, this, &Form1::cmdSave_Click);
  connect(cmdRun, &QPushButton::clicked, this, &Form1::cmdRun_Click);
  connect(txtKnow, &TextBox::KeyPress, this, &Form1::txtKnow_KeyPress);
  connect(txtUnknow, &TextBox::KeyPress, this, &Form1::txtUnknow_KeyPress);
  connect(Text3, &TextBox::KeyPress, this, &Form1::Text3_KeyPress);
  connect(MSFlexGrid1, &FlexGrid::KeyPress, this, &Form1::MSFlexGrid1_KeyPress);
  connect(MSFlexGrid1, &FlexGrid::MouseDown, this, &Form1::MSFlexGrid1_MouseDown);
  connect(MSFlexGrid1, &FlexGrid::RowColChange, this, &Form1::MSFlexGrid1_RowColChange);
  connect(MSFlexGrid1, &FlexGrid::DblClick, this, &Form1::MSFlexGrid1_DblClick);
  connect(Text1, &TextBox::KeyPress, this, &Form1::Text1_KeyPress);
  connect(MSFlexGrid2, &FlexGrid::KeyPress, this, &Form1::MSFlexGrid2_KeyPress);
  connect(MSFlexGrid2, &FlexGrid::MouseDown, this, &Form1::MSFlexGrid2_MouseDown);
  connect(MSFlexGrid2, &FlexGrid::RowColChange, this, &Form1::MSFlexGrid2_RowColChange);
  connect(MSFlexGrid2, &FlexGrid::DblClick, this, &Form1::MSFlexGrid2_DblClick);
  connect(Text2, &TextBox::KeyPress, this, &Form1::Text2_KeyPress);
  connect(MSFlexGrid1, &FlexGrid::DeleteKey, this, [this] { pointEditing_->tableDeleteKey(); });
  connect(MSFlexGrid2, &FlexGrid::DeleteKey, this, [this] { observationEditing_->tableDeleteKey(); });
  connect(Text1, &TextBox::FocusLost, this, [this] { pointEditing_->editorFocusLost(); });
  connect(Text2, &TextBox::FocusLost, this, [this] { observationEditing_->editorFocusLost(); });
  connect(Text1, &TextBox::VerticalKey, this, [this](int step) { pointEditing_->editorVerticalKey(step); });
  connect(Text2, &TextBox::VerticalKey, this, [this](int step) { observationEditing_->editorVerticalKey(step); });
  for (TextBox* field : {txtKnow, txtUnknow, Text3, Text4})
    connect(field, &QLineEdit::textEdited, this, [this] { markModified(); });
}

void Form1::Form_Load() {
  Setup();
  txtKnow->setFocus(Qt::OtherFocusReason);
}


// Closing goes on only when nothing unsaved would be lost: a cancelled
// question, a cancelled or failed save keeps the window open with its data.
void Form1::closeEvent(QCloseEvent* event) {
  commitEditors();
  if (ExitSystem()) event->accept();
  else event->ignore();
}

void Form1::Setup() {
  setupTable(*MSFlexGrid1, kPointColumns);
  setupTable(*MSFlexGrid2, kObservationColumns);
}

bool Form1::ExitSystem() { return offerToSave(SaveQuestion::closing); }

bool Form1::offerToSave(SaveQuestion kind) {
  if (!modified_) return true;
  const bool closing = kind == SaveQuestion::closing;
  switch (boxes_->askToSave(this, closing ? kExitTitle : kTitle, closing ? kExitQuestion : kReplaceQuestion, kind)) {
    case SaveAnswer::save:
      return saveWithDialog();
    case SaveAnswer::discard:
      return true;
    case SaveAnswer::cancel:
      break;
  }
  return false;
}

void Form1::commitEditors() {
  pointEditing_->commitEditor();
  observationEditing_->commitEditor();
}

void Form1::markModified() { setModified(true); }

void Form1::setModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  updateTitle();
}

// The title names the current file (or 未命名) and ends in "*" while the
// window holds changes not yet saved.
void Form1::updateTitle() {
  setWindowTitle(kTitle + QStringLiteral(" - [") + (currentFile_.isEmpty() ? kUntitled : currentFile_) +
                 QStringLiteral("]") + (modified_ ? QStringLiteral("*") : QString()));
}

ParameterFields Form1::fields() const {
  return {txtKnow->text().toStdString(), txtUnknow->text().toStdString(), Text3->text().toStdString(),
          Text4->text().toStdString()};
}

void Form1::warn(const QString& text) { boxes_->warn(this, kTitle, text); }

// ---- commands ----

void Form1::cmdNew_Click() {
  commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;  // the data were not saved: keep them
  // An editor left open would hold a header text after Setup, and Enter in
  // it would write that into the new empty table.
  pointEditing_->hideEditor();
  observationEditing_->hideEditor();
  txtKnow->setFocus(Qt::OtherFocusReason);
  for (TextBox* field : {txtKnow, txtUnknow, Text3, Text4}) field->setText(QString());
  for (FlexGrid* grid : {MSFlexGrid1, MSFlexGrid2}) {
    grid->SetRows(2);
    grid->Clear();
  }
  txtOutput->setPlainText(QString());
  Setup();
  for (FlexGrid* grid : {MSFlexGrid1, MSFlexGrid2}) grid->SetUserPlaced(false);
  // A new network has no file yet: Save asks for a name.
  currentFile_.clear();
  cd1FileName_.clear();
  modified_ = false;
  updateTitle();
}

void Form1::cmdOpen_Click() {
  commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;
  const std::optional<QString> chosen = dialogs_->openFileName(this, kFilter, cd1FileName_);
  if (!chosen) return;
  cd1FileName_ = *chosen;
  openFile(*chosen);
}

bool Form1::openFile(const QString& path) {
  const QString fullPath = QFileInfo(path).absoluteFilePath();
  ProjectData data;
  try {
    data = readProjectFile(QFile::encodeName(fullPath).toStdString());
  } catch (const std::bad_alloc&) {
    warn(QStringLiteral("文件“%1”：内存不足，无法打开。").arg(fullPath));
    return false;
  } catch (const std::exception& e) {
    warn(QString::fromStdString(e.what()));
    return false;
  }
  if (data.points.size() >= kMaxTableRows || data.observations.size() >= kMaxTableRows) {
    warn(QStringLiteral("文件 %1 有 %2 个点、%3 个观测值；每个表格最多 %4 行数据，文件未打开。")
             .arg(fullPath)
             .arg(data.points.size())
             .arg(data.observations.size())
             .arg(kMaxTableRows - 1));
    return false;
  }
  pointEditing_->hideEditor();
  observationEditing_->hideEditor();
  currentFile_ = fullPath;
  modified_ = false;
  updateTitle();
  txtOutput->setPlainText(QString());
  ParameterFields loaded;
  applyProject(data, loaded, *MSFlexGrid1, *MSFlexGrid2);
  txtKnow->setText(QString::fromStdString(loaded.known));
  txtUnknow->setText(QString::fromStdString(loaded.unknown));
  Text3->setText(QString::fromStdString(loaded.observations));
  Text4->setText(QString::fromStdString(loaded.unitLength));
  for (FlexGrid* grid : {MSFlexGrid1, MSFlexGrid2}) grid->SetUserPlaced(false);
  // A file in UTF-8 is read as such, and the user is told: Save writes GBK.
  const std::string note = encodingNote(data, fullPath.toStdString());
  if (!note.empty()) warn(QString::fromStdString(note) + QStringLiteral("。"));
  return true;
}

void Form1::cmdSave_Click() { saveWithDialog(); }

bool Form1::saveWithDialog() {
  commitEditors();
  const std::optional<QString> chosen = dialogs_->saveFileName(this, kFilter, cd1FileName_);
  if (!chosen) return false;
  cd1FileName_ = *chosen;
  try {
    writeProjectFile(QFile::encodeName(*chosen).toStdString(), fields(), *MSFlexGrid1, *MSFlexGrid2);
  } catch (const std::bad_alloc&) {
    warn(QStringLiteral("无法保存到“%1”：内存不足。").arg(*chosen));
    return false;
  } catch (const std::exception& e) {
    warn(QString::fromStdString(e.what()));
    return false;
  }
  currentFile_ = QFileInfo(*chosen).absoluteFilePath();
  modified_ = false;
  updateTitle();
  return true;
}

void Form1::cmdRun_Click() {
  commitEditors();
  txtOutput->setPlainText(QString());
  if (txtKnow->text().isEmpty()) return;
  AdjustmentOutcome outcome;
  try {
    outcome = adjustNetwork(fields(), *MSFlexGrid1, *MSFlexGrid2);
  } catch (const InputError& e) {
    warn(QString::fromStdString(e.what()));
    return;
  } catch (const std::bad_alloc&) {
    warn(QStringLiteral("内存不足：平差未能完成。"));
    return;
  } catch (const std::exception& e) {
    warn(QStringLiteral("平差未能完成：") + QString::fromStdString(e.what()));
    return;
  }
  // A point typed twice is not refused (observations refer to its first
  // row), but the user hears of it before reading the report.
  if (!outcome.duplicateNames.empty()) {
    constexpr std::size_t kListed = 20;
    QString text = QStringLiteral("点名重复：");
    for (std::size_t i = 0; i < outcome.duplicateNames.size() && i < kListed; ++i)
      text += QStringLiteral("\n") + QString::fromStdString(duplicateNameWarning(outcome.duplicateNames[i]));
    if (outcome.duplicateNames.size() > kListed)
      text += QStringLiteral("\n……另有 %1 处未列出").arg(outcome.duplicateNames.size() - kListed);
    warn(text);
  }
  const std::string& report = outcome.report;
  // The report's lines end in CR LF; the text box keeps lines, not line ends.
  txtOutput->setPlainText(QString::fromStdString(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  txtOutput->moveCursor(QTextCursor::Start);
  txtOutput->verticalScrollBar()->setValue(0);
  txtOutput->horizontalScrollBar()->setValue(0);
}

// ---- count fields ----

bool Form1::sizeTable(FlexGrid& grid, TextBox& countField, TextBox* extraField) {
  double count = 0;
  for (TextBox* field : {&countField, extraField}) {
    if (field == nullptr) continue;
    const QLabel* label = Label1[field == txtKnow ? 0 : field == txtUnknow ? 1 : 2];
    double value = 0;
    if (field->text().isEmpty()) {
      warn(QStringLiteral("“%1”为空：请先输入个数，再按回车。").arg(fieldCaption(label)));
      return false;
    }
    if (!parseNumber(field->text().toStdString(), value)) {
      warn(QStringLiteral("“%1”中的“%2”不是数字：请输入个数，再按回车。").arg(fieldCaption(label), field->text()));
      return false;
    }
    count += value;
  }
  const QString what = extraField != nullptr ? QStringLiteral("“待定点”与“已知点”合计的点数")
                                             : QStringLiteral("“%1”的个数").arg(fieldCaption(Label1[2]));
  int rows = 0;
  switch (tableRowsFor(count, rows)) {
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
  grid.SetRows(rows);
  for (int i = 1; i <= count; ++i) {
    grid.SetCol(0);
    grid.SetRow(i);
    grid.SetText(QString::number(i));
  }
  // Typing the table begins at its first data cell.
  if (grid.Rows() > grid.FixedRows()) {
    grid.SetRow(grid.FixedRows());
    grid.SetCol(grid.FixedCols());
  }
  grid.SetUserPlaced(false);
  return true;
}

void Form1::txtKnow_KeyPress(int& KeyAscii) {
  if (KeyAscii == kEnter) txtUnknow->setFocus(Qt::OtherFocusReason);
}

void Form1::txtUnknow_KeyPress(int& KeyAscii) {
  if (KeyAscii != kEnter) return;
  // txtUnknow is converted first, then txtKnow.
  if (sizeTable(*MSFlexGrid1, *txtUnknow, txtKnow)) {
    Text3->setFocus(Qt::OtherFocusReason);
  } else {
    txtUnknow->setFocus(Qt::OtherFocusReason);
  }
}

void Form1::Text3_KeyPress(int& KeyAscii) {
  if (KeyAscii != kEnter) return;
  if (sizeTable(*MSFlexGrid2, *Text3, nullptr)) {
    Text4->setFocus(Qt::OtherFocusReason);
  } else {
    Text3->setFocus(Qt::OtherFocusReason);
  }
}

// ---- in-cell editing: the twins share CellEditing ----

void Form1::ShowTextBox1() { pointEditing_->showTextBox(); }
void Form1::ShowTextBox2() { observationEditing_->showTextBox(); }

void Form1::MSFlexGrid1_KeyPress(int& KeyAscii) { pointEditing_->tableKeyPress(KeyAscii); }
void Form1::MSFlexGrid1_MouseDown(int, int, int, int) { pointEditing_->tableMouseDown(); }
void Form1::MSFlexGrid1_RowColChange() { pointEditing_->tableRowColChange(); }
void Form1::MSFlexGrid1_DblClick() {}
void Form1::Text1_KeyPress(int& KeyAscii) { pointEditing_->editorKeyPress(KeyAscii); }

void Form1::MSFlexGrid2_KeyPress(int& KeyAscii) { observationEditing_->tableKeyPress(KeyAscii); }
void Form1::MSFlexGrid2_MouseDown(int, int, int, int) { observationEditing_->tableMouseDown(); }
void Form1::MSFlexGrid2_RowColChange() { observationEditing_->tableRowColChange(); }
void Form1::MSFlexGrid2_DblClick() {}
void Form1::Text2_KeyPress(int& KeyAscii) { observationEditing_->editorKeyPress(KeyAscii); }

}  // namespace levelnet::ui
