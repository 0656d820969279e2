#include "formats/xls/xls_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/decimal_number.h"
#include "platform/locale_settings.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {

// ---------------------------------------------------------------------------
// Text in the workbook

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    const auto lead = static_cast<unsigned char>(text[position]);
    if (lead < 0x80) {
      units += static_cast<char16_t>(lead);
      ++position;
      continue;
    }
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    position += static_cast<std::size_t>(sequence.Length);
    char32_t code_point = sequence.CodePoint;
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (code_point >> 10));
      units += static_cast<char16_t>(0xDC00 + (code_point & 0x3FF));
    } else {
      units += static_cast<char16_t>(code_point);
    }
  }
  return units;
}

bool FitsCompressed(std::u16string_view units) {
  for (const char16_t unit : units) {
    if (unit > 0xFF) return false;
  }
  return true;
}

void AppendStringBody(std::string& out, std::u16string_view units) {
  if (FitsCompressed(units)) {
    out += '\0';
    for (const char16_t unit : units) out += static_cast<char>(unit);
    return;
  }
  out += '\1';
  for (const char16_t unit : units) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
}

void AppendString16(std::string& out, std::u16string_view units) {
  out += static_cast<char>(units.size() & 0xFF);
  out += static_cast<char>(units.size() >> 8 & 0xFF);
  AppendStringBody(out, units);
}

void AppendString8(std::string& out, std::u16string_view units) {
  out += static_cast<char>(units.size() & 0xFF);
  AppendStringBody(out, units);
}

std::u16string_view CutUnits(std::u16string_view text, std::size_t max_units) {
  if (text.size() <= max_units) return text;
  std::size_t size = max_units;
  // A high surrogate as the last unit would lose its partner.
  if (size > 0 && text[size - 1] >= 0xD800 && text[size - 1] <= 0xDBFF) --size;
  return text.substr(0, size);
}

std::string CellName(int row, int column) {
  std::string letters;
  // Bijective base 26: A .. Z, then AA .. ZZ, AAA ...
  for (int rest = column + 1; rest > 0; rest = (rest - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (rest - 1) % 26));
  }
  return letters + std::to_string(row + 1);
}

std::u16string SheetName(std::string_view title, std::string_view suffix) {
  constexpr std::size_t kMaxSheetName = 31;
  std::u16string name = Utf8ToUtf16(title.empty() ? std::string_view("Sheet1") : title);
  for (char16_t& unit : name) {
    if (std::u16string_view(u":\\/?*[]").find(unit) != std::u16string_view::npos) unit = u'_';
  }
  const std::u16string tail = Utf8ToUtf16(suffix);
  name = std::u16string(CutUnits(name, kMaxSheetName - tail.size()));
  // Readers refuse a name that begins or ends with an apostrophe.
  if (!name.empty() && name.front() == u'\'') name.front() = u'_';
  if (!name.empty() && name.back() == u'\'') name.back() = u'_';
  return name + tail;
}

// ---------------------------------------------------------------------------
// Format codes

namespace {

// Appends literal text in double quotes, the quote character itself escaped.
void AppendQuoted(std::string& out, std::string_view text) {
  if (text.empty()) return;
  std::string run;
  for (const char character : text) {
    if (character == '"') {
      if (!run.empty()) out += '"' + run + '"';
      run.clear();
      out += "\\\"";
    } else {
      run += character;
    }
  }
  if (!run.empty()) out += '"' + run + '"';
}

// A quoted run starting at pattern[index] (either quote character): appends it
// double-quoted and returns the index after it.
std::size_t CopyQuotedRun(std::string_view pattern, std::size_t index, std::string& out) {
  const char quote = pattern[index];
  const std::size_t end = pattern.find(quote, index + 1);
  const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
  AppendQuoted(out, pattern.substr(index + 1, stop - index - 1));
  return end == std::string_view::npos ? pattern.size() : end + 1;
}

std::size_t RunLength(std::string_view pattern, std::size_t index) {
  const char letter = static_cast<char>(pattern[index] | 0x20);
  std::size_t end = index;
  while (end < pattern.size() && static_cast<char>(pattern[end] | 0x20) == letter) ++end;
  return end - index;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t index = 0; index < prefix.size(); ++index) {
    if ((text[index] | 0x20) != (prefix[index] | 0x20)) return false;
  }
  return true;
}

}  // namespace

