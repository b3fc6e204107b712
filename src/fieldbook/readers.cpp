#include "fieldbook/readers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::fieldbook {

namespace {

// ---------------------------------------------------------------------------
// Stations of a digital level from its sights, in the order observed. A
// station holds the first backsight and foresight, and with two readings
// the second of each (BFFB: B1 F1 F2 B2; aBFFB alternates with F1 B1 B2 F2;
// BF and aBF one of each). A sight whose kind the station already has
// closes it when it is complete and starts the next one.

enum SightKind { back1, fore1, back2, fore2 };

const char* sightName(SightKind kind) {
  switch (kind) {
    case back1:
      return "后视第一次读数";
    case fore1:
      return "前视第一次读数";
    case back2:
      return "后视第二次读数";
    case fore2:
      return "前视第二次读数";
  }
  return "";
}

struct Sight {
  bool present = false;
  std::string point;
  double distance = 0.0;  // m
  double reading = 0.0;   // mm
  int line = 0;
};

class StationAssembler {
 public:
  StationAssembler(const FieldText& text, Instrument instrument) : text_(text), instrument_(instrument) {}

  void add(SightKind kind, const std::string& point, double distance, double reading, int line) {
    if (sights_[kind].present) close(line);
    if (!anyPresent()) first_ = line;
    sights_[kind] = {true, point, distance, reading, line};
  }

  // Drops the sights of the station in progress, or the last station when
  // none is in progress (a station the observer repeated).
  void repeatStation() {
    if (anyPresent()) {
      sights_ = {};
      return;
    }
    if (!lines_.empty() && !lines_.back().stations.empty()) lines_.back().stations.pop_back();
  }

  // Closes the station in progress (a summary line, the end of a line).
  void endStation(int line) {
    if (anyPresent()) close(line);
  }

  void endLine(int line) {
    endStation(line);
    lineBreak_ = true;
  }

  std::vector<FieldLine> finish(int lastLine) {
    endStation(lastLine);
    std::vector<FieldLine> out;
    for (FieldLine& l : lines_)
      if (!l.stations.empty()) out.push_back(std::move(l));
    if (out.empty()) throw InputError("文件“" + text_.name + "”中没有任何完整的测站（后视与前视读数）");
    return out;
  }

 private:
  bool anyPresent() const {
    for (const Sight& s : sights_)
      if (s.present) return true;
    return false;
  }

  [[noreturn]] void missing(SightKind kind, int line) const {
    throw InputError(placeOf(text_.name, line) + "测站（从第 " + std::to_string(first_) + " 行起）缺少" +
                     sightName(kind) + "：测站记录不完整");
  }

  void close(int line) {
    if (!sights_[back1].present) missing(back1, line);
    if (!sights_[fore1].present) missing(fore1, line);
    const bool second = sights_[back2].present || sights_[fore2].present;
    if (second && !sights_[back2].present) missing(back2, line);
    if (second && !sights_[fore2].present) missing(fore2, line);
    for (SightKind k : {back2, fore2}) {
      const SightKind f = k == back2 ? back1 : fore1;
      if (sights_[k].present && sights_[k].point != sights_[f].point)
        throw InputError(placeOf(text_.name, sights_[k].line) + sightName(k) + "的点号" + quotedText(sights_[k].point) +
                         "与第一次读数的点号" + quotedText(sights_[f].point) + "不同");
    }
    FieldStation st;
    st.sourceLine = first_;
    st.backPoint = sights_[back1].point;
    st.forePoint = sights_[fore1].point;
    st.method = second ? StationMethod::doubleReading : StationMethod::singleReading;
    st.back.first = sights_[back1].reading;
    st.fore.first = sights_[fore1].reading;
    // The distance of a staff: the mean of its two measurements.
    st.back.distance = second ? (sights_[back1].distance + sights_[back2].distance) / 2 : sights_[back1].distance;
    st.fore.distance = second ? (sights_[fore1].distance + sights_[fore2].distance) / 2 : sights_[fore1].distance;
    if (second) {
      st.back.second = sights_[back2].reading;
      st.fore.second = sights_[fore2].reading;
    }
    // A station that does not start where the last one ended starts a new
    // line: the level carries the point numbers on by itself.
    if (lines_.empty() || lineBreak_ || lines_.back().stations.empty() ||
        lines_.back().stations.back().forePoint != st.backPoint) {
      FieldLine l;
      l.file = text_.name;
      l.instrument = instrument_;
      lines_.push_back(std::move(l));
      lineBreak_ = false;
    }
    std::vector<FieldStation>& stations = lines_.back().stations;
    st.number = static_cast<int>(stations.size()) + 1;
    if (++total_ > kMaxFieldStations)
      throw InputError(placeOf(text_.name, line) + "测站超过 " + std::to_string(kMaxFieldStations) + " 个的上限");
    stations.push_back(std::move(st));
    sights_ = {};
  }

