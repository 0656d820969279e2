#include <array>
#include <cstdint>
#include <initializer_list>

#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/text_scan.h"
#include "platform/value_format.h"

namespace velmora {

using namespace scan;

namespace {

// ---------------------------------------------------------------------------
// Layout of the locale's short date and time formats

// The literal text between two fields of a format, in up to four pieces.
struct TGap {
  std::array<std::string_view, 4> Parts;
  int Count = 0;

  void Add(std::string_view part) {
    if (!part.empty() && Count < static_cast<int>(Parts.size())) Parts[Count++] = part;
  }

  // Blank pieces match any number of blanks, the others must match exactly.
  bool Match(std::string_view text, std::size_t& position) const {
    std::size_t next = position;
    for (int index = 0; index < Count; ++index) {
      if (TrimBlanks(Parts[index]).empty()) {
        next = SkipBlanks(text, next);
      } else if (!ConsumeText(text, next, Parts[index])) {
        return false;
      }
    }
    position = next;
    return true;
  }
};

// The numeric fields of a format in their order ('D', 'M', 'Y' or 'H', 'N',
// 'S'); Gaps[i] is the literal text before field i, Gaps[FieldCount] the text
// after the last one.
struct TFieldLayout {
  std::array<char, 3> Fields{};
  int FieldCount = 0;
  std::array<TGap, 4> Gaps;
  bool Usable = true;

  void AddField(char field) {
    for (int index = 0; index < FieldCount; ++index) {
      if (Fields[index] == field) Usable = false;
    }
    if (FieldCount == 3) {
      Usable = false;
      return;
    }
    Fields[FieldCount++] = field;
  }
};

// Reads the fields and literal texts of a date or time pattern. Elements that
// cannot be read back as numbers (names, nested formats) make it unusable.
TFieldLayout ReadLayout(std::string_view pattern, const TFormatSettings& settings) {
  TFieldLayout layout;
  char last_letter = 0;
  std::size_t index = 0;
  while (index < pattern.size()) {
    const char character = pattern[index];
    const char token = UpperAscii(character);
    TGap& gap = layout.Gaps[layout.FieldCount];
    if (character == '"' || character == '\'') {
      const std::size_t close = pattern.find(character, index + 1);
      const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
      gap.Add(pattern.substr(index + 1, end - index - 1));
      index = end + 1;
      continue;
    }
    if (character == '/' || character == ':') {
      gap.Add(character == '/' ? settings.DateSeparator : settings.TimeSeparator);
      ++index;
      continue;
    }
    if (!IsAsciiLetter(character)) {
      std::size_t end = index;
      while (end < pattern.size() && !IsAsciiLetter(pattern[end]) && pattern[end] != '"' &&
             pattern[end] != '\'' && pattern[end] != '/' && pattern[end] != ':') {
        ++end;
      }
      gap.Add(pattern.substr(index, end - index));
      index = end;
      continue;
    }
    if (token == 'A') {
      // The AM/PM marker is matched on its own, wherever it stands.
      std::size_t position = index;
      if (ConsumeNoCase(pattern, position, "am/pm") || ConsumeNoCase(pattern, position, "a/p") ||
          ConsumeNoCase(pattern, position, "ampm")) {
        index = position;
      } else {
        layout.Usable = false;
        ++index;
      }
      last_letter = 'A';
      continue;
    }
    std::size_t count = 1;
    while (index + count < pattern.size() && UpperAscii(pattern[index + count]) == token) ++count;
    const char field = token == 'M' && last_letter == 'H' ? 'N' : token;
    last_letter = field;
    index += count;
    switch (field) {
      case 'D':
      case 'M':
      case 'H':
      case 'N':
      case 'S':
        if (count > 2) layout.Usable = false;
        layout.AddField(field);
        break;
      case 'Y':
        layout.AddField(field);
        break;
      case 'Z':
        break;  // a fraction of seconds is read wherever the text has one
      default:
        layout.Usable = false;
        break;
    }
  }
  return layout;
}

TFieldLayout DateLayout(const TFormatSettings& settings) {
  TFieldLayout layout = ReadLayout(settings.ShortDateFormat, settings);
  const bool complete = layout.Usable && layout.FieldCount == 3 &&
                        layout.Fields[0] + layout.Fields[1] + layout.Fields[2] == 'D' + 'M' + 'Y';
  if (!complete) {
    layout = TFieldLayout();
    layout.Fields = {'Y', 'M', 'D'};
    layout.FieldCount = 3;
    layout.Gaps[1].Add(settings.DateSeparator);
    layout.Gaps[2].Add(settings.DateSeparator);
  }
  return layout;
}

TFieldLayout TimeLayout(const TFormatSettings& settings) {
  TFieldLayout layout = ReadLayout(settings.ShortTimeFormat, settings);
  const bool ordered = layout.Usable && layout.FieldCount >= 2 && layout.Fields[0] == 'H' &&
                       layout.Fields[1] == 'N' && (layout.FieldCount == 2 || layout.Fields[2] == 'S');
  if (!ordered) {
    layout = TFieldLayout();
    layout.Fields = {'H', 'N', 'S'};
    layout.FieldCount = 3;
    layout.Gaps[1].Add(settings.TimeSeparator);
    layout.Gaps[2].Add(settings.TimeSeparator);
  }
  return layout;
}

// ---------------------------------------------------------------------------
// Dates and times

// A separator between two fields: the format's own text, or one of the
// alternatives; it must consume something.
bool MatchSeparator(std::string_view text, std::size_t& position, const TGap& gap,
                    std::initializer_list<std::string_view> alternatives) {
  std::size_t next = position;
  if (gap.Match(text, next) && next > position) {
    position = next;
    return true;
  }
  for (std::string_view alternative : alternatives) {
    if (ConsumeText(text, position, alternative)) return true;
  }
  return false;
}

// The layouts of the settings in force, one cache per thread (items may be
// exported at once), read again only when the formats or
// separators they come from change: a record loop parses millions of values.
class TLayoutCache {
 public:
  const TFieldLayout& Get(const std::string& pattern, const TFormatSettings& settings,
                          TFieldLayout (*build)(const TFormatSettings&)) {
    if (!valid_ || pattern != pattern_ || settings.DateSeparator != date_separator_ ||
        settings.TimeSeparator != time_separator_) {
      layout_ = build(settings);
      pattern_ = pattern;
      date_separator_ = settings.DateSeparator;
      time_separator_ = settings.TimeSeparator;
      valid_ = true;
    }
    return layout_;
  }

