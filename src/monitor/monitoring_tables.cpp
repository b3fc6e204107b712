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

constexpr char kNotObserved[] = "未测";
constexpr char kNone[] = "—";

XlsxCell textCell(std::string text) { return {std::move(text), std::nullopt, 0}; }

XlsxCell numberCell(const std::string& text, int decimals) {
  return {text, results_export::shownFigure(text), decimals};
}

XlsxCell figureCell(const std::optional<Figure>& f, int decimals, bool sigma = false) {
  if (!f) return textCell(kNone);
  return numberCell(sigma ? f->sigmaText : f->text, decimals);
}

std::string epochLabel(int i) { return "第" + std::to_string(i + 1) + "期"; }

std::string dayText(double days) { return fixedText(days, 1); }

std::string verdictText(const CongruenceTest& t) {
  if (!t.done) return "未检验";
  return t.passed ? "通过" : "未通过";
}

std::string testNumbers(const CongruenceTest& t, std::vector<XlsxCell>& row) {
  if (!t.done) {
    for (int c = 0; c < 6; ++c) row.push_back(textCell(kNone));
    return t.notDone;
  }
  row.push_back(numberCell(fixedText(t.omega, 3), 3));
  row.push_back(numberCell(std::to_string(t.h), 0));
  row.push_back(numberCell(std::to_string(t.f), 0));
  row.push_back(numberCell(fixedText(std::sqrt(t.pooledVariance), 3), 3));
  row.push_back(numberCell(fixedText(t.statistic, 3), 3));
  row.push_back(numberCell(fixedText(t.critical, 3), 3));
  return std::string();
}

std::string stageText(const EpochEntry& e, const std::string& unit) {
  if (e.stage.empty()) return kNone;
  return e.load && !unit.empty() ? e.stage + " " + unit : e.stage;
}

}  // namespace

std::vector<std::string> summaryLines(const MonitoringResults& r) {
  std::vector<std::string> lines;
  lines.push_back("沉降观测成果");
  if (!r.projectName.empty()) lines.push_back("项目：" + r.projectName);
  lines.push_back("项目文件：" + r.projectFile);
  std::string refs;
  for (std::size_t j = 0; j < r.references.size(); ++j)
    refs += (j ? "、" : "") + r.references[j] + "（" + fixedText(r.firstHeights[j], 4) + " m）";
  lines.push_back("基准点：" + refs + "，高程取首期");
  if (!r.epochs.empty())
    lines.push_back("观测 " + std::to_string(r.epochs.size()) + " 期，" + r.epochs.front().entry.dateText + " 至 " +
                    r.epochs.back().entry.dateText + "，共 " + dayText(r.epochs.back().elapsedDays) + " d；监测点 " +
                    std::to_string(r.points.size()) + " 个");
  lines.push_back(
      "沉降量为高程之差（按成果表的 0.1 mm），负值为下沉；本次沉降量相对于该点上一次观测，"
      "累计沉降量相对于该点首次观测；变化大于其中误差的 2 倍为显著（*）");
  lines.push_back("稳定判定：最后 100 d 的沉降速率小于 " + numberText(r.settings.stableRate) +
                  " mm/d 为稳定（JGJ 8-2016 第 7.1.5 条：0.01～0.04 mm/d，按地基土的压缩性能取值）；"
                  "注意：达到预警值的 " +
                  numberText(r.settings.attentionFraction * 100.0) + "%");
  int warned = 0, attention = 0;
  for (const PointSeries& p : r.points) {
    warned += p.currentLevel == WarningLevel::warning;
    attention += p.currentLevel == WarningLevel::attention;
  }
  std::string moved;
  for (std::size_t i = 0; i < r.epochs.size(); ++i) {
    const StabilityVerdict& v = r.epochs[i].stability.againstFirst;
    if (v.moved.empty()) continue;
    std::string names;
    for (int m : v.moved) names += (names.empty() ? "" : "、") + r.references[static_cast<std::size_t>(m)];
    moved += (moved.empty() ? "" : "；") + epochLabel(static_cast<int>(i)) + " " + names;
  }
  bool anyWarningValue = false;
  for (const PointSeries& p : r.points) anyWarningValue |= p.warning.cumulative || p.warning.rate;
  int tested = 0, undetermined = 0;
  for (std::size_t i = 1; i < r.epochs.size(); ++i) {
    tested += r.epochs[i].stability.againstFirst.global.done;
    undetermined += r.epochs[i].stability.againstFirst.undetermined;
  }
  std::string warnings = !anyWarningValue ? std::string("未给出预警值")
                         : warned         ? std::to_string(warned) + " 个点预警"
                                          : std::string("无预警点");
  if (attention) warnings += "，" + std::to_string(attention) + " 个点注意";
  std::string frame = !moved.empty()        ? "基准点移动：" + moved + "（该期按稳定的基准点平差）"
                      : r.epochs.size() < 2 ? std::string("只有一期，未检验基准点")
                      : tested == 0         ? std::string("基准点稳定性未能检验（见说明）")
                                            : std::string("基准点未发现移动");
  if (undetermined) frame += "；" + std::to_string(undetermined) + " 期基准点不相符但无法确定哪一个移动（见第四表）";
  if (tested > 0 && tested + 1 < static_cast<int>(r.epochs.size()))
    frame += "；" + std::to_string(static_cast<int>(r.epochs.size()) - 1 - tested) + " 期未能检验";
  lines.push_back("结论：" + warnings + "；" + frame);
  for (const std::string& n : r.notes) lines.push_back("说明：" + n);
  return lines;
}

