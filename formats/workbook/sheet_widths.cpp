#include "formats/workbook/sheet_widths.h"

#include <algorithm>

#include "formats/pdf/pdf_fonts.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// ASCII takes the advance widths of Helvetica, which the usual sans-serif
// spreadsheet fonts share (a digit is 556 thousandths of an em): the
// metrics the PDF export draws its standard font with.
constexpr int kDigitWidth = 556;
constexpr int kNarrowCharacterWidth = 667;            // a capital's
constexpr int kWideCharacterWidth = 2 * kDigitWidth;  // an ideograph: two digits

// The width of text in thousandths of an em.
long long TextWidth(std::string_view text) {
  static const std::uint16_t* const ascii_widths = GlyphWidths(poHelvetica, ccWinAnsi);
  long long width = 0;
  std::size_t position = 0;
  while (position < text.size()) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (byte < 0x80) {
      if (byte >= 0x20 && byte < 0x7F) width += ascii_widths[byte];
      ++position;
      continue;
    }
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    position += static_cast<std::size_t>(sequence.Length);
    const int cells = CodePointCells(sequence.CodePoint);
    width += cells == 0 ? 0 : cells == 1 ? kNarrowCharacterWidth : kWideCharacterWidth;
  }
  return width;
}

int CharsOf(long long width) {
  const long long chars = (width + kDigitWidth - 1) / kDigitWidth;
  return static_cast<int>(std::min<long long>(chars, 1 << 20));
}

}  // namespace

int SheetTextChars(std::string_view text) { return CharsOf(TextWidth(text)); }

void TSheetWidths::Start(const TTabuloColumns& columns, int cap, bool bold_captions) {
  cap_ = cap;
  MeasuredRecords = 0;
  measures_.assign(static_cast<std::size_t>(columns.Count()), TMeasure());
  for (int column_index = 0; column_index < columns.Count(); ++column_index) {
    const TTabuloColumn& column = columns[column_index];
    TMeasure& measure = measures_[static_cast<std::size_t>(column_index)];
    measure.Measured = cap == 0 || !column.WidthGiven;
    // A bold face is about a tenth wider.
    const long long caption = TextWidth(column.Caption);
    measure.Caption = CharsOf(bold_captions ? caption + caption / 10 : caption);
  }
}

bool TSheetWidths::MayWiden(int column_index, std::size_t bound) const {
  const TMeasure& measure = measures_[static_cast<std::size_t>(column_index)];
  if (!measure.Measured || (cap_ > 0 && measure.Values >= cap_)) return false;
  // No character takes more than two digit widths.
  return 2 * bound > static_cast<std::size_t>(measure.Values);
}

bool TSheetWidths::MayWidenTo(int column_index, std::size_t digit_widths) const {
  const TMeasure& measure = measures_[static_cast<std::size_t>(column_index)];
  if (!measure.Measured || (cap_ > 0 && measure.Values >= cap_)) return false;
  return digit_widths > static_cast<std::size_t>(measure.Values);
}

void TSheetWidths::Measure(int column_index, std::string_view text) {
  TMeasure& measure = measures_[static_cast<std::size_t>(column_index)];
  if (!measure.Measured || (cap_ > 0 && measure.Values >= cap_)) return;
  if (2 * text.size() <= static_cast<std::size_t>(measure.Values)) return;
  measure.Values = std::max(measure.Values, SheetTextChars(text));
}

bool TSheetWidths::Apply(TTabuloColumns& columns) {
  bool changed = false;
  for (int column_index = 0; column_index < columns.Count() && column_index < static_cast<int>(measures_.size());
       ++column_index) {
    const TMeasure& measure = measures_[static_cast<std::size_t>(column_index)];
    if (!measure.Measured) continue;
    const int values = cap_ > 0 ? std::min(measure.Values, cap_) : measure.Values;
    const int width = std::max({columns[column_index].Width, values, measure.Caption});
    if (width != columns[column_index].Width) {
      columns[column_index].Width = width;
      changed = true;
    }
  }
  return changed;
}

}  // namespace velmora
