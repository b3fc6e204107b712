// 帮助 → 使用说明 and 关于.
#pragma once

class QWidget;

namespace levelnet::ui {

void showHelp(QWidget* parent);
void showAbout(QWidget* parent);

}  // namespace levelnet::ui
