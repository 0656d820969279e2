#include "mysql/value_text.h"

#include <algorithm>
#include <charconv>

#include "platform/decimal_number.h"
#include "platform/text_scan.h"

namespace velmora {

void AppendBitText(std::string_view bytes, std::string& out) {
  std::uint64_t value = 0;
  for (const char byte : bytes) value = (value << 8) | static_cast<unsigned char>(byte);
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// ---------------------------------------------------------------------------
// Dates and times

namespace {

// The number written with exactly count digits at text[from]; false when
// they are not all there.
bool DigitsAt(std::string_view text, std::size_t from, std::size_t count, int& value) {
  if (from + count > text.size()) return false;
  value = 0;
  for (std::size_t index = from; index < from + count; ++index) {
    if (text[index] < '0' || text[index] > '9') return false;
    value = value * 10 + (text[index] - '0');
  }
  return true;
}

std::string_view FractionAt(std::string_view text, std::size_t point) {
  if (point >= text.size() || text[point] != '.') return {};
  std::size_t end = point + 1;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return text.substr(point + 1, end - point - 1);
}

// The dashed form of a digits-only timestamp: "20040115123456" gives
// "2004-01-15 12:34:56". Two-digit years are read as 1970..2069.
std::string ExpandCompactTimestamp(std::string_view digits) {
  std::string expanded;
  std::size_t position = 0;
  if (digits.size() == 14 || digits.size() == 8) {
    expanded.append(digits.substr(0, 4));
    position = 4;
  } else {
    int year = 0;
    if (DigitsAt(digits, 0, 2, year)) expanded += year < 70 ? "20" : "19";
    expanded.append(digits.substr(0, 2));
    position = 2;
  }
  static constexpr char kSeparators[] = {'-', '-', ' ', ':', ':'};
  for (const char separator : kSeparators) {
    if (position >= digits.size()) break;
    expanded += separator;
    expanded.append(digits.substr(position, 2));
    position += 2;
  }
  return expanded;
}

std::int64_t MillisecondOfDay(int hour, int minute, int second) {
  return ((hour * 60 + minute) * 60 + second) * 1000LL;
}

}  // namespace

bool TryMySqlTextToDateTime(std::string_view text, bool compact_timestamp, TDateTime& value,
                            std::string_view& fraction) {
  TDayAndTime moment;
  if (!TryMySqlTextToDayAndTime(text, compact_timestamp, moment, fraction)) return false;
  value = JoinDateTime(moment);
  return true;
}

bool TryMySqlTextToDayAndTime(std::string_view text, bool compact_timestamp, TDayAndTime& moment,
                              std::string_view& fraction) {
  fraction = {};
  std::string expanded;
  if (compact_timestamp && !text.empty() && text.find('-') == std::string_view::npos) {
    expanded = ExpandCompactTimestamp(text);
    text = expanded;
  }
  int year = 0, month = 0, day = 0;
  if (!DigitsAt(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !DigitsAt(text, 5, 2, month) ||
      text[7] != '-' || !DigitsAt(text, 8, 2, day)) {
    return false;
  }
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;

  // The time of day: hours, minutes and seconds as far as the text reaches (a
  // compact timestamp may end early), then a fraction after the seconds.
  int parts[3] = {0, 0, 0};
  int parts_read = 0;
  std::size_t position = 10;
  if (position < text.size()) {
    if (text[position] != ' ') return false;
    ++position;
    for (; parts_read < 3 && position < text.size(); ++parts_read) {
      if (parts_read > 0) {
        if (text[position] != ':') break;
        ++position;
      }
      if (!DigitsAt(text, position, 2, parts[parts_read])) return false;
      position += 2;
    }
    if (parts_read == 0) return false;
  }
  if (position < text.size()) {
    if (parts_read < 3 || !expanded.empty()) return false;
    fraction = FractionAt(text, position);
    if (fraction.empty() || position + 1 + fraction.size() != text.size()) return false;
  }
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  moment.Day = static_cast<std::int64_t>(EncodeDate(year, month, day));
  moment.Millisecond = MillisecondOfDay(parts[0], parts[1], parts[2]);
  return true;
}

namespace {

// The time part of a TIME text, a date in front ("2004-01-15 12:34:56") passed over.
std::string_view TimePart(std::string_view text) {
  if (text.size() >= 10 && text[4] == '-') return text.size() > 11 ? text.substr(11) : std::string_view();
  return text;
}

}  // namespace

bool MySqlTimeOutsideDay(std::string_view text) {
  text = TimePart(text);
  if (!text.empty() && text.front() == '-') return true;
  const std::size_t end = std::min(text.find_first_of(":."), text.size());
  int hours = 0;
  return scan::ParseWholeInt(text.substr(0, end), hours) && hours > 23;
}

TDateTime MySqlTextToTime(std::string_view text, std::string_view& fraction) {
  return JoinDateTime({0, MySqlTimeMillisecond(text, fraction)});
}

std::int64_t MySqlTimeMillisecond(std::string_view text, std::string_view& fraction) {
  fraction = {};
  // Only the time of day is kept.
  text = TimePart(text);
  // Hours may have more than two digits ("838:59:59"); they are clamped. Text
  // fields never get here with such a value (see MySqlTimeOutsideDay).
  int parts[3] = {0, 0, 0};
  std::size_t position = 0;
  for (int part_index = 0; part_index < 3 && position < text.size(); ++part_index) {
    std::size_t end = text.find_first_of(":.", position);
    if (end == std::string_view::npos) end = text.size();
    int value = 0;
    if (scan::ParseWholeInt(text.substr(position, end - position), value)) parts[part_index] = value;
    position = end;
    if (position < text.size() && text[position] == ':') ++position;
    if (position < text.size() && text[position] == '.') break;
  }
  fraction = FractionAt(text, position);
  const int hour = std::clamp(parts[0], 0, 23);
  const int minute = std::clamp(parts[1], 0, 59);
  const int second = std::clamp(parts[2], 0, 59);
  return MillisecondOfDay(hour, minute, second);
}

}  // namespace velmora