 private:
  bool valid_ = false;
  std::string pattern_;
  std::string date_separator_;
  std::string time_separator_;
  TFieldLayout layout_;
};

const TFieldLayout& CachedDateLayout(const TFormatSettings& settings) {
  thread_local TLayoutCache cache;
  return cache.Get(settings.ShortDateFormat, settings, DateLayout);
}

const TFieldLayout& CachedTimeLayout(const TFormatSettings& settings) {
  thread_local TLayoutCache cache;
  return cache.Get(settings.ShortTimeFormat, settings, TimeLayout);
}

// Two-digit years fall into 1950..2049.
int FullYear(int year, int digits) {
  if (digits > 2) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

// year_digits tells how many digits the year was given with.
bool ParseDate(std::string_view text, std::size_t& position, TDateTime& date, int& year_digits) {
  const TFormatSettings& settings = FormatSettings();
  const TFieldLayout& layout = CachedDateLayout(settings);
  std::size_t next = position;
  layout.Gaps[0].Match(text, next);
  int day = 0, month = 0, year = 0;
  for (int index = 0; index < 3; ++index) {
    if (index > 0 && !MatchSeparator(text, next, layout.Gaps[index], {settings.DateSeparator, "/", "-"})) {
      return false;
    }
    const char field = layout.Fields[index];
    int value = 0, digits = 0;
    if (!ReadNumber(text, next, field == 'Y' ? 4 : 2, value, digits)) return false;
    if (field == 'D') day = value;
    if (field == 'M') month = value;
    if (field == 'Y') {
      year = FullYear(value, digits);
      year_digits = digits;
    }
  }
  layout.Gaps[3].Match(text, next);
  if (!TryEncodeDate(year, month, day, date)) return false;
  position = next;
  return true;
}

bool MatchAmPm(std::string_view text, std::size_t& position, bool& afternoon) {
  const TFormatSettings& settings = FormatSettings();
  // Most texts reach here at a digit, where only a marker that starts with that
  // digit could match: the locale's own markers are the only candidates.
  if (position < text.size() && IsDigit(text[position])) {
    const char digit = text[position];
    const auto starts_with_digit = [digit](const std::string& marker) {
      return !marker.empty() && marker[0] == digit;
    };
    if (!starts_with_digit(settings.TimeAMString) && !starts_with_digit(settings.TimePMString)) return false;
  }
  for (std::string_view marker :
       {std::string_view(settings.TimeAMString), std::string_view("AM"), std::string_view("A")}) {
    if (ConsumeNoCase(text, position, marker)) {
      afternoon = false;
      return true;
    }
  }
  for (std::string_view marker :
       {std::string_view(settings.TimePMString), std::string_view("PM"), std::string_view("P")}) {
    if (ConsumeNoCase(text, position, marker)) {
      afternoon = true;
      return true;
    }
  }
  return false;
}

// Milliseconds of the fraction of a second whose digits start at position,
// which is moved past them.
int ReadFractionMilliseconds(std::string_view text, std::size_t& position) {
  const std::size_t start = position;
  while (position < text.size() && IsDigit(text[position])) ++position;
  return FractionMilliseconds(text.substr(start, position - start));
}

// Reads a time of day to the end of the text.
bool ParseTime(std::string_view text, std::size_t position, std::int64_t& milliseconds) {
  const TFormatSettings& settings = FormatSettings();
  const TFieldLayout& layout = CachedTimeLayout(settings);
  bool has_marker = false;
  bool afternoon = false;
  if (MatchAmPm(text, position, afternoon)) {
    has_marker = true;
    position = SkipBlanks(text, position);
  }
  layout.Gaps[0].Match(text, position);

  int hour = 0, minute = 0, second = 0, digits = 0;
  if (!ReadNumber(text, position, 2, hour, digits)) return false;
  if (!MatchSeparator(text, position, layout.Gaps[1], {settings.TimeSeparator, ":"})) return false;
  if (!ReadNumber(text, position, 2, minute, digits)) return false;

  int fraction = 0;
  const TGap& second_gap = layout.Gaps[layout.FieldCount == 3 ? 2 : 1];
  std::size_t next = position;
  if (MatchSeparator(text, next, second_gap, {settings.TimeSeparator, ":"}) && next < text.size() &&
      IsDigit(text[next])) {
    ReadNumber(text, next, 2, second, digits);
    position = next;
    if (position + 1 < text.size() && IsDigit(text[position + 1]) &&
        (text[position] == '.' || text[position] == ',')) {
      ++position;
      fraction = ReadFractionMilliseconds(text, position);
    } else if (ConsumeText(text, next, settings.DecimalSeparator) && next < text.size() &&
               IsDigit(text[next])) {
      position = next;
      fraction = ReadFractionMilliseconds(text, position);
    }
  }
  layout.Gaps[layout.FieldCount].Match(text, position);
  position = SkipBlanks(text, position);
  if (!has_marker && MatchAmPm(text, position, afternoon)) has_marker = true;
  if (position != text.size()) return false;

  if (has_marker) {
    if (hour > 12) return false;
    hour = hour % 12 + (afternoon ? 12 : 0);
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  milliseconds = ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + fraction;
  return true;
}

}  // namespace

bool TryStrToTime(std::string_view text, TDateTime& value) {
  std::int64_t milliseconds = 0;
  if (!ParseTime(TrimBlanks(text), 0, milliseconds)) return false;
  value = JoinDateTime({0, milliseconds});
  return true;
}

bool TryStrToDateTime(std::string_view text, TDateTime& value) {
  text = TrimBlanks(text);
  std::int64_t time_of_day = 0;
  const bool is_time = ParseTime(text, 0, time_of_day);
  std::size_t position = 0;
  TDateTime date = 0;
  int year_digits = 0;
  if (ParseDate(text, position, date, year_digits)) {
    // Where dates and times share a separator ("13.04.05"), the text may read
    // both ways. The short date prints the year with four digits, so a date
    // with a two-digit year is taken for the time it also is.
    if (position == text.size() && !(is_time && year_digits <= 2)) {
      value = date;
      return true;
    }
    const std::size_t time_start = SkipBlanks(text, position);
    const bool separated = time_start > position || (position > 0 && IsBlank(text[position - 1]));
    std::int64_t milliseconds = 0;
    if (separated && ParseTime(text, time_start, milliseconds)) {
      value = JoinDateTime({static_cast<std::int64_t>(date), milliseconds});
      return true;
    }
  }
  // Not a date: a time alone ("13.04.05,5" starts like a date but is not one).
  if (!is_time) return false;
  value = JoinDateTime({0, time_of_day});
  return true;
}

}  // namespace velmora
