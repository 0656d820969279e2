#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/locale_settings.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {

namespace {

enum TDateTimeElementKind : std::uint8_t {
  dekLiteral,
  dekDay,
  dekShortDayName,
  dekLongDayName,
  dekMonth,
  dekShortMonthName,
  dekLongMonthName,
  dekYear,
  dekHour,
  dekMinute,
  dekSecond,
  dekMillisecond,
  dekAmPmLocale,  // "ampm": the locale's AM and PM texts
  dekAmPmText,    // "am/pm", "a/p": the letters as written
  dekDateSeparator,
  dekTimeSeparator,
  dekNested,           // another pattern: the locale's short date for "ddddd" ...
  dekNestedTimeOfDay,  // a blank and another pattern, left out at midnight ("c")
};

struct TDateTimeElement {
  TDateTimeElementKind Kind = dekLiteral;
  // Numbers: the least number of digits; nested patterns: their index.
  int Width = 0;
  bool TwelveHour = false;
  std::string Text;  // literal text; the morning text of dekAmPmText
  std::string AfternoonText;
};

using TDateTimeElements = std::vector<TDateTimeElement>;

char UpperAscii(char character) {
  return character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character;
}

bool IsAsciiLetter(char character) {
  const char upper = UpperAscii(character);
  return upper >= 'A' && upper <= 'Z';
}

bool StartsWithNoCase(std::string_view text, std::size_t index, std::string_view prefix) {
  if (text.size() - index < prefix.size()) return false;
  for (std::size_t offset = 0; offset < prefix.size(); ++offset) {
    if (UpperAscii(text[index + offset]) != UpperAscii(prefix[offset])) return false;
  }
  return true;
}

bool IsAmPmAt(std::string_view pattern, std::size_t index) {
  return StartsWithNoCase(pattern, index, "am/pm") || StartsWithNoCase(pattern, index, "a/p") ||
         StartsWithNoCase(pattern, index, "ampm");
}

// An hour uses the twelve-hour clock when an AM/PM element follows it before
// the next hour or the next "a" that starts none (or, see Compile, when one
// precedes it without an hour between them).
bool UsesTwelveHourClock(std::string_view pattern, std::size_t index) {
  char quote = 0;
  for (; index < pattern.size(); ++index) {
    const char character = pattern[index];
    if (quote != 0) {
      if (character == quote) quote = 0;
    } else if (character == '"' || character == '\'') {
      quote = character;
    } else if (character == 'a' || character == 'A') {
      return IsAmPmAt(pattern, index);
    } else if (character == 'h' || character == 'H') {
      return false;
    }
  }
  return false;
}

void AppendLiteral(TDateTimeElements& elements, std::string_view text) {
  if (elements.empty() || elements.back().Kind != dekLiteral) elements.emplace_back();
  elements.back().Text.append(text);
}

// Where a format writes: onto the end of a string, or into a buffer known to
// hold the longest text the format can print.
class TStringSink {
 public:
  explicit TStringSink(std::string& out) : out_(out) {}
  void Put(char character) { out_.push_back(character); }
  void Put(std::string_view text) { out_.append(text); }

 private:
  std::string& out_;
};

class TBufferSink {
 public:
  explicit TBufferSink(char* buffer) : cursor_(buffer) {}
  void Put(char character) { *cursor_++ = character; }
  void Put(std::string_view text) {
    // Separators are mostly one character: not worth a call.
    if (text.size() == 1) {
      *cursor_++ = text[0];
      return;
    }
    std::memcpy(cursor_, text.data(), text.size());
    cursor_ += text.size();
  }
  char* End() const { return cursor_; }

