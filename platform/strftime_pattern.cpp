#include "platform/strftime_pattern.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace velmora {

namespace {

// One piece of an expanded strftime format: a conversion ("%d" has conversion
// 'd') or, when conversion is 0, literal text.
struct TStrftimeItem {
  char conversion = 0;  // kDropped marks a conversion that was left out
  bool no_pad = false;
  std::string literal;
};

constexpr char kDropped = '\x01';

using TStrftimeItems = std::vector<TStrftimeItem>;

bool IsDateField(char conversion) {
  return conversion != 0 && std::strchr("deYyGgmbBaA", conversion);
}

// Hour, minute and second; the AM/PM marker is not a field that separators join.
bool IsTimeField(char conversion) {
  return conversion != 0 && std::strchr("HkIlMS", conversion);
}

bool IsTimeConversion(char conversion) {
  return IsTimeField(conversion) || conversion == 'p' || conversion == 'P';
}

void AppendLiteral(TStrftimeItems& items, std::string_view text) {
  if (items.empty() || items.back().conversion != 0) items.emplace_back();
  items.back().literal.append(text);
}

// Composite conversions ("%D", "%T", "%r", "%x" ...) are replaced by what they
// stand for; conversions without a counterpart in the pattern language (time
// zone, week numbers) leave a kDropped marker, removed by RemoveDropped.
void Expand(std::string_view format, const TStrftimeFormats& formats, int depth, TStrftimeItems& items) {
  if (depth > 4) return;
  for (std::size_t index = 0; index < format.size(); ++index) {
    if (format[index] != '%') {
      AppendLiteral(items, format.substr(index, 1));
      continue;
    }
    bool no_pad = false;
    ++index;
    while (index < format.size() && std::strchr("-_0^#", format[index]) && format[index] != '\0') {
      if (format[index] == '-' || format[index] == '_') no_pad = true;
      ++index;
    }
    while (index < format.size() && format[index] >= '0' && format[index] <= '9') ++index;
    if (index < format.size() && (format[index] == 'E' || format[index] == 'O')) ++index;
    if (index >= format.size()) break;
    const char conversion = format[index];
    switch (conversion) {
      case '%':
        AppendLiteral(items, "%");
        break;
      case 'n':
      case 't':
        AppendLiteral(items, " ");
        break;
      case 'D':
        Expand("%m/%d/%y", formats, depth + 1, items);
        break;
      case 'F':
        Expand("%Y-%m-%d", formats, depth + 1, items);
        break;
      case 'T':
        Expand("%H:%M:%S", formats, depth + 1, items);
        break;
      case 'R':
        Expand("%H:%M", formats, depth + 1, items);
        break;
      case 'r':
        Expand(formats.TimeAmPmFormat.empty() ? "%I:%M:%S %p" : formats.TimeAmPmFormat, formats, depth + 1,
               items);
        break;
      case 'x':
        Expand(formats.DateFormat, formats, depth + 1, items);
        break;
      case 'X':
        Expand(formats.TimeFormat, formats, depth + 1, items);
        break;
      case 'c':
        Expand(formats.DateTimeFormat, formats, depth + 1, items);
        break;
      case 'h':
        items.push_back({'b', no_pad, std::string()});
        break;
      default:
        items.push_back({IsDateField(conversion) || IsTimeConversion(conversion) ? conversion : kDropped,
                         no_pad,
                         std::string()});
        break;
    }
  }
}

TStrftimeItems Expand(std::string_view format, const TStrftimeFormats& formats) {
  TStrftimeItems items;
  Expand(format, formats, 0, items);
  return items;
}

bool HasItem(const TStrftimeItems& items, bool (*predicate)(char)) {
  for (const TStrftimeItem& item : items) {
    if (predicate(item.conversion)) return true;
  }
  return false;
}

// The literal text between the first two neighbouring fields of a kind.
std::string FindSeparator(const TStrftimeItems& items, bool (*is_field)(char)) {
  for (std::size_t index = 1; index + 1 < items.size(); ++index) {
    if (items[index].conversion == 0 && is_field(items[index - 1].conversion) &&
        is_field(items[index + 1].conversion)) {
      return items[index].literal;
    }
  }
  return {};
}

// Copies text that the pattern language would otherwise read as elements
// inside quotes.
void AppendPatternLiteral(std::string_view text, std::string& pattern) {
  const bool needs_quotes =
      text.find_first_of("/:'\"") != std::string_view::npos ||
      std::any_of(text.begin(), text.end(), [](char character) {
        return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z');
      });
  if (!needs_quotes) {
    pattern.append(text);
  } else if (text.find('"') == std::string_view::npos) {
    pattern.append("\"").append(text).append("\"");
  } else if (text.find('\'') == std::string_view::npos) {
    pattern.append("'").append(text).append("'");
  } else {
    for (char character : text) {
      pattern.append(character == '"' ? "'\"'" : "\"" + std::string(1, character) + "\"");
    }
  }
}

const char* FieldPattern(const TStrftimeItem& item, bool widen_year) {
  switch (item.conversion) {
    case 'd':
      return item.no_pad ? "d" : "dd";
    case 'e':
      return "d";
    case 'm':
      return item.no_pad ? "m" : "mm";
    case 'Y':
    case 'G':
      return "yyyy";
    case 'y':
    case 'g':
      return widen_year ? "yyyy" : "yy";
    case 'b':
      return "mmm";
    case 'B':
      return "mmmm";
    case 'a':
      return "ddd";
    case 'A':
      return "dddd";
    case 'H':
    case 'I':
      return item.no_pad ? "h" : "hh";
    case 'k':
    case 'l':
      return "h";
    case 'M':
      return item.no_pad ? "n" : "nn";
    case 'S':
      return item.no_pad ? "s" : "ss";
    case 'p':
      return "ampm";
    case 'P':
      return "am/pm";
  }
  return "";
}

struct TBuildOptions {
  bool widen_year = false;
  bool add_seconds = false;
  std::string_view date_separator;
  std::string_view time_separator;
};

std::string BuildPattern(const TStrftimeItems& items, const TBuildOptions& options) {
  const bool has_seconds = HasItem(items, [](char conversion) { return conversion == 'S'; });
  std::string pattern;
  for (std::size_t index = 0; index < items.size(); ++index) {
    const TStrftimeItem& item = items[index];
    if (item.conversion != 0) {
      pattern.append(FieldPattern(item, options.widen_year));
      if (item.conversion == 'M' && options.add_seconds && !has_seconds) pattern.append(":ss");
      continue;
    }
    const char before = index > 0 ? items[index - 1].conversion : 0;
    const char after = index + 1 < items.size() ? items[index + 1].conversion : 0;
    if (IsDateField(before) && IsDateField(after) && item.literal == options.date_separator) {
      pattern.append("/");
    } else if (IsTimeField(before) && IsTimeField(after) && item.literal == options.time_separator) {
      pattern.append(":");
    } else {
      AppendPatternLiteral(item.literal, pattern);
    }
  }
  return pattern;
}

// Blanks (a no-break space too) and the punctuation that joins a field to what
// followed it; trimmed off the end when what followed was left out.
void TrimJoiningTail(std::string& text) {
  for (;;) {
    if (!text.empty() && std::strchr(" \t,;", text.back()) && text.back() != '\0') {
      text.pop_back();
    } else if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\xC2\xA0") == 0) {
      text.resize(text.size() - 2);
    } else if (text.size() >= 3 && text.compare(text.size() - 3, 3, "\xE2\x80\xAF") == 0) {
      text.resize(text.size() - 3);
    } else {
      return;
    }
  }
}

