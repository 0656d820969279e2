#pragma once

#include <string_view>
#include <vector>

#include "engine/font_color.h"

// How an RTF table's columns share the width of the page: the text of every
// column measured in an estimate of its font, then widths that keep numbers
// and words whole where the page allows it. A word processor wraps the rest
// inside the cell.
namespace velmora {

// Widths of a text in thousandths of the font size (milli-em).
struct TRtfTextExtent {
  long long WidestLine = 0;   // the widest of its lines (CR, LF end a line)
  long long LongestWord = 0;  // the widest run without a blank or line break

  // Grows to hold what other holds too.
  void Include(const TRtfTextExtent& other);
};

// What the estimate of a text's width knows of its font.
struct TRtfMeasureFont {
  bool Bold = false;
  bool Monospaced = false;  // a name holding "Courier" or "Mono"

  static TRtfMeasureFont Of(const TFont& font);
};

// The extent of text: an estimate in the advance widths of the common
// sans-serif faces, a little generous so that a text never needs more than
// its estimate; 600 for every character of a monospaced face; a wide
// character (CJK, most emoji) a full em; bold adds a tenth.
TRtfTextExtent MeasureRtfText(std::string_view text, TRtfMeasureFont font);

// The twips that milli_ems take in a font of size points.
long long RtfTwips(long long milli_ems, int size);

// What the layout knows of one column, in twips, cell padding included.
struct TRtfColumnNeed {
  // A width the template gave: the column keeps Desired.
  bool Fixed = false;
  // Its widest line of caption and values.
  long long Desired = 0;
  // Narrowest without breaking a word of the caption or of a value, or a
  // number or date.
  long long Minimum = 0;
  // Narrowest without breaking a value's word, a number or a date.
  long long ValueMinimum = 0;
  // What of Desired is not text: indents, borders.
  long long Padding = 0;
  // Narrowest at all: a number or date column's values stay whole; a text
  // column may come down to a few characters.
  long long Floor = 0;
};

// The widths of the columns. A table whose columns all fit at their desired
// width keeps it; otherwise every column is at least its minimum (the
// caption's words, if all fit; else the values' words; else the floors),
// and the texts wrap onto the fewest lines that let the columns fill
// available: widths in proportion to the content, none beyond its desire.
// When even the floors do not fit, the result is wider than available (the
// edges then scale it down).
std::vector<long long> RtfColumnSpans(const std::vector<TRtfColumnNeed>& needs, long long available);

}  // namespace velmora
