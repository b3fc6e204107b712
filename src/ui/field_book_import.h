// 导入观测手簿 in the window: the files and the known points asked for, then
// the books read and imported (off the window's thread) as a new network.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "session/field_books.h"

class QWidget;

namespace levelnet::ui {

class FileDialogs;
class MessageBoxes;

struct FieldBookImportRequest {
  QStringList files;        // full paths
  QString knownText;        // as typed: "BM1=50.000, BM2=51.668"
  QString correctionsText;  // 一、二等: as typed, "尺长=0.02，点位文件=…"; empty: none
  session::ImportSettings settings;
};

class FieldBookImportDialogs {
 public:
  FieldBookImportDialogs(FileDialogs& dialogs, MessageBoxes& boxes, QWidget* parent)
      : dialogs_(dialogs), boxes_(boxes), parent_(parent) {}

  // Asks for the field files (starting at `startName`) and the known points
  // (starting with `lastKnown`), and at 一等 and 二等 the corrections of
  // precise leveling (starting with `lastCorrections`; may be left empty);
  // the 检核 tab's grade and terrain are the import's. Nothing when the user cancelled or the known points cannot be
  // read (told in a message).
  std::optional<FieldBookImportRequest> ask(const QString& startName, const QString& lastKnown, const QString& grade,
                                            const QString& terrain, const QString& lastCorrections = {});

 private:
  FileDialogs& dialogs_;
  MessageBoxes& boxes_;
  QWidget* parent_;
};

struct FieldBookImported {
  session::FieldImportRun run;
  std::vector<session::FieldBook> books;
};

// Reads and imports the books. Throws InputError naming every file that
// cannot be read, or a network too large for the window's tables.
FieldBookImported importFieldBooks(const FieldBookImportRequest& request);

}  // namespace levelnet::ui
