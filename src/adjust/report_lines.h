// Report text on its way to a sink: the lines of a report gathered into
// blocks of whole lines, each handed to the sink (on a thread of its own
// where the sink allows it, while the next is formatted), and tables whose
// rows two threads format by turns. Nothing holds the whole text unless the
// sink keeps it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace levelnet {

// Where report text goes: standard output, a file, the window's view.
class TextSink {
 public:
  virtual ~TextSink() = default;
  // Takes the next bytes; they always end at a line end. Throws on a write
  // that fails.
  virtual void write(std::string_view bytes) = 0;
  // A generous estimate of the bytes still to come, given before the first
  // write; a sink that keeps the text may make room for it.
  virtual void expect(std::size_t /*bytes*/) {}
  // Whether write() may be called on a thread of the writer's own (one call
  // at a time, in order, every one of them over before the report's writing
  // returns or throws). The report is then formatted while the block before
  // is being written; a failed write is passed on to the writing as it is.
  virtual bool writesOnAnyThread() const { return false; }
};

// A sink that keeps the whole text (the window, the tests).
class StringSink : public TextSink {
 public:
  void write(std::string_view bytes) override { text.append(bytes); }
  // Reserved memory that is never written costs no physical memory; the
  // room spares a text of a hundred megabytes its copies as it grows, and
  // large pages its page faults.
  void expect(std::size_t bytes) override;
  std::string text;
};

// Report lines in the making, passed on to the sink a block at a time.
// Numbers are formatted straight into the block, which is a plain buffer:
// the sections of t^2 numbers write their rows through room()/advance()
// without a call per byte. No number that is not finite is ever written: it
// throws InputError instead.
class ReportLines {
 public:
  // Bytes gathered before they go to the sink: large enough that a sink's
  // per-call cost (and the hand-over to the writer's thread) does not
  // matter, small enough to stay in the cache.
  static constexpr std::size_t kBlockBytes = std::size_t(1) << 20;

  // Hands a block over at the first line end at or past `blockBytes`.
  explicit ReportLines(TextSink& sink, std::size_t blockBytes = kBlockBytes);
  // Without finish(), whatever is not yet handed over is dropped, and a
  // block still being written is waited for.
  ~ReportLines();
  ReportLines(const ReportLines&) = delete;
  ReportLines& operator=(const ReportLines&) = delete;

  // A section title line; every section but the first gets an empty line
  // before it.
  void title(std::string_view line);

  void append(std::string_view piece);
  void endLine();
  // Whole lines, each ended, appended at once (handed over after them when
  // the block is full).
  void appendLines(std::string_view text);

  // General text of a number (counters, approximate elevations).
  void appendNumber(double v);
  // A number in a mask of `decimals` decimals, rounded half up.
  void appendFixed(double v, int decimals);
  // Right-aligned in 6 characters (characters, not bytes: "水准点" takes
  // three); a longer text is never shortened.
  void appendRightAligned(std::string_view text);
  void appendRightAlignedNumber(double v);
  void appendRightAlignedFixed(double v, int decimals);

  // At least `bytes` bytes of room after the text so far; the caller writes
  // into them and then says where its text ends with advance(). Nothing else
  // may be appended in between.
  char* room(std::size_t bytes);
  // The end of the room room() gave (the caller may write up to it).
  char* roomEnd() { return buffer_.get() + capacity_; }
  void advance(char* end) { size_ = static_cast<std::size_t>(end - buffer_.get()); }

  // The text not yet handed over, and dropping it: for lines formatted apart
  // (with a block size no text reaches) and then appended to others.
  std::string_view pending() const { return std::string_view(buffer_.get(), size_); }
  void discard() { size_ = 0; }

  // Hands what is left to the sink and waits for every write; throws what a
  // write threw. Call once, after the last line.
  void finish();

 private:
  struct Writer;
  void padTo6(std::size_t characters);
  void grow(std::size_t bytes);
  void handOver();
  TextSink& sink_;
  std::size_t blockBytes_;
  std::unique_ptr<Writer> writer_;  // the sink's thread, once a block goes to it
  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool started_ = false;
};

// Formats rows i0..i1 of a table, each ended, into `into`; `worker` is 0 on
// the writing thread and 1 on the second, so that each keeps scratch room
// of its own.
using RowFormatter = std::function<void(int i0, int i1, ReportLines& into, int worker)>;

// Rows first..last into `lines` in blocks of `blockRows`: this thread the
// even blocks, a second thread the odd ones into lines of its own, which
// `lines` takes whole after the block before, in order (on one thread where
// there is one block or no thread to be had). The bytes are those of one
// thread; what a block's formatting throws is thrown here.
void formatRowsInTurns(ReportLines& lines, int first, int last, int blockRows, const RowFormatter& rows);

}  // namespace levelnet
