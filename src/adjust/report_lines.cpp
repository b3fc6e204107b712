#include "adjust/report_lines.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "adjust/large_array.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"

namespace levelnet {

namespace {

constexpr std::size_t kFieldWidth = 6;

// The results are checked before they are written; this is the last guard.
constexpr const char* kTask = "平差未完成";

}  // namespace

// The thread that writes the blocks to a sink that allows it, one block
// behind the formatting: the two buffers change hands at each block.
struct ReportLines::Writer {
  explicit Writer(TextSink& s) : sink(s), thread([this] { run(); }) {}
  ~Writer() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
    }
    changed.notify_all();
    thread.join();
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [this] { return pending || stop; });
      if (stop) return;  // a block not yet begun is dropped
      const std::string_view bytes(buffer.get(), size);
      const bool failed = failure != nullptr;
      lock.unlock();
      std::exception_ptr error;
      try {
        if (!failed) sink.write(bytes);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      if (error && !failure) failure = error;
      pending = false;
      changed.notify_all();
    }
  }

  // Waits until the block in hand is written; then the buffer is free.
  void waitIdle(std::unique_lock<std::mutex>& lock) {
    changed.wait(lock, [this] { return !pending; });
  }

  TextSink& sink;
  std::mutex mutex;
  std::condition_variable changed;
  std::unique_ptr<char[]> buffer;
  std::size_t size = 0, capacity = 0;
  bool pending = false, stop = false;
  std::exception_ptr failure;  // the first write that threw; nothing is written after it
  std::thread thread;          // last: starts once the rest is set up
};

ReportLines::ReportLines(TextSink& sink, std::size_t blockBytes)
    : sink_(sink), blockBytes_(std::max<std::size_t>(blockBytes, 1)) {}

ReportLines::~ReportLines() = default;

void ReportLines::grow(std::size_t bytes) {
  // The block is handed over at a line end past blockBytes_, so one long row
  // (section 2 of a large network) may take it beyond that: room for the
  // whole row then, doubled so that rows of that length do not grow it again.
  const std::size_t wanted =
      std::max({size_ + bytes, 2 * capacity_, std::min(blockBytes_, kBlockBytes) + (std::size_t(1) << 16)});
  std::unique_ptr<char[]> larger(new char[wanted]);
  if (size_ > 0) std::memcpy(larger.get(), buffer_.get(), size_);
  buffer_ = std::move(larger);
  capacity_ = wanted;
}

char* ReportLines::room(std::size_t bytes) {
  if (capacity_ - size_ < bytes) grow(bytes);
  return buffer_.get() + size_;
}

void ReportLines::append(std::string_view piece) {
  char* p = room(piece.size());
  if (!piece.empty()) std::memcpy(p, piece.data(), piece.size());
  size_ += piece.size();
}

void ReportLines::title(std::string_view line) {
  if (started_) append("\r\n");
  started_ = true;
  append(line);
  endLine();
}

void ReportLines::handOver() {
  // Emptied before the sink sees it: a sink that throws leaves nothing
  // behind to be handed over again.
  const std::size_t bytes = size_;
  size_ = 0;
  if (!writer_ && sink_.writesOnAnyThread()) {
    try {
      writer_ = std::make_unique<Writer>(sink_);
    } catch (const std::system_error&) {
      // No thread to be had: the sink is written on this one.
    }
  }
  if (!writer_) {
    sink_.write(std::string_view(buffer_.get(), bytes));
    return;
  }
  std::unique_lock<std::mutex> lock(writer_->mutex);
  writer_->waitIdle(lock);
  if (writer_->failure) std::rethrow_exception(writer_->failure);
  std::swap(buffer_, writer_->buffer);
  std::swap(capacity_, writer_->capacity);
  writer_->size = bytes;
  writer_->pending = true;
  lock.unlock();
  writer_->changed.notify_all();
}

void ReportLines::endLine() {
  char* p = room(2);
  p[0] = '\r';
  p[1] = '\n';
  size_ += 2;
  if (size_ >= blockBytes_) handOver();
}

void ReportLines::appendLines(std::string_view text) {
  append(text);
  if (size_ >= blockBytes_) handOver();
}