// Removes the kDropped markers. When conversions were left out at the end, the
// literal text after the last kept conversion loses the blanks and separators
// that joined it to them ("%a %d %b %Y, %T" gives "ddd dd mmm yyyy", not
// "... yyyy, "), and literal text after a left-out conversion goes with it.
// Blanks at either end go too.
TStrftimeItems RemoveDropped(const TStrftimeItems& items) {
  std::size_t tail = items.size();
  while (tail > 0 && (items[tail - 1].conversion == 0 || items[tail - 1].conversion == kDropped)) --tail;
  bool dropped_at_end = false;
  for (std::size_t index = tail; index < items.size(); ++index) {
    if (items[index].conversion == kDropped) dropped_at_end = true;
  }
  TStrftimeItems kept;
  for (std::size_t index = 0; index < items.size(); ++index) {
    const TStrftimeItem& item = items[index];
    if (item.conversion == kDropped) {
      if (index >= tail) break;
      continue;
    }
    if (item.conversion == 0 && !kept.empty() && kept.back().conversion == 0) {
      kept.back().literal.append(item.literal);
    } else {
      kept.push_back(item);
    }
  }
  if (dropped_at_end && !kept.empty() && kept.back().conversion == 0) TrimJoiningTail(kept.back().literal);
  auto is_blank = [](const TStrftimeItem& item) {
    return item.conversion == 0 && item.literal.find_first_not_of(" \t") == std::string::npos;
  };
  while (!kept.empty() && is_blank(kept.back())) kept.pop_back();
  while (!kept.empty() && is_blank(kept.front())) kept.erase(kept.begin());
  return kept;
}

