#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace velmora {

// One line on a terminal that follows an item's export while it runs: the
// item's name, the rows written (of how many, when known), rows per second and
// the time left. It appears once the item has run for a second, is redrawn at
// most ten times a second and is cleared when the item ends. When the
// descriptor is no terminal (cron, a pipe, a file) nothing is ever written.
class TProgressLine {
 public:
  explicit TProgressLine(int descriptor);

  bool Shown() const { return terminal_; }
  // Begins an item; its total is unknown until SetTotal.
  void Start(const std::string& name);
  // The rows the item will write; negative when unknown.
  void SetTotal(std::int64_t total) { total_ = total; }
  // The rows written so far.
  void Update(std::int64_t rows);
  // The rows a pass before the writing (widths, a count) has read so far.
  void UpdateReadAhead(std::int64_t rows);
  // Clears the line when it was drawn.
  void Finish();

 private:
  using TClock = std::chrono::steady_clock;

  // True when a line is due: the item has run a second, the last line is a
  // tenth of a second old.
  bool Due(TClock::time_point now) const;
  void Draw(std::string text, TClock::time_point now);
  // Writes text whole; a terminal that refuses it gets no more lines.
  void Write(const std::string& text);

  int descriptor_;
  bool terminal_;
  std::string name_;
  std::int64_t total_ = -1;
  std::size_t columns_ = 80;
  TClock::time_point started_;
  TClock::time_point drawn_at_;
  bool writing_ = false;  // a row was written since Start
  TClock::time_point first_row_at_;
  std::int64_t first_row_ = 0;
  bool drawn_ = false;
  std::string line_;
};

// Clears the line when a scope ends, whatever way it ends.
class TProgressScope {
 public:
  TProgressScope(TProgressLine& line, const std::string& name) : line_(line) { line_.Start(name); }
  ~TProgressScope() { line_.Finish(); }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;

 private:
  TProgressLine& line_;
};

}  // namespace velmora