std::vector<OutputTable> monitoringTables(const MonitoringResults& r) {
  std::vector<OutputTable> tables;
  const int epochs = static_cast<int>(r.epochs.size());

  {  // The epochs.
    OutputTable t;
    t.title = "一、观测期";
    t.sheet.name = "观测期";
    t.sheet.header = {
        "期次",     "日期",   "间隔(d)", "累计(d)", r.loadUnit.empty() ? "荷载/阶段" : "荷载(" + r.loadUnit + ")/阶段",
        "平差文件", "观测值", "点数",    "μ(mm)",   "平差基准",
        "备注"};
    t.rightAligned = {false, false, true, true, false, false, true, true, true, false, false};
    for (int i = 0; i < epochs; ++i) {
      const EpochResult& e = r.epochs[static_cast<std::size_t>(i)];
      std::string held;
      for (const std::string& h : e.stability.heldReferences) held += (held.empty() ? "" : "、") + h;
      t.sheet.rows.push_back({numberCell(std::to_string(i + 1), 0), textCell(e.entry.dateText),
                              numberCell(dayText(e.intervalDays), 1), numberCell(dayText(e.elapsedDays), 1),
                              e.entry.load ? numberCell(e.entry.stage, 0) : textCell(stageText(e.entry, r.loadUnit)),
                              textCell(e.entry.file), numberCell(std::to_string(e.observationCount), 0),
                              numberCell(std::to_string(e.pointCount), 0), numberCell(e.unitWeightErrorText, 3),
                              textCell(held), textCell(e.entry.note.empty() ? kNone : e.entry.note)});
      if (e.entry.load) t.sheet.rows.back()[4].decimals = 4;
    }
    tables.push_back(std::move(t));
  }

  {  // The 成果表 as the standards lay it out.
    OutputTable t;
    t.title = "二、沉降观测成果表（高程 m，沉降量 mm）";
    t.sheet.name = "沉降观测成果表";
    t.sheet.header = {"点号"};
    t.rightAligned = {false};
    for (int i = 0; i < epochs; ++i)
      for (const char* c : {" 高程", " 本次", " 累计"}) {
        t.sheet.header.push_back(epochLabel(i) + c);
        t.rightAligned.push_back(true);
      }
    t.sheet.header.push_back("状态");
    t.rightAligned.push_back(false);
    for (const PointSeries& p : r.points) {
      std::vector<XlsxCell> row = {textCell(p.name)};
      for (int i = 0; i < epochs; ++i) {
        const PointEpoch& pe = p.epochs[static_cast<std::size_t>(i)];
        if (!pe.present) {
          for (int c = 0; c < 3; ++c) row.push_back(textCell(kNotObserved));
          continue;
        }
        row.push_back(numberCell(pe.heightText, 4));
        row.push_back(figureCell(pe.change, 1));
        row.push_back(figureCell(pe.cumulative, 1));
      }
      row.push_back(textCell(*levelText(p.currentLevel) ? levelText(p.currentLevel) : kNone));
      t.sheet.rows.push_back(std::move(row));
    }
    t.sheet.notes.push_back("“未测”：该点本期没有观测；“—”：该点首次观测，没有本次沉降量");
    tables.push_back(std::move(t));
  }

  {  // Every figure with its standard error.
    OutputTable t;
    t.title = "三、沉降量明细（± 为中误差；* 为显著：大于中误差的 2 倍）";
    t.sheet.name = "沉降量明细";
    t.sheet.header = {"点号",     "期次",  "日期",       "高程(m)", "中误差(mm)", "本次(mm)", "±(mm)",
                      "累计(mm)", "±(mm)", "速率(mm/d)", "±(mm/d)", "显著",       "预警"};
    t.rightAligned = {false, true, false, true, true, true, true, true, true, true, true, false, false};
    for (const PointSeries& p : r.points)
      for (int i = 0; i < epochs; ++i) {
        const PointEpoch& pe = p.epochs[static_cast<std::size_t>(i)];
        std::vector<XlsxCell> row = {textCell(p.name), numberCell(std::to_string(i + 1), 0),
                                     textCell(r.epochs[static_cast<std::size_t>(i)].entry.dateText)};
        if (!pe.present) {
          row.push_back(textCell(kNotObserved));
          for (int c = 0; c < 9; ++c) row.push_back(textCell(kNone));
        } else {
          row.push_back(numberCell(pe.heightText, 4));
          row.push_back(numberCell(pe.heightErrorText, 1));
          row.push_back(figureCell(pe.change, 1));
          row.push_back(figureCell(pe.change, 1, true));
          row.push_back(figureCell(pe.cumulative, 1));
          row.push_back(figureCell(pe.cumulative, 1, true));
          row.push_back(figureCell(pe.rate, 3));
          row.push_back(figureCell(pe.rate, 3, true));
          std::string marks;
          if (pe.change && pe.change->significant) marks += "本次*";
          if (pe.cumulative && pe.cumulative->significant) marks += marks.empty() ? "累计*" : " 累计*";
          if (pe.previousEpoch >= 0 && pe.previousEpoch != i - 1)
            marks += (marks.empty() ? "" : " ") + std::string("对") + epochLabel(pe.previousEpoch);
          row.push_back(textCell(marks.empty() ? kNone : marks));
        }
        row.push_back(textCell(pe.present && *levelText(pe.level) ? levelText(pe.level) : kNone));
        t.sheet.rows.push_back(std::move(row));
      }
    t.sheet.notes.push_back("“对第 j 期”：该点上一期未测，本次沉降量与速率相对于第 j 期");
    tables.push_back(std::move(t));
  }

  {  // The congruence tests.
    OutputTable t;
    t.title = "四、基准点稳定性检验（自由网平差，Σ基准点改正数 = 0；整体检验 T = Ω/(h·s^2) 与 F(h, f, 0.95) 比较）";
    t.sheet.name = "基准点稳定性检验";
    t.sheet.header = {"期次", "比较", "Ω(mm^2)", "h", "f", "s(mm)", "T", "F0.95", "结论", "说明"};
    t.rightAligned = {true, false, true, true, true, true, true, true, false, false};
    for (int i = 1; i < epochs; ++i) {
      const EpochStability& st = r.epochs[static_cast<std::size_t>(i)].stability;
      std::vector<XlsxCell> row = {numberCell(std::to_string(i + 1), 0), textCell("与首期")};
      const std::string why = testNumbers(st.againstFirst.global, row);
      row.push_back(textCell(verdictText(st.againstFirst.global)));
      row.push_back(textCell(why.empty() ? st.note : why));
      t.sheet.rows.push_back(std::move(row));
      for (std::size_t s = 0; s < st.againstFirst.steps.size(); ++s) {
        std::vector<XlsxCell> step = {
            numberCell(std::to_string(i + 1), 0),
            textCell("去掉 " + r.references[static_cast<std::size_t>(st.againstFirst.moved[s])] + " 后")};
        const std::string whyStep = testNumbers(st.againstFirst.steps[s], step);
        step.push_back(textCell(verdictText(st.againstFirst.steps[s])));
        step.push_back(textCell(whyStep.empty() ? kNone : whyStep));
        t.sheet.rows.push_back(std::move(step));
      }
      if (st.previousTested) {
        std::vector<XlsxCell> prev = {numberCell(std::to_string(i + 1), 0), textCell("与上期")};
        const std::string whyPrev = testNumbers(st.againstPrevious, prev);
        prev.push_back(textCell(verdictText(st.againstPrevious)));
        prev.push_back(textCell(whyPrev.empty() ? "仅供参考（平差基准由与首期的比较决定）" : whyPrev));
        t.sheet.rows.push_back(std::move(prev));
      }
    }
    t.sheet.notes.push_back(
        "未通过时依次去掉对 Ω 贡献最大的基准点再检验（平均间隙法），直到通过；s^2 为两期自由网的合并后验方差");
    tables.push_back(std::move(t));
  }

  {  // The reference points' shifts.
    OutputTable t;
    t.title = "五、基准点位移（自由网高程；位移相对于首期，以稳定的基准点为基准）";
    t.sheet.name = "基准点位移";
    t.sheet.header = {"期次", "基准点", "自由网高程(m)", "位移(mm)", "中误差(mm)", "判定", "平差中"};
    t.rightAligned = {true, false, true, true, true, false, false};
    for (int i = 0; i < epochs; ++i) {
      const EpochResult& e = r.epochs[static_cast<std::size_t>(i)];
      const StabilityVerdict& v = e.stability.againstFirst;
      for (std::size_t j = 0; j < r.references.size(); ++j) {
        std::vector<XlsxCell> row = {
            numberCell(std::to_string(i + 1), 0), textCell(r.references[j]),
            e.free.available ? numberCell(fixedText(e.free.referenceHeights[j], 4), 4) : textCell(kNone)};
        if (i == 0 || v.shifts.empty()) {
          row.push_back(textCell(kNone));
          row.push_back(textCell(kNone));
          row.push_back(textCell(i == 0 ? "首期" : "未检验"));
        } else {
          row.push_back(numberCell(fixedText(v.shifts[j].shift, 1), 1));
          row.push_back(numberCell(fixedText(v.shifts[j].sigma, 1), 1));
          const bool moved = std::find(v.moved.begin(), v.moved.end(), static_cast<int>(j)) != v.moved.end();
          row.push_back(textCell(moved ? "移动" : v.undetermined ? "无法确定" : "稳定"));
        }
        const bool held = std::find(e.stability.heldReferences.begin(), e.stability.heldReferences.end(),
                                    r.references[j]) != e.stability.heldReferences.end();
        row.push_back(textCell(held ? "固定" : "作待定点，" + e.referenceHeightTexts[j] + " m"));
        t.sheet.rows.push_back(std::move(row));
      }
    }
    tables.push_back(std::move(t));
  }

  {  // Warnings and stability.
    OutputTable t;
    t.title = "六、预警与稳定";
    t.sheet.name = "预警与稳定";
    t.sheet.header = {"点号", "累计预警值(mm)",     "速率预警值(mm/d)", "末次累计(mm)", "末次速率(mm/d)",
                      "状态", "最后100d速率(mm/d)", "±(mm/d)",          "稳定判定"};
    t.rightAligned = {false, true, true, true, true, false, true, true, false};
    for (const PointSeries& p : r.points) {
      std::vector<XlsxCell> row = {
          textCell(p.name), p.warning.cumulative ? numberCell(numberText(*p.warning.cumulative), 3) : textCell(kNone),
          p.warning.rate ? numberCell(numberText(*p.warning.rate), 3) : textCell(kNone)};
      const PointEpoch* last = nullptr;
      for (const PointEpoch& pe : p.epochs)
        if (pe.present) last = &pe;
      row.push_back(last ? figureCell(last->cumulative, 1) : textCell(kNone));
      row.push_back(last ? figureCell(last->rate, 3) : textCell(kNone));
      row.push_back(textCell(*levelText(p.currentLevel) ? levelText(p.currentLevel) : kNone));
      row.push_back(figureCell(p.lastHundredDaysRate, 3));
      row.push_back(figureCell(p.lastHundredDaysRate, 3, true));
      row.push_back(textCell(p.stability));
      t.sheet.rows.push_back(std::move(row));
    }
    tables.push_back(std::move(t));
  }
  return tables;
}

}  // namespace levelnet::monitor
