#pragma once

namespace velmora {

// How a paged format fits a table too wide for its page: the table's font
// shrinks a point at a time, down to the smallest allowed, until what its
// columns need at least (numbers and dates whole, the words of the texts)
// takes at most three quarters of the printable width, so that the long
// texts keep room to spread.
struct TPageFit {
  int Size = 0;          // the font size chosen
  bool Overfull = false;  // at that size the columns are wider than the page
  // True when the font is smaller than start, or the table still too wide:
  // a page turned sideways may do better.
  bool Crowded(int start) const { return Overfull || Size < start; }
};

// least_at(size) gives what the columns need at least at a font of size
// points, in the unit of available.
template <class TLeastAt>
TPageFit FitFontSize(int start, int smallest, double available, TLeastAt&& least_at) {
  TPageFit fit{start, false};
  double least = static_cast<double>(least_at(fit.Size));
  while (fit.Size > smallest && least > available * 3 / 4) least = static_cast<double>(least_at(--fit.Size));
  fit.Overfull = least > available;
  return fit;
}

// A page the template left upright turns when that keeps the table's font
// two points larger, or lets it fit where upright it cannot.
inline bool TurnsThePage(const TPageFit& upright, const TPageFit& turned) {
  return turned.Size >= upright.Size + 2 || (upright.Overfull && !turned.Overfull);
}

}  // namespace velmora
