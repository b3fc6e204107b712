// The record model of leveling in the field: a line is a list of stations,
// each with its backsight and foresight as the method observed them; the
// stations between two named points make one section, which becomes one
// observation of the network.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace levelnet::fieldbook {

// How a station was observed.
enum class StationMethod {
  redBlack,       // double-staff method: black and red face of each staff, constant K
  doubleReading,  // digital level, two readings of each staff (BFFB, aBFFB)
  singleReading,  // one reading of each staff (BF, aBF)
};

// One sight of a station: the horizontal distance and the staff readings.
struct StaffSight {
  double distance = 0.0;         // m
  double first = 0.0;            // mm: the black face, or the first reading
  std::optional<double> second;  // mm: the red face, or the second reading
  double constant = 0.0;         // mm: K of the red face (4687, 4787); 0 for a second reading
  // mm: the lower of the two stadia wires' readings, where the book gives
  // them (the height of the line of sight above the ground of an optical
  // level).
  std::optional<double> lowestWire;
};

struct FieldStation {
  int number = 0;      // 1, 2, ... within its line
  int sourceLine = 0;  // line of the file where the station's record starts
  std::string backPoint;
  std::string forePoint;
  // The foresight point ends a section. The handbook marks it by naming the
  // point; for a digital level's file it is decided when the sections are
  // formed (importFieldFiles).
  bool sectionEnd = false;
  StationMethod method = StationMethod::singleReading;
  StaffSight back;
  StaffSight fore;
  std::optional<double> rodTemperature;  // ℃, where the book records it (尺温), for the rod temperature correction
};

// Where the records came from, for the tolerances: the double-staff
// handbook is an optical level (DS3 class), the files of digital levels are
// digital levels (DS1 class or better).
enum class Instrument { optical, digital };

struct FieldLine {
  std::string file;  // as named in messages
  std::string name;  // the line's name in the file, or "" (then numbered in the report)
  Instrument instrument = Instrument::optical;
  std::vector<FieldStation> stations;
};

// The largest field file read whole: a day's work is some kilobytes; this
// is room for years of it and keeps a wrong file from exhausting memory.
inline constexpr std::size_t kMaxFieldFileBytes = std::size_t(16) << 20;
// The most stations one import takes (all files together).
inline constexpr std::size_t kMaxFieldStations = 200000;

}  // namespace levelnet::fieldbook