  const FieldText& text_;
  Instrument instrument_;
  std::array<Sight, 4> sights_{};
  int first_ = 0;
  bool lineBreak_ = false;
  std::size_t total_ = 0;
  std::vector<FieldLine> lines_;
};

// ---------------------------------------------------------------------------
// Leica GSI.

struct GsiWord {
  int index = 0;         // word index: 11, 32, 331, ...
  char unit = ' ';       // position 6
  std::string data;      // sign and digits (or characters of a point number)
  std::string_view raw;  // the word as written
};

// Word indices of levelling files that carry nothing the reduction needs:
// 12 serial number, 13 instrument type, 17-19 dates and times, 41-49 code
// and information blocks, 71-79 remarks, 83 height, 95 temperature, 390-392
// the number, spread and standard deviation of repeated measurements, 571-
// 576 station differences and running sums the instrument computed.
bool skippedGsiWord(int index) {
  return index == 12 || index == 13 || (index >= 17 && index <= 19) || (index >= 41 && index <= 49) ||
         (index >= 71 && index <= 79) || index == 83 || index == 95 || (index >= 390 && index <= 392) ||
         (index >= 571 && index <= 576);
}

// The value of a measuring word in mm (readings) or m (distances, when
// `metres`), from its unit digit.
double gsiValue(const FieldText& text, int line, const GsiWord& w, bool metres) {
  const std::string_view digits = std::string_view(w.data).substr(1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
    throw InputError(placeOf(text.name, line) + "GSI 字" + quotedText(w.raw) + "的数据不是数字");
  double mm = 0.0;  // the value of the last digit in mm
  switch (w.unit) {
    case '0':
      mm = 1.0;
      break;
    case '6':
      mm = 0.1;
      break;
    case '8':
      mm = 0.01;
      break;
    case '1':
      mm = 0.3048;
      break;  // 0.001 ft
    case '7':
      mm = 0.03048;
      break;  // 0.0001 ft
    default:
      throw InputError(placeOf(text.name, line) + "GSI 字" + quotedText(w.raw) + "的单位代码“" +
                       std::string(1, w.unit) + "”不是长度单位（可用 0、1、6、7、8）");
  }
  const double count = *parseNumber(digits);
  double value = count * mm;
  if (w.data[0] == '-') value = -value;
  return metres ? value / 1000.0 : value;
}

std::vector<GsiWord> splitGsiLine(const FieldText& text, int line, std::string_view s) {
  const bool gsi16 = !s.empty() && s.front() == '*';
  if (gsi16) s.remove_prefix(1);
  const std::size_t dataLength = gsi16 ? 16 : 8;
  std::vector<GsiWord> words;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
      continue;
    }
    std::size_t end = s.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = s.size();
    const std::string_view raw = s.substr(i, end - i);
    i = end;
    if (raw.size() != 7 + dataLength || (raw[6] != '+' && raw[6] != '-'))
      throw InputError(placeOf(text.name, line) + "GSI 字" + quotedText(raw) + "不完整：应为 " +
                       std::to_string(7 + dataLength) + " 个字符（" + (gsi16 ? "GSI-16" : "GSI-8") +
                       "：字索引与附加信息 6 个、符号 1 个、数据 " + std::to_string(dataLength) + " 个）");
    if (raw[0] < '0' || raw[0] > '9' || raw[1] < '0' || raw[1] > '9')
      throw InputError(placeOf(text.name, line) + "GSI 字" + quotedText(raw) + "的字索引不是数字");
    GsiWord w;
    w.raw = raw;
    int index = (raw[0] - '0') * 10 + (raw[1] - '0');
    // Point numbers (11) and code blocks (41) carry a block number at
    // positions 3-6; other words have a three-digit index where position 3
    // is a digit.
    if (index != 11 && index != 41 && raw[2] >= '0' && raw[2] <= '9') index = index * 10 + (raw[2] - '0');
    w.index = index;
    w.unit = raw[5];
    w.data = std::string(raw.substr(6));
    words.push_back(std::move(w));
  }
  return words;
}