// Leaves out the conversions a predicate picks, each with the literal text that
// follows it.
TStrftimeItems DropWithFollowingText(const TStrftimeItems& items, bool (*drop)(char)) {
  TStrftimeItems result;
  bool skip_literal = false;
  for (const TStrftimeItem& item : items) {
    if (drop(item.conversion)) {
      result.push_back({kDropped, false, std::string()});
      skip_literal = true;
      continue;
    }
    if (item.conversion == 0 && skip_literal) {
      skip_literal = false;
      continue;
    }
    skip_literal = false;
    result.push_back(item);
  }
  return result;
}

// The date part of a date-and-time format: time conversions go, and with each
// the literal text that follows it.
TStrftimeItems DatePartOf(const TStrftimeItems& items) {
  return RemoveDropped(DropWithFollowingText(items, IsTimeConversion));
}

// The short date must read back, so it stays numeric: month names become the
// month number, day names go with the literal text after them.
TStrftimeItems NumericDateOf(const TStrftimeItems& items) {
  TStrftimeItems numeric =
      DropWithFollowingText(items, [](char conversion) { return conversion == 'a' || conversion == 'A'; });
  for (TStrftimeItem& item : numeric) {
    if (item.conversion == 'b' || item.conversion == 'B') item = {'m', false, std::string()};
  }
  return RemoveDropped(numeric);
}

}  // namespace

void ApplyStrftimeFormats(const TStrftimeFormats& formats, TFormatSettings& settings) {
  const TStrftimeItems date_items = NumericDateOf(Expand(formats.DateFormat, formats));
  if (HasItem(date_items, IsDateField)) {
    const std::string separator = FindSeparator(date_items, IsDateField);
    if (!separator.empty()) settings.DateSeparator = separator;
    settings.ShortDateFormat = BuildPattern(date_items, {true, false, separator, {}});
  }

  const TStrftimeItems time_items = RemoveDropped(Expand(formats.TimeFormat, formats));
  if (HasItem(time_items, IsTimeField)) {
    const std::string separator = FindSeparator(time_items, IsTimeField);
    if (!separator.empty()) settings.TimeSeparator = separator;
    settings.LongTimeFormat = BuildPattern(time_items, {false, true, {}, separator});
    settings.ShortTimeFormat = settings.LongTimeFormat;
  }

  const TStrftimeItems long_date_items = DatePartOf(Expand(formats.DateTimeFormat, formats));
  if (HasItem(long_date_items, IsDateField)) {
    // "/" prints the short date's separator, so only that one may become "/".
    settings.LongDateFormat = BuildPattern(long_date_items, {false, false, settings.DateSeparator, {}});
  }
}

}  // namespace velmora