void ReportLines::finish() {
  if (size_ > 0) handOver();
  if (!writer_) return;
  std::exception_ptr failure;
  {
    std::unique_lock<std::mutex> lock(writer_->mutex);
    writer_->waitIdle(lock);
    failure = writer_->failure;
  }
  writer_.reset();
  if (failure) std::rethrow_exception(failure);
}

void ReportLines::padTo6(std::size_t characters) {
  if (characters < kFieldWidth) {
    char* p = room(kFieldWidth - characters);
    std::memset(p, ' ', kFieldWidth - characters);
    size_ += kFieldWidth - characters;
  }
}

void ReportLines::appendNumber(double v) {
  requireFinite(v, kTask);
  char* p = room(kMaxNumberChars);
  size_ += writeNumberText(p, v);
}

void ReportLines::appendFixed(double v, int decimals) {
  requireFinite(v, kTask);
  char* p = room(kMaxNumberChars);
  size_ += writeFixedText(p, v, decimals);
}

void ReportLines::appendRightAligned(std::string_view text) {
  padTo6(utf8Length(text));
  append(text);
}

void ReportLines::appendRightAlignedNumber(double v) {
  requireFinite(v, kTask);
  char buf[kMaxNumberChars];
  const std::size_t n = writeNumberText(buf, v);
  padTo6(n);
  append(std::string_view(buf, n));
}

void ReportLines::appendRightAlignedFixed(double v, int decimals) {
  requireFinite(v, kTask);
  char buf[kMaxNumberChars];
  const std::size_t n = writeFixedText(buf, v, decimals);
  padTo6(n);
  append(std::string_view(buf, n));
}

namespace {

// A sink that is never written: lines formatted apart keep their text.
class NoSink : public TextSink {
 public:
  void write(std::string_view) override {}
};

// Formats the blocks of rows it is given on a second thread, into lines of
// its own that the report's lines then take whole, in order. Each row's text
// is made by the same code from the same values, so the bytes are those of
// one thread.
class SecondFormatter {
 public:
  explicit SecondFormatter(const RowFormatter& rows)
      : rows_(rows), lines_(none_, std::size_t(-1) / 2), thread_([this] { run(); }) {}
  ~SecondFormatter() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Starts on rows i0..i1; the lines of the block before must have been taken.
  void start(int i0, int i1) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      i0_ = i0;
      i1_ = i1;
      busy_ = true;
    }
    changed_.notify_all();
  }

  // Waits for the rows and appends their text to `lines`; throws what their
  // formatting threw.
  void takeInto(ReportLines& lines) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(failure_);
    lines.appendLines(lines_.pending());
    lines_.discard();
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return busy_ || stop_; });
      if (stop_) return;
      const int i0 = i0_, i1 = i1_;
      lock.unlock();
      std::exception_ptr error;
      try {
        rows_(i0, i1, lines_, 1);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      failure_ = error;
      busy_ = false;
      changed_.notify_all();
    }
  }

  const RowFormatter& rows_;
  NoSink none_;
  ReportLines lines_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int i0_ = 0, i1_ = 0;
  bool busy_ = false, stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: starts once the rest is set up
};

}  // namespace

void formatRowsInTurns(ReportLines& lines, int first, int last, int blockRows, const RowFormatter& rows) {
  blockRows = std::max(blockRows, 1);
  // Blocks of rows by turns: this thread the even ones, a second thread the
  // odd ones (where there are two blocks and a thread to be had).
  std::unique_ptr<SecondFormatter> second;
  if (last - first + 1 > blockRows) {
    try {
      second = std::make_unique<SecondFormatter>(rows);
    } catch (const std::system_error&) {
      // No thread to be had: every block on this one.
    }
  }
  for (int i0 = first; i0 <= last; i0 += blockRows) {
    const int i1 = std::min(last, i0 + blockRows - 1);
    const int next0 = i1 + 1, next1 = std::min(last, next0 + blockRows - 1);
    const bool split = second && next0 <= last;
    if (split) second->start(next0, next1);
    rows(i0, i1, lines, 0);
    if (split) {
      second->takeInto(lines);
      i0 = next0;
    }
  }
}

void StringSink::expect(std::size_t bytes) {
  text.reserve(text.size() + bytes);
  adviseHugePages(text.data(), text.capacity());
}

}  // namespace levelnet