// Point numbers are right-aligned with leading zeros.
std::string gsiPointName(const GsiWord& w) {
  std::string_view d = std::string_view(w.data).substr(1);
  while (d.size() > 1 && d.front() == '0') d.remove_prefix(1);
  return std::string(d);
}

}  // namespace

std::vector<FieldLine> readLeicaGsi(const FieldText& text) {
  StationAssembler stations(text, Instrument::digital);
  int lastLine = 0;
  for (std::size_t k = 0; k < text.lines.size(); ++k) {
    const int row = static_cast<int>(k) + 1;
    const std::string_view content = trimmed(text.lines[k]);
    if (content.empty()) continue;
    lastLine = row;
    const std::vector<GsiWord> words = splitGsiLine(text, row, content);
    std::optional<std::string> point;
    std::optional<double> distance;
    std::optional<std::pair<SightKind, double>> reading;
    bool intermediate = false;
    for (const GsiWord& w : words) {
      switch (w.index) {
        case 11:
          point = gsiPointName(w);
          break;
        case 32:
          distance = gsiValue(text, row, w, true);
          break;
        case 331:
        case 332:
        case 335:
        case 336: {
          if (reading) throw InputError(placeOf(text.name, row) + "一个测量块中有两个标尺读数");
          const SightKind kind = w.index == 331 ? back1 : w.index == 332 ? fore1 : w.index == 335 ? back2 : fore2;
          reading = std::pair{kind, gsiValue(text, row, w, false)};
          break;
        }
        case 333:
        case 334:
          intermediate = true;
          break;
        default:
          if (!skippedGsiWord(w.index))
            throw InputError(placeOf(text.name, row) + "未知的 GSI 字索引 " + std::to_string(w.index) + "（字" +
                             quotedText(w.raw) + "）");
      }
    }
    // Intermediate and set-out sights take no part in the line.
    if (!reading || intermediate) continue;
    if (!point) throw InputError(placeOf(text.name, row) + "标尺读数所在的测量块没有点号（字索引 11）");
    if (!distance) throw InputError(placeOf(text.name, row) + "标尺读数所在的测量块没有视距（字索引 32）");
    checkRange(text, row, *distance, 0, kMaxSightM, "视距", numberText(*distance));
    checkRange(text, row, reading->second, -kMaxReadingMm, kMaxReadingMm, "标尺读数(mm)", numberText(reading->second));
    stations.add(reading->first, *point, *distance, reading->second, row);
  }
  return stations.finish(lastLine);
}

