// What the report view shows of a report. A report of a few thousand points
// runs to hundreds of megabytes (its matrices grow with the square of the
// points), more than a text view can take in; the view then shows its
// beginning and its end with a note between, and 保存报告 writes it whole.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

#include "adjust/report_writer.h"
#include "ui/background_task.h"

namespace levelnet::ui {

// A sink that keeps the first `headBytes` and the last `tailBytes` of what
// it is given, whole lines only, and counts the rest. Stops the work with
// TaskCancelled once `cancel` is set.
class ReportPreviewSink : public TextSink {
 public:
  explicit ReportPreviewSink(const CancelFlag* cancel = nullptr, std::size_t headBytes = kHeadBytes,
                             std::size_t tailBytes = kTailBytes)
      : cancel_(cancel), headLimit_(headBytes), tailLimit_(tailBytes) {}

  // Shown whole up to about 3 MB: every network of a few hundred points.
  static constexpr std::size_t kHeadBytes = std::size_t{2} << 20;
  static constexpr std::size_t kTailBytes = std::size_t{1} << 20;

  void write(std::string_view bytes) override;

  // Whether the whole report is kept.
  bool complete() const { return omittedBytes_ == 0; }
  std::size_t totalBytes() const { return total_; }
  // The text for the view, lines ended by "\n": the whole report, or its
  // head, a note naming what was left out, and its tail.
  QString viewText() const;

 private:
  const CancelFlag* cancel_;
  std::size_t headLimit_, tailLimit_;
  std::string head_;
  std::string tail_;  // the last lines seen after the head was full
  std::size_t total_ = 0;
  std::size_t omittedBytes_ = 0, omittedLines_ = 0;  // between head_ and tail_
};

// The report's lines for a text view: "\r\n" becomes "\n".
QString reportViewText(const std::string& report);

}  // namespace levelnet::ui