std::string TranslateDateTimeFormat(std::string_view pattern) {
  std::string out;
  std::size_t index = 0;
  while (index < pattern.size()) {
    const char character = pattern[index];
    const char lower = static_cast<char>(character | 0x20);
    if (character == '"' || character == '\'') {
      index = CopyQuotedRun(pattern, index, out);
    } else if (StartsWithIgnoringCase(pattern.substr(index), "am/pm")) {
      out += "AM/PM";
      index += 5;
    } else if (StartsWithIgnoringCase(pattern.substr(index), "a/p")) {
      out += "A/P";
      index += 3;
    } else if (lower == 'c' && (character == 'c' || character == 'C')) {
      const TFormatSettings& settings = FormatSettings();
      out += TranslateDateTimeFormat(settings.ShortDateFormat + " " + settings.LongTimeFormat);
      ++index;
    } else if (lower == 'n') {
      // The engine's minutes; the spreadsheet's "m" after an hour or before
      // seconds means minutes too.
      const std::size_t length = RunLength(pattern, index);
      out.append(length >= 2 ? "mm" : "m");
      index += length;
    } else if (lower == 'z') {
      const std::size_t length = RunLength(pattern, index);
      out.append(length >= 3 ? "000" : "0");
      index += length;
    } else if (lower == 'd' || lower == 'm' || lower == 'y' || lower == 'h' || lower == 's') {
      const std::size_t length = RunLength(pattern, index);
      out.append(length, lower);
      index += length;
    } else if ((lower >= 'a' && lower <= 'z') || character == '\\' || character == '@' || character == '*' ||
               character == '_' || character == '#' || character == '0' || character == '?' ||
               character == ';' || character == '[' || character == ']' || character == '%' ||
               character == ',' || character == 'E' || static_cast<unsigned char>(character) >= 0x80) {
      // Letters and signs that mean something to the spreadsheet are literal here.
      std::size_t end = index + 1;
      while (end < pattern.size() && (static_cast<unsigned char>(pattern[end]) & 0xC0) == 0x80) ++end;
      AppendQuoted(out, pattern.substr(index, end - index));
      index = end;
    } else {
      out += character;
      ++index;
    }
  }
  return out.empty() ? "General" : out;
}

std::string TranslateNumberFormat(std::string_view pattern) {
  std::string out;
  std::string literal;
  auto flush = [&] {
    AppendQuoted(out, literal);
    literal.clear();
  };
  std::size_t index = 0;
  while (index < pattern.size()) {
    const char character = pattern[index];
    if (character == '"' || character == '\'') {
      flush();
      index = CopyQuotedRun(pattern, index, out);
      continue;
    }
    const bool exponent = (character == 'E' || character == 'e') && index + 1 < pattern.size() &&
                          (pattern[index + 1] == '+' || pattern[index + 1] == '-');
    if (exponent) {
      flush();
      out += 'E';
      out += pattern[index + 1];
      index += 2;
      continue;
    }
    if (std::string_view("0#.,;%+-$()/: ").find(character) != std::string_view::npos) {
      flush();
      out += character;
    } else {
      literal += character;
    }
    ++index;
  }
  flush();
  return out.empty() ? "General" : out;
}

std::string SpreadsheetFormatOf(const TTabuloColumn& column) {
  if (column.Format.empty()) return "General";
  switch (column.ColumnType) {
    case ctDate:
    case ctTime:
    case ctDateTime:
      return TranslateDateTimeFormat(column.Format);
    case ctInteger:
    case ctLargeInt:
    case ctFloat:
    case ctCurrency:
      return TranslateNumberFormat(column.Format);
    default:
      return "General";
  }
}

// ---------------------------------------------------------------------------
// Numbers

bool ReadCellNumber(std::string_view text, double& value, bool& exact) {
  std::string decimal_text;
  return TryLocaleNumberToDecimalText(text, decimal_text) && ReadDecimalNumber(decimal_text, value, exact);
}

bool ReadDecimalNumber(std::string_view decimal_text, double& value, bool& exact) {
  const char* first = decimal_text.data();
  if (!decimal_text.empty() && decimal_text[0] == '+') ++first;
  const auto [end, error] = std::from_chars(first, decimal_text.data() + decimal_text.size(), value);
  if (end != decimal_text.data() + decimal_text.size()) return false;
  if (error == std::errc::result_out_of_range) {
    // Beyond the range of a double: only the text keeps the value.
    value = 0;
    exact = false;
    return true;
  }
  if (error != std::errc()) return false;
  // A decimal of at most 15 significant digits survives the trip to a
  // double and back, and so has the value of the double's shortest form.
  if (value == 0 || std::fpclassify(value) == FP_NORMAL) {
    int first = -1;
    int last = -1;
    int digit_index = 0;
    for (const char character : decimal_text) {
      if (character == 'e' || character == 'E') break;
      if (character < '0' || character > '9') continue;
      if (character != '0') {
        if (first < 0) first = digit_index;
        last = digit_index;
      }
      ++digit_index;
    }
    if (first < 0 || last - first < 15) {
      exact = true;
      return true;
    }
  }
  // The double carries the text's value when its shortest form has the same
  // digits and point. That form is the plain one where it is shorter, whose
  // digits are the double's own: -2^63 is carried whole, 2^53 + 1 is not.
  char shortest[64];
  const auto result = std::to_chars(std::begin(shortest), std::end(shortest), value);
  const std::string_view carried_text(shortest, static_cast<std::size_t>(result.ptr - shortest));
  // The common case, a text that is the double's shortest form already, needs
  // no decimal comparison.
  if (carried_text == decimal_text) {
    exact = true;
    return true;
  }
  TDecimalNumber written;
  TDecimalNumber carried;
  exact = written.Parse(decimal_text) && carried.Parse(carried_text) && written == carried;
  return true;
}

}  // namespace velmora
