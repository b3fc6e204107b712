// The monitoring tables of monitoring_tables.cpp as files: text, CSV, JSON
// and XLSX.
#include "monitor/monitoring_tables.h"

#include <algorithm>
#include <cmath>

#include "adjust/results_columns.h"
#include "adjust/results_export.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"

namespace levelnet::monitor {

namespace {

void appendLine(std::string& out, std::string line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
  out += line;
  out += "\r\n";
}

std::string csvField(const std::string& field) {
  std::string out;
  results_export::appendCsvField(out, field);
  return out;
}

void appendJsonString(std::string& out, std::string_view text) {
  if (firstInvalidUtf8(text))
    throw InputError("沉降观测成果无法写成 JSON：文字“" + std::string(text) + "”不是有效的 UTF-8");
  appendJsonQuoted(out, text);
}

class Json {
 public:
  explicit Json(std::string& out) : out_(out) {}
  void open(char bracket, std::string_view key = {}) {
    member(key);
    out_.push_back(bracket);
    first_.push_back(true);
  }
  void close(char bracket) {
    out_.push_back(bracket);
    first_.pop_back();
  }
  void text(std::string_view key, std::string_view v) {
    member(key);
    appendJsonString(out_, v);
  }
  void number(std::string_view key, double v) {
    member(key);
    out_ += shortestNumberText(v);
  }
  void integer(std::string_view key, long long v) {
    member(key);
    out_ += std::to_string(v);
  }
  void boolean(std::string_view key, bool v) {
    member(key);
    out_ += v ? "true" : "false";
  }
  void null(std::string_view key) {
    member(key);
    out_ += "null";
  }
  void figure(std::string_view key, const std::optional<Figure>& f) {
    if (!f) return null(key);
    open('{', key);
    number("value", f->value);
    text("text", f->text);
    number("standardError", f->sigma);
    text("standardErrorText", f->sigmaText);
    boolean("significant", f->significant);
    close('}');
  }
  void test(std::string_view key, const CongruenceTest& t) {
    open('{', key);
    boolean("done", t.done);
    if (!t.done) {
      text("notDone", t.notDone);
    } else {
      number("omega", t.omega);
      integer("h", t.h);
      integer("f", t.f);
      number("pooledVariance", t.pooledVariance);
      number("statistic", t.statistic);
      number("critical", t.critical);
      boolean("passed", t.passed);
    }
    close('}');
  }

