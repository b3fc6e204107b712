#include "cli/output.h"

#include <cerrno>
#include <new>
#include <ostream>

#include "network/errors.h"
#include "network/gbk.h"
#include "session/network_files.h"

namespace levelnet::cli {

std::string displayName(const std::string& path) { return path == "-" ? "标准输入" : path; }

void writeOut(std::ostream& out, std::string_view bytes) {
  errno = 0;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    const int error = errno ? errno : EIO;
    throw FileError("无法写入标准输出：" + systemErrorText(error), "-", true, error);
  }
}

void flushOut(std::ostream& out) {
  errno = 0;
  out.flush();
  if (!out) {
    const int error = errno ? errno : EIO;
    throw FileError("无法写入标准输出：" + systemErrorText(error), "-", true, error);
  }
}

void deliver(const Arguments& a, std::ostream& out, const std::string& bytes) {
  if (a.output.empty()) {
    writeOut(out, bytes);
    flushOut(out);
  } else {
    saveFileSafely(a.output, bytes);
  }
}

std::string inReportEncoding(const Arguments& a, std::string text) {
  if (a.encoding != "gbk") return text;
  std::optional<std::string> converted = reportToGbk(text);
  if (!converted) throw InputError("报告含有 GBK 编码无法表示的字符", Remedy::utf8Encoding);
  return std::move(*converted);
}

void requireGbkNames(const NetworkText& net) {
  for (int i = 1; i < net.points.rows(); ++i)
    if (!utf8ToGbk(net.points.text(i, 1)))
      throw InputError(
          "点表第 " + std::to_string(i) + " 行的点名“" + net.points.text(i, 1) + "”含有 GBK 编码无法表示的字符",
          InputPlace{InputTable::points, i, 1}, Remedy::utf8Encoding);
}

NetworkText openFile(const std::string& path, const Arguments& a, const Streams& s, NetworkLimits limits) {
  const session::OpenSettings settings{a.inputEncoding, limits};
  session::OpenedNetwork opened =
      path == "-" ? session::openNetwork(s.in, displayName(path), settings) : session::openNetwork(path, settings);
  if (!opened.encodingNote.empty())
    s.err << "levelnet: " << displayName(path) << ": 注意：" << opened.encodingNote
          << (opened.encodingAmbiguous ? "（--encoding utf-8）" : "") << "\n";
  return std::move(opened.network);
}

NetworkText openFileToAdjust(const std::string& path, const Arguments& a, const Streams& s, NetworkLimits limits) {
  NetworkText net = openFile(path, a, s, limits);
  session::requireKnownPointCount(net);
  return net;
}

void warnOfDuplicates(const std::string& path, const std::vector<DuplicateName>& duplicates, std::ostream& err) {
  for (const DuplicateName& d : duplicates)
    err << "levelnet: " << displayName(path) << ": 警告：" << duplicateNameWarning(d) << "\n";
}

namespace {

// How the command line gives what a refusal says is missing.
const char* remedyHint(Remedy remedy) {
  switch (remedy) {
    case Remedy::utf8Encoding:
      return "（请改用 --encoding utf-8）";
    case Remedy::otherFormat:
      return "（请改用 --format csv）";
    case Remedy::knownPoints:
      return "（--known 点名=高程）";
    case Remedy::sectionEnds:
      return "（--section-end 点名）";
    case Remedy::sigmaPerKm:
      return "（--sigma-km）";
    case Remedy::none:
      break;
  }
  return "";
}

}  // namespace

std::string messageOf(const std::exception& e) {
  if (const auto* input = dynamic_cast<const InputError*>(&e))
    return std::string(e.what()) + remedyHint(input->remedy());
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "内存不足，无法完成";
  return e.what();
}

bool isOutputFailure(const std::exception& e) {
  const auto* file = dynamic_cast<const FileError*>(&e);
  return file != nullptr && file->writing();
}

int reportFailure(std::ostream& err, const std::string& file, const std::exception& e) {
  if (const auto* usage = dynamic_cast<const UsageError*>(&e)) {
    err << "levelnet: " << usage->what() << "\n" << kShortUsage;
    return kUsage;
  }
  const bool aboutInput = !file.empty() && !isOutputFailure(e);
  if (dynamic_cast<const Error*>(&e) == nullptr && dynamic_cast<const std::bad_alloc*>(&e) == nullptr) {
    err << "levelnet: 内部错误：" << e.what() << "\n";
    return kRefused;
  }
  err << "levelnet: " << (aboutInput ? displayName(file) + ": " : std::string()) << messageOf(e) << "\n";
  return kRefused;
}

namespace {

// Report text straight to standard output, block by block as the writer
// hands it over, in the report's encoding. Nothing else goes to standard
// output while a report is being written, so the writer may write it from a
// thread of its own.
class OutputSink : public TextSink {
 public:
  OutputSink(std::ostream& out, const Arguments& a) : out_(out), a_(a) {}
  void write(std::string_view bytes) override {
    if (a_.encoding == "gbk")
      writeOut(out_, inReportEncoding(a_, std::string(bytes)));
    else
      writeOut(out_, bytes);
  }
  bool writesOnAnyThread() const override { return true; }

 private:
  std::ostream& out_;
  const Arguments& a_;
};

// Report text into the temporary file of the safe save of -o (from the
// writer's thread too: the save only appends to its open file).
class SavedFileSink : public TextSink {
 public:
  SavedFileSink(FileWriter& file, const Arguments& a) : file_(file), a_(a) {}
  void write(std::string_view bytes) override {
    if (a_.encoding == "gbk")
      file_.write(inReportEncoding(a_, std::string(bytes)));
    else
      file_.write(bytes);
  }
  bool writesOnAnyThread() const override { return true; }

 private:
  FileWriter& file_;
  const Arguments& a_;
};

// How bad an exit status is, for the worst of several files.
int severity(int status) { return status == kRefused ? 2 : status == kCheckFailed ? 1 : 0; }

}  // namespace

int forEveryFile(const Arguments& a, const Streams& s,
                 const std::function<int(const std::string& path, TextSink& sink)>& one) {
  int worst = kDone;
  int delivered = 0;
  auto runAll = [&](TextSink& sink) {
    for (const std::string& path : a.files) {
      int status = kDone;
      try {
        if (a.files.size() > 1) sink.write("==> " + displayName(path) + " <==\r\n");
        status = one(path, sink);
        if (a.files.size() > 1) sink.write("\r\n");
        ++delivered;
      } catch (const std::exception& e) {
        if (isOutputFailure(e) || dynamic_cast<const UsageError*>(&e)) throw;  // ends the whole call
        status = reportFailure(s.err, path, e);
      }
      if (severity(status) > severity(worst)) worst = status;
    }
  };
  if (a.output.empty()) {
    OutputSink streamed(s.out, a);
    runAll(streamed);
    flushOut(s.out);
    return worst;
  }
  struct NothingToSave {};
  try {
    saveFileSafely(a.output, [&](FileWriter& file) {
      SavedFileSink sink(file, a);
      runAll(sink);
      if (delivered == 0) throw NothingToSave{};
    });
  } catch (const NothingToSave&) {
  }
  return worst;
}

}  // namespace levelnet::cli