 private:
  char* cursor_;
};

template <class TSink>
void AppendNumber(int value, int minimum_digits, TSink& out) {
  // Dates and times are made of numbers below 10000 written in a few digits,
  // most of them below 100.
  if (value >= 0 && value < 100 && minimum_digits <= 2) {
    if (value >= 10 || minimum_digits == 2) out.Put(static_cast<char>('0' + value / 10));
    out.Put(static_cast<char>('0' + value % 10));
    return;
  }
  if (value >= 0 && value < 10000 && minimum_digits <= 4) {
    const int length = value >= 1000 ? 4 : value >= 100 ? 3 : value >= 10 ? 2 : 1;
    const int width = std::max(length, minimum_digits);
    char digits[4];
    for (int index = width - 1; index >= 0; --index, value /= 10)
      digits[index] = static_cast<char>('0' + value % 10);
    for (int index = 0; index < width; ++index) out.Put(digits[index]);
    return;
  }
  char buffer[16];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  for (int length = static_cast<int>(result.ptr - buffer); length < minimum_digits; ++length) out.Put('0');
  out.Put(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

struct TDateTimeParts {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millisecond = 0, DayOfWeek = 1;
};

}  // namespace

struct TDateTimeFormat::TCompiled {
  // The names and separators the moments print with.
  const TFormatSettings* Settings = nullptr;
  TDateTimeElements Elements;
  // The patterns that "c", "t", "ddddd" and "dddddd" stand for.
  std::vector<TDateTimeElements> Nested;
  // The first seconds of the pattern itself, where a fraction of seconds goes;
  // null when it shows none.
  const TDateTimeElement* FirstSeconds = nullptr;
  // A day name is shown, so the day of the week is needed.
  bool NamesDays = false;

  void Prepare() {
    for (const TDateTimeElement& element : Elements) {
      if (element.Kind == dekSecond) {
        FirstSeconds = &element;
        break;
      }
    }
    const auto names_days = [](const TDateTimeElements& elements) {
      return std::any_of(elements.begin(), elements.end(), [](const TDateTimeElement& element) {
        return element.Kind == dekShortDayName || element.Kind == dekLongDayName;
      });
    };
    NamesDays = names_days(Elements) || std::any_of(Nested.begin(), Nested.end(), names_days);
  }

  // Patterns nest at most this deep, so a locale format naming "c" cannot loop.
  static constexpr int kDeepestNesting = 2;

  int AddNested(std::string_view pattern, int depth) {
    TDateTimeElements elements = Compile(pattern, depth + 1);
    Nested.push_back(std::move(elements));
    return static_cast<int>(Nested.size() - 1);
  }

  void AddNestedElement(TDateTimeElements& elements, TDateTimeElementKind kind, std::string_view pattern,
                        int depth) {
    if (depth >= kDeepestNesting) return;
    TDateTimeElement element;
    element.Kind = kind;
    element.Width = AddNested(pattern, depth);
    elements.push_back(std::move(element));
  }

  // Where one compilation stands in its pattern.
  struct TCompileState {
    std::string_view pattern;
    int depth = 0;
    const TFormatSettings& settings;
    TDateTimeElements elements{};
    std::size_t index = 0;
    // An AM/PM element not yet claimed by an hour: locales that put the marker
    // first ("PM 09:04:05") mean the hour after it.
    bool unclaimed_am_pm = false;
    // An hour on the twelve-hour clock whose AM/PM element is still to come.
    bool hour_awaits_am_pm = false;
  };

  // The elements of a pattern, read run by run: a run is one character and the
  // same letter repeated after it, in either case.
  TDateTimeElements Compile(std::string_view pattern, int depth) {
    TCompileState state{.pattern = pattern, .depth = depth, .settings = *Settings};
    char last_letter = 0;
    while (state.index < pattern.size()) {
      const char character = pattern[state.index];
      char token = UpperAscii(character);
      if (IsAsciiLetter(character)) {
        if (token == 'M' && last_letter == 'H') token = 'N';
        last_letter = token;
      }
      std::size_t count = 1;
      while (state.index + count < pattern.size() &&
             UpperAscii(pattern[state.index + count]) == UpperAscii(character))
        ++count;
      if (!CompileFieldRun(token, count, state)) CompileMarker(character, token, state);
    }
    return std::move(state.elements);
  }

  // A run of count letters token that shows a part of the moment (a number, a
  // name, a nested pattern) becomes its element; false for any other run.
  bool CompileFieldRun(char token, std::size_t count, TCompileState& state) {
    TDateTimeElements& elements = state.elements;
    auto add = [&](TDateTimeElementKind kind, int width) {
      TDateTimeElement element;
      element.Kind = kind;
      element.Width = width;
      elements.push_back(std::move(element));
      state.index += count;
    };
    auto add_nested = [&](TDateTimeElementKind kind, std::string_view nested_pattern) {
      AddNestedElement(elements, kind, nested_pattern, state.depth);
    };
    switch (token) {
      case 'Y':
        add(dekYear, count <= 2 ? 2 : 4);
        return true;
      case 'M':
        if (count <= 2) {
          add(dekMonth, static_cast<int>(count));
        } else {
          add(count == 3 ? dekShortMonthName : dekLongMonthName, 0);
        }
        return true;
      case 'D':
        if (count <= 2) {
          add(dekDay, static_cast<int>(count));
        } else if (count <= 4) {
          add(count == 3 ? dekShortDayName : dekLongDayName, 0);
        } else {
          add_nested(dekNested, count == 5 ? state.settings.ShortDateFormat : state.settings.LongDateFormat);
          state.index += count;
        }
        return true;
      case 'H': {
        const bool twelve_hour =
            state.unclaimed_am_pm || UsesTwelveHourClock(state.pattern, state.index + count);
        state.unclaimed_am_pm = false;
        state.hour_awaits_am_pm = twelve_hour;
        add(dekHour, count >= 2 ? 2 : 1);
        elements.back().TwelveHour = twelve_hour;
        return true;
      }
      case 'N':
        add(dekMinute, count >= 2 ? 2 : 1);
        return true;
      case 'S':
        add(dekSecond, count >= 2 ? 2 : 1);
        return true;
      case 'Z':
        add(dekMillisecond, count >= 3 ? 3 : 1);
        return true;
      case 'T':
        add_nested(dekNested, count == 1 ? state.settings.ShortTimeFormat : state.settings.LongTimeFormat);
        state.index += count;
        return true;
      case 'C':
        add_nested(dekNested, state.settings.ShortDateFormat);
        add_nested(dekNestedTimeOfDay, state.settings.LongTimeFormat);
        state.index += count;
        return true;
      default:
        return false;
    }
  }

  // What is no part of the moment at the state's position: an AM/PM marker, a
  // separator of the locale, quoted text or a literal character.
  void CompileMarker(char character, char token, TCompileState& state) {
    const std::string_view pattern = state.pattern;
    TDateTimeElements& elements = state.elements;
    std::size_t& index = state.index;
    // A marker claims a twelve-hour hour before it, or else the next hour.
    auto add_am_pm = [&](TDateTimeElement element, std::size_t length) {
      elements.push_back(std::move(element));
      index += length;
      state.unclaimed_am_pm = !state.hour_awaits_am_pm;
      state.hour_awaits_am_pm = false;
    };
    switch (token) {
      case 'A':
        if (StartsWithNoCase(pattern, index, "am/pm")) {
          add_am_pm({dekAmPmText, 0, false, std::string(pattern.substr(index, 2)),
                     std::string(pattern.substr(index + 3, 2))},
                    5);
        } else if (StartsWithNoCase(pattern, index, "a/p")) {
          add_am_pm({dekAmPmText, 0, false, std::string(pattern.substr(index, 1)),
                     std::string(pattern.substr(index + 2, 1))},
                    3);
        } else if (StartsWithNoCase(pattern, index, "ampm")) {
          add_am_pm({dekAmPmLocale, 0, false, {}, {}}, 4);
        } else {
          AppendLiteral(elements, pattern.substr(index, 1));
          ++index;
        }
        return;
      case '/':
        elements.push_back({dekDateSeparator, 0, false, {}, {}});
        ++index;
        return;
      case ':':
        elements.push_back({dekTimeSeparator, 0, false, {}, {}});
        ++index;
        return;
      case '"':
      case '\'': {
        const std::size_t close = pattern.find(character, index + 1);
        const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
        AppendLiteral(elements, pattern.substr(index + 1, end - index - 1));
        index = end + 1;
        return;
      }
      default:
        AppendLiteral(elements, pattern.substr(index, 1));
        ++index;
        return;
    }
  }

  // fraction_digits go behind the decimal separator right after the element
  // fraction_after.
  template <class TSink>
  void Append(const TDateTimeElements& elements, const TDateTimeParts& parts, TSink& out,
              const TDateTimeElement* fraction_after = nullptr, std::string_view fraction_digits = {}) const {
    const TFormatSettings& settings = *Settings;
    for (const TDateTimeElement& element : elements) {
      switch (element.Kind) {
        case dekLiteral:
          out.Put(element.Text);
          break;
        case dekDay:
          AppendNumber(parts.Day, element.Width, out);
          break;
        case dekShortDayName:
          out.Put(settings.ShortDayNames[parts.DayOfWeek - 1]);
          break;
        case dekLongDayName:
          out.Put(settings.LongDayNames[parts.DayOfWeek - 1]);
          break;
        case dekMonth:
          AppendNumber(parts.Month, element.Width, out);
          break;
        case dekShortMonthName:
          out.Put(settings.ShortMonthNames[parts.Month - 1]);
          break;
        case dekLongMonthName:
          out.Put(settings.LongMonthNames[parts.Month - 1]);
          break;
        case dekYear:
          AppendNumber(element.Width == 2 ? parts.Year % 100 : parts.Year, element.Width, out);
          break;
        case dekHour: {
          int hour = parts.Hour;
          if (element.TwelveHour) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          AppendNumber(hour, element.Width, out);
          break;
        }
        case dekMinute:
          AppendNumber(parts.Minute, element.Width, out);
          break;
        case dekSecond:
          AppendNumber(parts.Second, element.Width, out);
          break;
        case dekMillisecond:
          AppendNumber(parts.Millisecond, element.Width, out);
          break;
        case dekAmPmLocale:
          out.Put(parts.Hour < 12 ? settings.TimeAMString : settings.TimePMString);
          break;
        case dekAmPmText:
          out.Put(parts.Hour < 12 ? element.Text : element.AfternoonText);
          break;
        case dekDateSeparator:
          out.Put(settings.DateSeparator);
          break;
        case dekTimeSeparator:
          out.Put(settings.TimeSeparator);
          break;
        case dekNested:
          Append(Nested[element.Width], parts, out);
          break;
        case dekNestedTimeOfDay:
          if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0 || parts.Millisecond != 0) {
            out.Put(' ');
            Append(Nested[element.Width], parts, out);
          }
          break;
      }
      if (&element == fraction_after) {
        out.Put(settings.DecimalSeparator);
        out.Put(fraction_digits);
      }
    }
  }

  // The most characters elements print for a moment of the years 1 to 9999,
  // texts measured by measure; with any_moment, the most bytes they print for
  // any value at all (a year out of that range has more digits and a sign).
  std::size_t MaxLength(const TDateTimeElements& elements, std::size_t (*measure)(std::string_view),
                        bool any_moment) const {
    const TFormatSettings& settings = *Settings;
    const auto longest = [measure](const auto& texts) {
      std::size_t length = 0;
      for (const std::string& text : texts) length = std::max(length, measure(text));
      return length;
    };
    const auto number = [any_moment](std::size_t digits) {
      constexpr std::size_t kLongestInteger = 11;  // "-2147483648"
      return any_moment ? kLongestInteger : digits;
    };
    std::size_t total = 0;
    for (const TDateTimeElement& element : elements) {
      const std::size_t width = static_cast<std::size_t>(std::max(element.Width, 0));
      switch (element.Kind) {
        case dekLiteral:
          total += measure(element.Text);
          break;
        case dekDay:
        case dekMonth:
        case dekHour:
        case dekMinute:
        case dekSecond:
          total += number(std::max<std::size_t>(width, 2));
          break;
        case dekYear:
          total += number(width);  // two digits of the year, or four
          break;
        case dekMillisecond:
          total += number(3);
          break;
        case dekShortDayName:
          total += longest(settings.ShortDayNames);
          break;
        case dekLongDayName:
          total += longest(settings.LongDayNames);
          break;
        case dekShortMonthName:
          total += longest(settings.ShortMonthNames);
          break;
        case dekLongMonthName:
          total += longest(settings.LongMonthNames);
          break;
        case dekAmPmLocale:
          total += std::max(measure(settings.TimeAMString), measure(settings.TimePMString));
          break;
        case dekAmPmText:
          total += std::max(measure(element.Text), measure(element.AfternoonText));
          break;
        case dekDateSeparator:
          total += measure(settings.DateSeparator);
          break;
        case dekTimeSeparator:
          total += measure(settings.TimeSeparator);
          break;
        case dekNested:
          total += MaxLength(Nested[element.Width], measure, any_moment);
          break;
        case dekNestedTimeOfDay:
          total += 1 + MaxLength(Nested[element.Width], measure, any_moment);
          break;
      }
    }
    return total;
  }

  static std::size_t ByteCount(std::string_view text) { return text.size(); }

  // The most characters of the pattern for the years 1 to 9999 and the most
  // bytes for any value, kept until the settings change.
  struct TLongest {
    std::size_t Characters = 0;
    std::size_t Bytes = 0;
  };
  const TLongest& Longest() const {
    const std::uint64_t version = FormatSettingsVersion();
    if (!longest_known_ || longest_version_ != version) {
      longest_ = {MaxLength(Elements, Utf8Length, false), MaxLength(Elements, ByteCount, true)};
      longest_version_ = version;
      longest_known_ = true;
    }
    return longest_;
  }

  mutable bool longest_known_ = false;
  mutable std::uint64_t longest_version_ = 0;
  mutable TLongest longest_;

  void Format(TDateTime value, std::string& out, std::string_view fraction_digits) const {
    TDateTimeParts parts;
    DecodeDateTime(value, parts.Year, parts.Month, parts.Day, parts.Hour, parts.Minute, parts.Second,
                   parts.Millisecond);
    if (NamesDays) parts.DayOfWeek = DayOfWeek(value);
    const TDateTimeElement* fraction_after = fraction_digits.empty() ? nullptr : FirstSeconds;
    // A text that surely fits is written into a buffer and appended in one piece.
    constexpr std::size_t kBufferBytes = 96;
    const std::size_t most_bytes =
        Longest().Bytes +
        (fraction_after != nullptr ? Settings->DecimalSeparator.size() + fraction_digits.size() : 0);
    if (most_bytes <= kBufferBytes) {
      char buffer[kBufferBytes];
      TBufferSink sink(buffer);
      Append(Elements, parts, sink, fraction_after, fraction_digits);
      out.append(buffer, sink.End());
    } else {
      TStringSink sink(out);
      Append(Elements, parts, sink, fraction_after, fraction_digits);
    }
  }
};

TDateTimeFormat::TDateTimeFormat(std::string_view pattern) : TDateTimeFormat(pattern, FormatSettings()) {}

TDateTimeFormat::TDateTimeFormat(std::string_view pattern, const TFormatSettings& settings)
    : compiled_(std::make_unique<TCompiled>()) {
  compiled_->Settings = &settings;
  compiled_->Elements = compiled_->Compile(pattern.empty() ? std::string_view("c") : pattern, 0);
  compiled_->Prepare();
}

TDateTimeFormat::~TDateTimeFormat() = default;
TDateTimeFormat::TDateTimeFormat(TDateTimeFormat&&) noexcept = default;
TDateTimeFormat& TDateTimeFormat::operator=(TDateTimeFormat&&) noexcept = default;

void TDateTimeFormat::Format(TDateTime value, std::string& out) const {
  compiled_->Format(value, out, {});
}

void TDateTimeFormat::Format(TDateTime value, std::string_view fraction_digits, std::string& out) const {
  compiled_->Format(value, out, fraction_digits);
}

std::size_t TDateTimeFormat::MaxLength(std::size_t fraction_digits) const {
  std::size_t length = compiled_->Longest().Characters;
  if (fraction_digits > 0 && compiled_->FirstSeconds != nullptr) {
    length += Utf8Length(compiled_->Settings->DecimalSeparator) + fraction_digits;
  }
  return length;
}

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  std::string out;
  TDateTimeFormat(pattern).Format(value, out);
  return out;
}

std::string DateToStr(TDateTime value) {
  return FormatDateTime(FormatSettings().ShortDateFormat, value);
}

std::string TimeToStr(TDateTime value) {
  return FormatDateTime(FormatSettings().LongTimeFormat, value);
}

std::string DateTimeToStr(TDateTime value) {
  return FormatDateTime("c", value);
}

}  // namespace velmora
