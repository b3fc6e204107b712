#include "ui/help_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/twips.h"

namespace levelnet::ui {

void showHelp(QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("使用说明"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QTextBrowser(&dialog);
  text->setHtml(QStringLiteral(
      "<h3>水准网平差：使用说明</h3>"
      "<ol>"
      "<li>在“已知点”“待定点”“观测值”中输入个数，每项按回车；在“单位权长度”中输入单位权对应的路线长度（km）。</li>"
      "<li>"
      "点表：先已知点后待定点，填点号和高程（待定点高程可空）。观测值表：起点、终点、观测高差（m）、水准路线长度（km）"
      "。"
      "回车逐格前进，Esc 放弃正在输入的内容，Ctrl+Z 撤销。</li>"
      "<li>按“平差”（Alt+R 或 F5）：“报告”页显示完整的平差报告，“成果表”页显示点成果、观测值成果和精度评定。</li>"
      "<li>“检核”页：选择等级和地形后按“检核”（F6），检查闭合差、χ² 检验、粗差和可发现的最小粗差。</li>"
      "<li>“文件”菜单：保存报告、导出成果表（CSV、Excel、JSON、文本）、导出 PDF、打印。</li>"
      "</ol>"
      "<p>文件为 .pc 格式，以 GBK 编码保存；保存时先写临时文件再替换，原文件不会因保存失败而损坏。</p>"));
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(pixelsX(7000), pixelsY(5000));
  dialog.exec();
}

void showAbout(QWidget* parent) {
  QMessageBox::about(parent, QStringLiteral("关于"),
                     QStringLiteral("<b>levelnet %1</b><br>水准网间接平差：平差报告、成果表、数据检核。<br>"
                                    "以 GNU 通用公共许可证第 3 版或更高版本发布。")
                         .arg(QStringLiteral(LEVELNET_VERSION)));
}

}  // namespace levelnet::ui
