#include "formats/rtf/rtf_layout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// The advance of one character in milli-em: the wider of the common
// sans-serif faces and the one a reader falls back to when they are missing,
// so that digits, dates and numbers are never underestimated.
int CharacterWidth(char32_t code_point, bool monospaced) {
  const int cells = CodePointCells(code_point);
  if (cells == 0) return 0;
  if (cells == 2) return 1000;
  if (monospaced) return 602;
  if (code_point >= '0' && code_point <= '9') return 636;
  switch (code_point) {
    case ' ':
    case '.':
    case ',':
    case ':':
    case ';':
    case '!':
    case '|':
    case '\'':
    case 'i':
    case 'j':
    case 'l':
    case 'I':
      return 340;
    case 'f':
    case 't':
    case 'r':
    case '/':
    case '(':
    case ')':
    case '[':
    case ']':
    case '-':
      return 420;
    case 'm':
    case 'M':
    case 'W':
    case 'w':
    case '@':
    case '%':
      return 1000;
    default:
      break;
  }
  if (code_point >= 'A' && code_point <= 'Z') return 780;
  if (code_point >= 'a' && code_point <= 'z') return 620;
  return 720;
}

}  // namespace

TRtfMeasureFont TRtfMeasureFont::Of(const TFont& font) {
  const std::string upper = UpperCase(font.Name);
  return {font.Style.Contains(fsBold),
          upper.find("COURIER") != std::string::npos || upper.find("MONO") != std::string::npos};
}

void TRtfTextExtent::Include(const TRtfTextExtent& other) {
  WidestLine = std::max(WidestLine, other.WidestLine);
  LongestWord = std::max(LongestWord, other.LongestWord);
}

TRtfTextExtent MeasureRtfText(std::string_view text, TRtfMeasureFont font) {
  const bool monospaced = font.Monospaced;
  TRtfTextExtent extent;
  long long line = 0;
  long long word = 0;
  std::size_t index = 0;
  while (index < text.size()) {
    const TUtf8Sequence sequence = DecodeUtf8(text, index);
    index += static_cast<std::size_t>(sequence.Length);
    const char32_t code_point = sequence.CodePoint;
    if (code_point == '\r' || code_point == '\n') {
      line = 0;
      word = 0;
      continue;
    }
    const int width = code_point == '\t' ? 2000 : CharacterWidth(code_point, monospaced);
    line += width;
    extent.WidestLine = std::max(extent.WidestLine, line);
    if (code_point == ' ' || code_point == '\t') {
      word = 0;
    } else {
      word += width;
      extent.LongestWord = std::max(extent.LongestWord, word);
    }
  }
  if (font.Bold) {
    extent.WidestLine += extent.WidestLine / 10;
    extent.LongestWord += extent.LongestWord / 10;
  }
  return extent;
}

long long RtfTwips(long long milli_ems, int size) {
  // A point is 20 twips: milli-em × size × 20 / 1000, rounded up.
  return (milli_ems * std::max(size, 1) + 49) / 50;
}

namespace {

long long SumOf(const std::vector<long long>& spans) { return std::accumulate(spans.begin(), spans.end(), 0LL); }

// The width of a column whose widest line may take lines lines, at least
// its minimum and no more than its desire.
long long SpanAt(const TRtfColumnNeed& need, long long minimum, double lines) {
  if (need.Fixed) return need.Desired;
  const double text = static_cast<double>(std::max(need.Desired - need.Padding, 0LL));
  const long long wrapped = need.Padding + static_cast<long long>(std::ceil(text / lines));
  return std::clamp(wrapped, std::min(minimum, need.Desired), need.Desired);
}

}  // namespace

std::vector<long long> RtfColumnSpans(const std::vector<TRtfColumnNeed>& needs, long long available) {
  std::vector<long long> spans;
  for (const TRtfColumnNeed& need : needs) spans.push_back(need.Desired);
  if (SumOf(spans) <= available) return spans;
  // The first level of minimums that fits; the floors when none does.
  std::vector<long long> minimums(needs.size());
  for (const auto level : {&TRtfColumnNeed::Minimum, &TRtfColumnNeed::ValueMinimum, &TRtfColumnNeed::Floor}) {
    for (std::size_t index = 0; index < needs.size(); ++index) minimums[index] = needs[index].*level;
    for (std::size_t index = 0; index < needs.size(); ++index) spans[index] = SpanAt(needs[index], minimums[index], 1e9);
    if (SumOf(spans) <= available) break;
  }
  if (SumOf(spans) >= available) return spans;
  // The fewest lines the widest line of any column wraps onto such that the
  // columns fit: each column then takes its text divided by that number, so
  // that the widths follow the content and a short column leaves its room
  // to the long ones.
  double fits = 1e9;
  double too_few = 1;
  for (int step = 0; step < 100 && fits - too_few > 1e-3; ++step) {
    const double lines = (fits + too_few) / 2;
    long long total = 0;
    for (std::size_t index = 0; index < needs.size(); ++index) total += SpanAt(needs[index], minimums[index], lines);
    (total <= available ? fits : too_few) = lines;
  }
  for (std::size_t index = 0; index < needs.size(); ++index) spans[index] = SpanAt(needs[index], minimums[index], fits);
  // What rounding left goes to the widest column that wants more.
  std::size_t widest = needs.size();
  for (std::size_t index = 0; index < needs.size(); ++index) {
    if (needs[index].Fixed || spans[index] >= needs[index].Desired) continue;
    if (widest == needs.size() || needs[index].Desired > needs[widest].Desired) widest = index;
  }
  if (widest < needs.size()) {
    spans[widest] = std::min(needs[widest].Desired, spans[widest] + available - SumOf(spans));
  }
  return spans;
}

}  // namespace velmora
