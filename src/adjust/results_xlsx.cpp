// The 成果表 as an XLSX workbook, through libxlsxwriter where it is installed.
#include "adjust/results_columns.h"
#include "network/errors.h"
#include "network/file_path.h"
#include "network/safe_file.h"

#ifdef LEVELNET_WITH_XLSX
#include <fcntl.h>
#include <xlsxwriter.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#endif

namespace levelnet {

using namespace results_export;

#ifdef LEVELNET_WITH_XLSX

namespace {

// A folder of our own under the system's temporary folder (TMPDIR), made
// exclusively under a fresh random name and readable by the owner only; the
// workbook and libxlsxwriter's own scratch files live in it, and it is
// removed with everything in it when the workbook has been read back. The
// user's target is never written by the library.
class PrivateTemporaryFolder {
 public:
  PrivateTemporaryFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) throw InputError("无法生成 XLSX：找不到临时文件夹（" + ec.message() + "）");
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char name[40];
      std::snprintf(name, sizeof name, "levelnet-xlsx-%08x%08x", random(), random());
      const fs::path candidate = base / name;
      // create_directory makes a new folder or reports that the name is
      // taken (by anything, a link included); it never reuses one.
      if (fs::create_directory(candidate, ec)) {
        fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
        if (ec) {
          fs::remove(candidate, ec);
          break;
        }
        path_ = candidate;
        return;
      }
      if (ec && ec != std::errc::file_exists) break;
    }
    throw InputError("无法生成 XLSX：无法在临时文件夹“" + utf8Name(base) + "”中建立工作文件夹" +
                     (ec ? "（" + ec.message() + "）" : std::string()));
  }
  ~PrivateTemporaryFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  PrivateTemporaryFolder(const PrivateTemporaryFolder&) = delete;
  PrivateTemporaryFolder& operator=(const PrivateTemporaryFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// libxlsxwriter prints its own English diagnostics with source paths on
// standard error; the program says what went wrong itself. While the
// library works, standard error goes nowhere (one workbook at a time).
class QuietStandardError {
 public:
  QuietStandardError() : lock_(mutex()) {
    std::fflush(stderr);
#ifdef _WIN32
    const int nowhere = ::_open("NUL", _O_WRONLY);
    saved_ = ::_dup(2);
    if (nowhere >= 0 && saved_ >= 0) ::_dup2(nowhere, 2);
    if (nowhere >= 0) ::_close(nowhere);
#else
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    saved_ = ::dup(2);
    if (nowhere >= 0 && saved_ >= 0) ::dup2(nowhere, 2);
    if (nowhere >= 0) ::close(nowhere);
#endif
  }
  ~QuietStandardError() {
    std::fflush(stderr);
    if (saved_ < 0) return;
#ifdef _WIN32
    ::_dup2(saved_, 2);
    ::_close(saved_);
#else
    ::dup2(saved_, 2);
    ::close(saved_);
#endif
  }
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  std::lock_guard<std::mutex> lock_;
  int saved_ = -1;
};

// The folder the workbook is made in, for messages.
std::string gScratchFolder;

// Fails the export on the first call of libxlsxwriter that fails, with the
// system's reason where it gives one (a full temporary folder above all).
void require(lxw_error error) {
  if (error == LXW_NO_ERROR) return;
  const int system = errno;
  if (system != 0 &&
      (error == LXW_ERROR_CREATING_TMPFILE || error == LXW_ERROR_ZIP_FILE_OPERATION ||
       error == LXW_ERROR_ZIP_FILE_ADD || error == LXW_ERROR_ZIP_CLOSE || error == LXW_ERROR_CREATING_XLSX_FILE))
    throw FileError("无法生成 XLSX：临时文件夹“" + gScratchFolder + "”：" + systemErrorText(system), gScratchFolder,
                    true, system);
  throw InputError(std::string("无法生成 XLSX：") + lxw_strerror(error));
}

// A figure as the number its text shows ("1.3170" is 1.317), so that a sheet
// sums and displays exactly what the report prints.
double figureOf(const ResultNumber& r) { return shownFigure(r.text).value_or(r.value); }

class Workbook {
 public:
  Workbook(const std::string& path, const std::string& scratch, std::optional<std::int64_t> created)
      : scratch_(scratch) {
    gScratchFolder = utf8Name(fileSystemPath(scratch).parent_path());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = scratch_.data();
    book_ = workbook_new_opt(path.c_str(), &options);
    if (!book_) throw InputError("无法生成 XLSX：无法建立工作簿");
    if (created) {
      // The library takes a creation time of 0 for "now", and one beyond
      // the year 9999 does not fit its date text (or crashes its gmtime):
      // the time is kept within the first second after 1970 and the end of
      // 9999, so every value gives the same workbook on every run.
      constexpr std::int64_t kLatest = 253402300799;  // 9999-12-31 23:59:59 UTC
      lxw_doc_properties properties = {};
      properties.created = static_cast<time_t>(std::clamp<std::int64_t>(*created, 1, kLatest));
      require(workbook_set_properties(book_, &properties));
    }
  }
  ~Workbook() {
    if (book_) workbook_close(book_);
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  lxw_workbook* get() { return book_; }
  lxw_worksheet* sheet(const char* name) {
    lxw_worksheet* s = workbook_add_worksheet(book_, name);
    if (!s) throw InputError(std::string("无法生成 XLSX：无法建立工作表“") + name + "”");
    return s;
  }
  lxw_format* format(const char* numberFormat, bool bold = false) {
    lxw_format* f = workbook_add_format(book_);
    if (!f) throw OutOfMemoryError("无法生成 XLSX：内存不足");
    if (numberFormat) format_set_num_format(f, numberFormat);
    if (bold) format_set_bold(f);
    return f;
  }
  void close() {
    lxw_workbook* book = book_;
    book_ = nullptr;
    errno = 0;
    require(workbook_close(book));
  }

 private:
  std::string scratch_;
  lxw_workbook* book_ = nullptr;
};

void writeHeader(lxw_worksheet* sheet, lxw_row_t row, std::initializer_list<const char*> titles, lxw_format* bold) {
  lxw_col_t col = 0;
  for (const char* t : titles) require(worksheet_write_string(sheet, row, col++, t, bold));
}

}  // namespace

bool xlsxAvailable() { return true; }

// The bytes of a finished workbook, read back from its temporary file.
std::string workbookBytes(const std::string& target) {
  std::ifstream in(fileSystemPath(target), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw InputError("无法生成 XLSX：无法读回临时工作簿");
  if (bytes.empty()) throw InputError("无法生成 XLSX：临时工作簿是空的");
  return bytes;
}

std::string resultsXlsx(const ResultsTable& table, std::optional<std::int64_t> created) {
  PrivateTemporaryFolder folder;
  const std::string target = utf8Name(folder.path() / "results.xlsx");
  const QuietStandardError quiet;
  {
    Workbook book(target, utf8Name(folder.path()), created);
    lxw_format* bold = book.format(nullptr, true);
    lxw_format* whole = book.format("0");
    const auto decimals = [&](int k) -> lxw_format* {
      static const char* const kMasks[] = {"0", "0.0", "0.00", "0.000", "0.0000"};
      return book.format(kMasks[k]);
    };
    lxw_format* metres4 = decimals(4);
    lxw_format* metres3 = decimals(3);
    lxw_format* tenths = decimals(1);
    lxw_format* hundredths = decimals(2);

    lxw_worksheet* points = book.sheet("点成果");
    writeHeader(points, 0, {"序号", "点号", "类型", "高程(m)", "中误差(mm)"}, bold);
    lxw_row_t row = 1;
    for (const PointResult& p : table.points) {
      require(worksheet_write_number(points, row, 0, p.number, whole));
      require(worksheet_write_string(points, row, 1, p.name.c_str(), nullptr));
      require(worksheet_write_string(points, row, 2, pointKind(p), nullptr));
      require(worksheet_write_number(points, row, 3, figureOf(p.elevation), metres4));
      if (p.standardError)
        require(worksheet_write_number(points, row, 4, shownFigure(p.standardErrorText).value_or(*p.standardError),
                                       tenths));
      else
        require(worksheet_write_string(points, row, 4, kNoValueText, nullptr));
      ++row;
    }
    require(worksheet_set_column(points, 0, 0, 6, nullptr));
    require(worksheet_set_column(points, 1, 2, 14, nullptr));
    require(worksheet_set_column(points, 3, 4, 12, nullptr));

    lxw_worksheet* observations = book.sheet("观测值");
    const std::vector<std::string> header = observationHeader(table);
    for (std::size_t c = 0; c < header.size(); ++c)
      require(worksheet_write_string(observations, 0, static_cast<lxw_col_t>(c), header[c].c_str(), bold));
    row = 1;
    for (const ObservationResult& o : table.observations) {
      require(worksheet_write_number(observations, row, 0, o.number, whole));
      require(worksheet_write_string(observations, row, 1, o.from.c_str(), nullptr));
      require(worksheet_write_string(observations, row, 2, o.to.c_str(), nullptr));
      require(worksheet_write_number(observations, row, 3, figureOf(o.observedDifference), metres3));
      // The route length as given, in its general text's precision.
      require(worksheet_write_number(observations, row, 4, o.routeLength.value, nullptr));
      require(worksheet_write_number(observations, row, 5, figureOf(o.correction), tenths));
      require(worksheet_write_number(observations, row, 6, figureOf(o.adjustedDifference), metres4));
      if (hasCheckFigures(table)) {
        require(worksheet_write_number(observations, row, 7, shownFigure(o.redundancyText).value_or(0.0), metres3));
        if (o.testStatistic)
          require(
              worksheet_write_number(observations, row, 8, shownFigure(o.testStatisticText).value_or(0.0), hundredths));
        else
          require(worksheet_write_string(observations, row, 8, kNoValueText, nullptr));
        require(worksheet_write_string(observations, row, 9, o.attention.c_str(), nullptr));
      }
      ++row;
    }
    ++row;
    require(worksheet_write_string(observations, row++, 0, "精度评定", bold));
    for (const SummaryRow& s : summaryRows(table.precision)) {
      require(worksheet_write_string(observations, row, 0, s.label.c_str(), nullptr));
      if (s.value)
        require(worksheet_write_number(observations, row, 3, *s.value,
                                       s.decimals == 3   ? metres3
                                       : s.decimals == 1 ? tenths
                                                         : whole));
      else
        require(worksheet_write_string(observations, row, 3, s.text.c_str(), nullptr));
      ++row;
    }
    require(worksheet_set_column(observations, 0, 0, 6, nullptr));
    require(worksheet_set_column(observations, 1, 2, 14, nullptr));
    require(worksheet_set_column(observations, 3, hasCheckFigures(table) ? 8 : 6, 13, nullptr));
    book.close();
  }
  return workbookBytes(target);
}

std::string sheetsXlsx(const std::vector<XlsxSheet>& sheets, std::optional<std::int64_t> created) {
  PrivateTemporaryFolder folder;
  const std::string target = utf8Name(folder.path() / "tables.xlsx");
  const QuietStandardError quiet;
  {
    Workbook book(target, utf8Name(folder.path()), created);
    lxw_format* bold = book.format(nullptr, true);
    lxw_format* masks[5];
    static const char* const kMasks[] = {"0", "0.0", "0.00", "0.000", "0.0000"};
    for (int k = 0; k < 5; ++k) masks[k] = book.format(kMasks[k]);
    for (const XlsxSheet& s : sheets) {
      lxw_worksheet* sheet = book.sheet(s.name.c_str());
      for (std::size_t c = 0; c < s.header.size(); ++c)
        require(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), s.header[c].c_str(), bold));
      lxw_row_t row = 1;
      for (const std::vector<XlsxCell>& cells : s.rows) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
          const XlsxCell& cell = cells[c];
          const lxw_col_t col = static_cast<lxw_col_t>(c);
          if (cell.number)
            require(worksheet_write_number(sheet, row, col, *cell.number, masks[std::clamp(cell.decimals, 0, 4)]));
          else if (!cell.text.empty())
            require(worksheet_write_string(sheet, row, col, cell.text.c_str(), nullptr));
        }
        ++row;
      }
      if (!s.notes.empty()) ++row;
      for (const std::string& note : s.notes) require(worksheet_write_string(sheet, row++, 0, note.c_str(), nullptr));
      if (!s.header.empty())
        require(worksheet_set_column(sheet, 0, static_cast<lxw_col_t>(s.header.size() - 1), 12, nullptr));
    }
    book.close();
  }
  return workbookBytes(target);
}

#else
bool xlsxAvailable() { return false; }

std::string sheetsXlsx(const std::vector<XlsxSheet>&, std::optional<std::int64_t>) {
  throw InputError("这个版本没有编译 XLSX 导出（需要 libxlsxwriter）：请改用 CSV 格式", Remedy::otherFormat);
}

std::string resultsXlsx(const ResultsTable&, std::optional<std::int64_t>) {
  throw InputError("这个版本没有编译 XLSX 导出（需要 libxlsxwriter）：请改用 CSV 格式", Remedy::otherFormat);
}
#endif

}  // namespace levelnet