 private:
  void member(std::string_view key) {
    if (!first_.empty()) {
      if (!first_.back()) out_.push_back(',');
      first_.back() = false;
    }
    if (!key.empty()) {
      appendJsonString(out_, key);
      out_.push_back(':');
    }
  }
  std::string& out_;
  std::vector<bool> first_;
};

}  // namespace

std::string monitoringText(const MonitoringResults& r, ResultsEncoding encoding) {
  std::string out;
  for (const std::string& line : summaryLines(r)) appendLine(out, line);
  for (const OutputTable& t : monitoringTables(r)) {
    out += "\r\n";
    appendLine(out, t.title);
    const std::size_t columns = t.sheet.header.size();
    std::vector<std::size_t> width(columns, 0);
    for (std::size_t c = 0; c < columns; ++c) width[c] = displayColumns(t.sheet.header[c]);
    for (const auto& row : t.sheet.rows)
      for (std::size_t c = 0; c < columns; ++c) width[c] = std::max(width[c], displayColumns(row[c].text));
    auto line = [&](auto cellText) {
      std::string l;
      for (std::size_t c = 0; c < columns; ++c) {
        if (c) l += "  ";
        const std::string text = cellText(c);
        const std::size_t pad = width[c] - displayColumns(text);
        if (t.rightAligned[c]) l.append(pad, ' ');
        l += text;
        if (!t.rightAligned[c]) l.append(pad, ' ');
      }
      appendLine(out, l);
    };
    line([&](std::size_t c) { return t.sheet.header[c]; });
    for (const auto& row : t.sheet.rows) line([&](std::size_t c) { return row[c].text; });
    for (const std::string& note : t.sheet.notes) appendLine(out, "  " + note);
  }
  return results_export::encoded(std::move(out), encoding);
}

std::string monitoringCsv(const MonitoringResults& r, ResultsEncoding encoding) {
  std::string out = encoding == ResultsEncoding::utf8 ? std::string(kUtf8ByteOrderMark) : std::string();
  bool first = true;
  for (const OutputTable& t : monitoringTables(r)) {
    if (!first) out += "\r\n";
    first = false;
    out += csvField(t.sheet.name) + "\r\n";
    for (std::size_t c = 0; c < t.sheet.header.size(); ++c) {
      if (c) out += ',';
      out += csvField(t.sheet.header[c]);
    }
    out += "\r\n";
    for (const auto& row : t.sheet.rows) {
      for (std::size_t c = 0; c < row.size(); ++c) {
        if (c) out += ',';
        out += csvField(row[c].text);
      }
      out += "\r\n";
    }
  }
  return results_export::encoded(std::move(out), encoding);
}

std::string monitoringJson(const MonitoringResults& r) {
  std::string out;
  Json j(out);
  j.open('{');
  j.text("project", r.projectName);
  j.text("projectFile", r.projectFile);
  j.number("stableRate", r.settings.stableRate);
  j.number("attentionFraction", r.settings.attentionFraction);
  j.open('[', "references");
  for (std::size_t k = 0; k < r.references.size(); ++k) {
    j.open('{');
    j.text("name", r.references[k]);
    j.number("firstHeight", r.firstHeights[k]);
    j.close('}');
  }
  j.close(']');
  j.open('[', "epochs");
  for (std::size_t i = 0; i < r.epochs.size(); ++i) {
    const EpochResult& e = r.epochs[i];
    j.open('{');
    j.integer("epoch", static_cast<long long>(i) + 1);
    j.text("date", e.entry.dateText);
    j.number("elapsedDays", e.elapsedDays);
    j.number("intervalDays", e.intervalDays);
    j.text("file", e.entry.file);
    j.text("stage", e.entry.stage);
    if (e.entry.load)
      j.number("load", *e.entry.load);
    else
      j.null("load");
    j.text("note", e.entry.note);
    j.integer("observationCount", e.observationCount);
    j.integer("pointCount", e.pointCount);
    j.text("unitWeightErrorText", e.unitWeightErrorText);
    j.number("freeNetworkPvv", e.free.pvv);
    j.integer("freeNetworkRedundancy", e.free.redundancy);
    j.open('[', "heldReferences");
    for (const std::string& h : e.stability.heldReferences) j.text({}, h);
    j.close(']');
    j.text("stabilityNote", e.stability.note);
    j.test("againstFirst", e.stability.againstFirst.global);
    j.open('[', "localisation");
    for (std::size_t s = 0; s < e.stability.againstFirst.steps.size(); ++s) {
      j.open('{');
      j.text("removed", r.references[static_cast<std::size_t>(e.stability.againstFirst.moved[s])]);
      j.test("test", e.stability.againstFirst.steps[s]);
      j.close('}');
    }
    j.close(']');
    j.boolean("undetermined", e.stability.againstFirst.undetermined);
    if (e.stability.previousTested)
      j.test("againstPrevious", e.stability.againstPrevious);
    else
      j.null("againstPrevious");
    j.open('[', "referencePoints");
    for (std::size_t k = 0; k < r.references.size(); ++k) {
      j.open('{');
      j.text("name", r.references[k]);
      if (e.free.available)
        j.number("freeHeight", e.free.referenceHeights[k]);
      else
        j.null("freeHeight");
      if (!e.stability.againstFirst.shifts.empty() && i > 0) {
        j.number("shift", e.stability.againstFirst.shifts[k].shift);
        j.number("shiftStandardError", e.stability.againstFirst.shifts[k].sigma);
      } else {
        j.null("shift");
        j.null("shiftStandardError");
      }
      const auto& moved = e.stability.againstFirst.moved;
      j.boolean("moved", std::find(moved.begin(), moved.end(), static_cast<int>(k)) != moved.end());
      j.text("heightText", e.referenceHeightTexts[k]);
      j.close('}');
    }
    j.close(']');
    j.close('}');
  }
  j.close(']');
  j.open('[', "points");
  for (const PointSeries& p : r.points) {
    j.open('{');
    j.text("name", p.name);
    if (p.warning.cumulative)
      j.number("cumulativeWarning", *p.warning.cumulative);
    else
      j.null("cumulativeWarning");
    if (p.warning.rate)
      j.number("rateWarning", *p.warning.rate);
    else
      j.null("rateWarning");
    j.text("level", levelText(p.currentLevel));
    j.text("stability", p.stability);
    j.figure("lastHundredDaysRate", p.lastHundredDaysRate);
    j.open('[', "epochs");
    for (const PointEpoch& pe : p.epochs) {
      j.open('{');
      j.boolean("observed", pe.present);
      if (pe.present) {
        j.number("height", pe.height);
        j.text("heightText", pe.heightText);
        j.number("standardError", pe.heightError);
        j.text("standardErrorText", pe.heightErrorText);
        if (pe.previousEpoch >= 0)
          j.integer("previousEpoch", pe.previousEpoch + 1);
        else
          j.null("previousEpoch");
        j.figure("change", pe.change);
        j.figure("cumulative", pe.cumulative);
        j.figure("rate", pe.rate);
        j.text("level", levelText(pe.level));
      }
      j.close('}');
    }
    j.close(']');
    j.close('}');
  }
  j.close(']');
  j.open('[', "notes");
  for (const std::string& n : r.notes) j.text({}, n);
  j.close(']');
  j.close('}');
  out += "\n";
  return out;
}

std::string monitoringXlsx(const MonitoringResults& r, std::optional<std::int64_t> created) {
  std::vector<XlsxSheet> sheets;
  XlsxSheet summary;
  summary.name = "概况";
  summary.header = {"沉降观测成果"};
  for (const std::string& line : summaryLines(r)) summary.rows.push_back({XlsxCell{line, std::nullopt, 0}});
  sheets.push_back(std::move(summary));
  for (OutputTable& t : monitoringTables(r)) sheets.push_back(std::move(t.sheet));
  return sheetsXlsx(sheets, created);
}

}  // namespace levelnet::monitor