std::vector<FieldLine> readDiniM5(const FieldText& text) {
  StationAssembler stations(text, Instrument::digital);
  int lastLine = 0;
  int backs = 0, fores = 0;          // readings of the station in progress
  std::string backPoint, forePoint;  // the points of its first readings
  int perStaff = 2;                  // readings of each staff, from the method of "Start-Line" (BF, aBF: 1)
  for (std::size_t k = 0; k < text.lines.size(); ++k) {
    const int row = static_cast<int>(k) + 1;
    const std::string_view content = trimmed(text.lines[k]);
    if (content.empty() || content == "END") continue;
    lastLine = row;
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
      const std::size_t bar = content.find('|', start);
      if (bar == std::string_view::npos) {
        if (!trimmed(content.substr(start)).empty()) parts.push_back(content.substr(start));
        break;
      }
      parts.push_back(content.substr(start, bar - start));
      start = bar + 1;
    }
    if (parts.empty() || (trimmed(parts[0]) != "For M5" && trimmed(parts[0]) != "For_M5"))
      throw InputError(placeOf(text.name, row) + quotedText(content) + "不是 M5 格式的数据行（应以“For M5|”开头）");
    if (parts.size() < 3 || trimmed(parts[1]).substr(0, 3) != "Adr")
      throw InputError(placeOf(text.name, row) + "M5 数据行不完整：缺少地址块或信息块");
    const std::string_view info = trimmed(parts[2]);
    const std::string_view type = info.substr(0, std::min<std::size_t>(3, info.size()));
    if (type.substr(0, 2) == "TO" || type.substr(0, 2) == "TI") {
      const std::string_view t = info.substr(2);
      if (t.find("Start-Line") != std::string_view::npos) {
        stations.endLine(row);
        backs = fores = 0;
        // The method follows the words "Start-Line": BF, aBF, BFFB, aBFFB, ...
        perStaff = 2;
        std::size_t m = t.find("Start-Line") + 10;
        while (m < t.size() && (t[m] == ' ' || t[m] == '\t')) ++m;
        std::size_t e = m;
        while (e < t.size() && t[e] != ' ' && t[e] != '\t') ++e;
        const std::string_view method = t.substr(m, e - m);
        if (method == "BF" || method == "aBF" || method == "FB" || method == "aFB") perStaff = 1;
      } else if (t.find("End-Line") != std::string_view::npos) {
        stations.endLine(row);
        backs = fores = 0;
      } else if (t.find("repeat") != std::string_view::npos || t.find("Repeat") != std::string_view::npos) {
        stations.repeatStation();
        backs = fores = 0;
      }
      continue;
    }
    if (type == "KD2") continue;  // the line's summary: sums the reduction forms itself
    if (type != "KD1")
      throw InputError(placeOf(text.name, row) + "未知的 M5 信息块类型" + quotedText(type) + "（可用 KD1、KD2、TO）");
    std::string_view pointText = trimmed(info.substr(3));
    const std::size_t blank = pointText.find_first_of(" \t");
    const std::string point(pointText.substr(0, blank));
    std::optional<double> rb, rf, hd;
    bool height = false;
    for (std::size_t p = 3; p < parts.size(); ++p) {
      const std::string_view block = trimmed(parts[p]);
      if (block.empty()) continue;
      const std::size_t space = block.find_first_of(" \t");
      const std::string_view id = block.substr(0, std::min<std::size_t>(2, space));
      std::string_view rest = trimmed(block.substr(id.size()));
      const std::size_t unitAt = rest.find_last_of(" \t");
      const std::string_view valueText = unitAt == std::string_view::npos ? rest : trimmed(rest.substr(0, unitAt));
      const std::string_view unit =
          unitAt == std::string_view::npos ? std::string_view() : trimmed(rest.substr(unitAt));
      if (id == "Z" || id == "Sh" || id == "dz" || id == "Db" || id == "Df" || id == "Lr") {
        height = height || id == "Z";
        continue;
      }
      if (id != "Rb" && id != "Rf" && id != "HD")
        throw InputError(placeOf(text.name, row) + "未知的 M5 类型标识" + quotedText(id) + "（值块" +
                         quotedText(block) + "）");
      const std::optional<double> v = fieldNumber(valueText);
      if (!v) throw InputError(placeOf(text.name, row) + "值块" + quotedText(block) + "的数值不是数");
      double metres = 0.0;
      if (unit == "m")
        metres = *v;
      else if (unit == "ft")
        metres = *v * 0.3048;
      else
        throw InputError(placeOf(text.name, row) + "值块" + quotedText(block) + "的单位" + quotedText(unit) +
                         "不是 m 或 ft");
      (id == "Rb" ? rb : id == "Rf" ? rf : hd) = metres;
    }
    if (rb && rf) throw InputError(placeOf(text.name, row) + "一行中同时有后视读数 Rb 和前视读数 Rf");
    if (rb || rf) {
      if (point.empty()) throw InputError(placeOf(text.name, row) + "标尺读数所在的行没有点号");
      if (!hd) throw InputError(placeOf(text.name, row) + "标尺读数所在的行没有视距 HD");
      checkRange(text, row, *hd, 0, kMaxSightM, "视距 HD", numberText(*hd));
      const double mm = (rb ? *rb : *rf) * 1000.0;
      checkRange(text, row, mm, -kMaxReadingMm, kMaxReadingMm, "标尺读数(mm)", numberText(mm));
      int& count = rb ? backs : fores;
      const std::string& firstPoint = rb ? backPoint : forePoint;
      // A reading of a staff that has all its readings, or one on another
      // point, starts the next station (files without summary lines).
      if (count >= perStaff || (count == 1 && point != firstPoint)) {
        stations.endStation(row);
        backs = fores = 0;
      }
      if (count == 0) (rb ? backPoint : forePoint) = point;
      const SightKind kind = rb ? (count == 0 ? back1 : back2) : (count == 0 ? fore1 : fore2);
      ++count;
      stations.add(kind, point, *hd, mm, row);
    } else if (height) {
      // The station's summary line (its height Z) closes the station.
      stations.endStation(row);
      backs = fores = 0;
    }
  }
  return stations.finish(lastLine);
}

}  // namespace levelnet::fieldbook
