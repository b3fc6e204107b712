// The 检核 tab: the check's grade, terrain and a-priori σ per km, whether
// to iterate the blunder search, the 检核
// button, and the check report (with the station checks of the field books
// the network was imported from).
#pragma once

#include <QWidget>

#include "check/network_check.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace levelnet::ui {

class CheckPane : public QWidget {
  Q_OBJECT

 public:
  explicit CheckPane(QWidget* parent = nullptr);

  QComboBox* gradeBox() const { return gradeBox_; }      // 不指定, then the session's check grades
  QComboBox* terrainBox() const { return terrainBox_; }  // 平原, 山区
  QLineEdit* sigmaEdit() const { return sigmaEdit_; }    // mm; empty: none
  QCheckBox* iterateBox() const { return iterateBox_; }  // 迭代剔除粗差
  QPushButton* checkButton() const { return checkButton_; }
  QPlainTextEdit* view() const { return view_; }

  // The grade chosen, "" for 不指定.
  QString grade() const;
  // The settings as chosen. Throws InputError naming what cannot be used.
  CheckOptions options() const;
  // Shows a report (UTF-8, CR LF).
  void showReport(const std::string& report);
  void clear();

 private:
  QComboBox* gradeBox_ = nullptr;
  QComboBox* terrainBox_ = nullptr;
  QLineEdit* sigmaEdit_ = nullptr;
  QCheckBox* iterateBox_ = nullptr;
  QPushButton* checkButton_ = nullptr;
  QPlainTextEdit* view_ = nullptr;
};

}  // namespace levelnet::ui
