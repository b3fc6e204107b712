#include "ui/result_tabs.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/check_pane.h"
#include "ui/chinese_ui.h"
#include "ui/design_pane.h"
#include "ui/network_view.h"
#include "ui/results_view.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {

// The report's place in the window as designed, in twips: the tabs keep its
// top and right margins.
constexpr int kClientWidth = 10680;
constexpr int kReportLeft = 4680, kReportTop = 280, kReportWidth = 5775;

}  // namespace

ResultTabs::ResultTabs(const session::Session& session, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, pixelsY(kReportTop) - 4, pixelsX(kClientWidth - kReportLeft - kReportWidth), 4);
  tabs_ = new QTabWidget(this);
  tabs_->tabBar()->setFocusPolicy(Qt::ClickFocus);
  layout->addWidget(tabs_, 1);
  reportView_ = new QPlainTextEdit(tabs_);
  reportView_->setFont(reportFont());
  reportView_->setLineWrapMode(QPlainTextEdit::NoWrap);
  reportView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reportView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reportView_->setTabChangesFocus(true);
  // The report is a result: it can be selected and copied, never edited.
  reportView_->setReadOnly(true);
  reportView_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  tabs_->addTab(reportView_, QStringLiteral("报告"));
  resultsPanel_ = new ResultsPanel(tabs_);
  tabs_->addTab(resultsPanel_, QStringLiteral("成果表"));
  checkPane_ = new CheckPane(tabs_);
  tabs_->addTab(checkPane_, QStringLiteral("检核"));
  networkView_ = new NetworkView(session, tabs_);
  tabs_->addTab(networkView_, QStringLiteral("网图"));
  designPane_ = new DesignPane(tabs_);
  tabs_->addTab(designPane_, QStringLiteral("设计"));
  layout->addWidget(new QLabel(QStringLiteral("输入数值后按回车逐格前进；输完后按“平差”计算。"), this));
}

void ResultTabs::showReport(const QString& text) {
  // The report's lines end in CR LF; the view keeps lines, not line ends.
  reportView_->setPlainText(text);
  reportView_->moveCursor(QTextCursor::Start);
  reportView_->verticalScrollBar()->setValue(0);
  reportView_->horizontalScrollBar()->setValue(0);
}

}  // namespace levelnet::ui
