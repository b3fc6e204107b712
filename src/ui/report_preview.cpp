#include "ui/report_preview.h"

#include <algorithm>

namespace levelnet::ui {

namespace {

std::size_t countLines(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

QString megabytes(std::size_t bytes) { return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1); }

}  // namespace

void ReportPreviewSink::write(std::string_view bytes) {
  if (cancel_ != nullptr) stopIfCancelled(*cancel_);
  total_ += bytes.size();
  // Fill the head with whole lines while it has room.
  if (omittedBytes_ == 0 && tail_.empty() && head_.size() < headLimit_) {
    const std::size_t room = headLimit_ - head_.size();
    if (bytes.size() <= room) {
      head_.append(bytes);
      return;
    }
    const std::size_t cut = bytes.rfind('\n', room == 0 ? 0 : room - 1);
    if (cut != std::string_view::npos) {
      head_.append(bytes.substr(0, cut + 1));
      bytes.remove_prefix(cut + 1);
    }
  }
  // The rest goes to the tail, which keeps only its last whole lines.
  tail_.append(bytes);
  if (tail_.size() > tailLimit_) {
    std::size_t drop = tail_.size() - tailLimit_;
    const std::size_t lineEnd = tail_.find('\n', drop == 0 ? 0 : drop - 1);
    drop = lineEnd == std::string::npos ? tail_.size() : lineEnd + 1;
    omittedBytes_ += drop;
    omittedLines_ += countLines(std::string_view(tail_).substr(0, drop));
    tail_.erase(0, drop);
  }
}

QString ReportPreviewSink::viewText() const {
  if (complete()) return reportViewText(head_ + tail_);
  const QString note =
      QStringLiteral(
          "…… 报告共 %1 MB，此处只显示开头和结尾，中间 %2 行未显示；完整的报告请用“文件 → 保存报告”保存。……\n")
          .arg(megabytes(total_))
          .arg(omittedLines_);
  return reportViewText(head_) + QStringLiteral("\n") + note + QStringLiteral("\n") + reportViewText(tail_);
}

QString reportViewText(const std::string& report) {
  return QString::fromStdString(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace levelnet::ui
