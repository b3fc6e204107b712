#include "ui/field_book_import.h"

#include <QFile>
#include <QFileInfo>

#include "network/errors.h"
#include "session/known_points.h"
#include "ui/dialogs.h"
#include "ui/error_text.h"
#include "ui/file_names.h"
#include "ui/table_rows.h"

namespace levelnet::ui {

std::optional<FieldBookImportRequest> FieldBookImportDialogs::ask(const QString& startName, const QString& lastKnown,
                                                                  const QString& grade, const QString& terrain,
                                                                  const QString& lastCorrections) {
  const std::optional<QStringList> files =
      dialogs_.openFileNames(parent_, QStringLiteral("观测手簿和电子水准仪数据 (*.csv *.gsi *.dat *.txt)"), startName);
  if (!files || files->isEmpty()) return std::nullopt;
  const std::optional<QString> typed =
      boxes_.askText(parent_, QStringLiteral("导入观测手簿"),
                     QStringLiteral("已知点及其高程（m），如 BM1=12.345, BM2=13.000：\n"
                                    "（也可以留空，导入后在点表中输入）"),
                     lastKnown);
  if (!typed) return std::nullopt;
  FieldBookImportRequest request;
  try {
    request.settings.known = session::parseKnownPoints(typed->toStdString());
  } catch (const std::exception&) {
    boxes_.warn(parent_, QStringLiteral("Vantrel水准网平差"),
                failureText(std::current_exception(), QStringLiteral("导入观测手簿")));
    return std::nullopt;
  }
  if (grade == QStringLiteral("一等") || grade == QStringLiteral("二等")) {
    const std::optional<QString> corrections = boxes_.askText(
        parent_, QStringLiteral("导入观测手簿：精密水准改正"),
        QStringLiteral(
            "一、二等水准的改正（可留空，不作改正），如：\n"
            "尺长=0.02（一对标尺的平均米长误差，mm/m），膨胀系数=0.001（mm/(m·℃)），检定温度=20，\n"
            "尺温文件=各测段尺温.csv（起点,终点,尺温），点位文件=点位.csv（点名,纬度[,近似高程][,重力异常]）"),
        lastCorrections);
    if (!corrections) return std::nullopt;
    try {
      request.settings.corrections = session::parseCorrectionSettings(corrections->toStdString());
    } catch (const std::exception&) {
      boxes_.warn(parent_, QStringLiteral("Vantrel水准网平差"),
                  failureText(std::current_exception(), QStringLiteral("导入观测手簿")));
      return std::nullopt;
    }
    request.correctionsText = *corrections;
  }
  for (const QString& f : *files) request.files << QFileInfo(f).absoluteFilePath();
  request.knownText = *typed;
  request.settings.grade = grade.toStdString();  // 等外 is the engineering fifth order, none 四等
  request.settings.terrain = terrain.toStdString();
  return request;
}

FieldBookImported importFieldBooks(const FieldBookImportRequest& request) {
  std::vector<std::string> paths;
  for (const QString& f : request.files) paths.push_back(localPath(f));
  session::FieldBookReading reading = session::readFieldBooks(paths);
  if (!reading.refusals.empty()) {
    std::string message;
    for (const session::FieldBookRefusal& r : reading.refusals)
      message += (message.empty() ? "" : "\n") + r.name + "：" + r.message;
    throw InputError(message);
  }
  FieldBookImported imported{session::importFieldBooks(reading.books, request.settings), std::move(reading.books)};
  const NetworkText& net = imported.run.network;
  if (net.points.rows() > kMaxTableRows || net.observations.rows() > kMaxTableRows)
    throw InputError("观测手簿有 " + std::to_string(net.points.rows() - 1) + " 个点、" +
                     std::to_string(net.observations.rows() - 1) + " 个观测值；每个表格最多 " +
                     std::to_string(kMaxTableRows - 1) + " 行数据，未导入。");
  return imported;
}

}  // namespace levelnet::ui
