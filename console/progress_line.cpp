#include "console/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace velmora {

namespace {

constexpr auto kFirstDrawAfter = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
// Moves to the start of the line and erases to its end.
constexpr const char* kClearLine = "\r\x1b[K";

// "1:05" or "2:03:07".
std::string Duration(std::int64_t seconds) {
  std::string text;
  if (seconds >= 3600) text = std::to_string(seconds / 3600) + ":";
  const std::int64_t minutes = seconds / 60 % 60;
  text += (seconds >= 3600 && minutes < 10 ? "0" : "") + std::to_string(minutes) + ":";
  const std::int64_t rest = seconds % 60;
  return text + (rest < 10 ? "0" : "") + std::to_string(rest);
}

}  // namespace

TProgressLine::TProgressLine(int descriptor) : descriptor_(descriptor), terminal_(::isatty(descriptor) == 1) {}

void TProgressLine::Start(const std::string& name) {
  if (!terminal_) return;
  // Control characters of the name would move the cursor.
  name_.clear();
  for (const char character : name) name_ += static_cast<unsigned char>(character) < 0x20 ? '?' : character;
  total_ = -1;
  winsize size{};
  if (::ioctl(descriptor_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) columns_ = size.ws_col;
  started_ = TClock::now();
  drawn_ = false;
  writing_ = false;
}

void TProgressLine::Update(std::int64_t rows) {
  if (!terminal_) return;
  const TClock::time_point now = TClock::now();
  if (!writing_) {
    // The rate counts from the first row: a stored result may take long to
    // arrive before any row is written.
    writing_ = true;
    first_row_at_ = now;
    first_row_ = rows;
  }
  if (!Due(now)) return;
  std::string text = name_ + ": " + std::to_string(rows);
  if (total_ >= 0) text += " of " + std::to_string(total_);
  text += " rows";
  const double seconds = std::chrono::duration<double>(now - first_row_at_).count();
  if (seconds >= 0.1 && rows > first_row_) {
    const double rate = static_cast<double>(rows - first_row_) / seconds;
    text += ", " + std::to_string(static_cast<std::int64_t>(rate)) + " rows/s";
    if (total_ >= rows) {
      text += ", " + Duration(static_cast<std::int64_t>(static_cast<double>(total_ - rows) / rate + 0.5)) + " left";
    }
  }
  Draw(text, now);
}

void TProgressLine::UpdateReadAhead(std::int64_t rows) {
  if (!terminal_) return;
  const TClock::time_point now = TClock::now();
  if (!Due(now)) return;
  std::string text = name_ + ": reading ahead, " + std::to_string(rows);
  if (total_ >= 0) text += " of " + std::to_string(total_);
  Draw(text + " rows", now);
}

bool TProgressLine::Due(TClock::time_point now) const {
  return drawn_ ? now - drawn_at_ >= kRedrawEvery : now - started_ >= kFirstDrawAfter;
}

void TProgressLine::Draw(std::string text, TClock::time_point now) {
  // A line longer than the terminal would wrap, and the next one could not
  // overwrite it: it is cut before the last column, at a character's start.
  if (text.size() >= columns_) {
    std::size_t cut = columns_ > 1 ? columns_ - 1 : 0;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  line_.assign(kClearLine);
  line_ += text;
  Write(line_);
  drawn_ = true;
  drawn_at_ = now;
}

void TProgressLine::Finish() {
  if (!terminal_ || !drawn_) return;
  Write(kClearLine);
  drawn_ = false;
}

void TProgressLine::Write(const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(descriptor_, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      // The line is a courtesy to a person watching; the export goes on
      // without it, and its messages still report every failure.
      terminal_ = false;
      return;
    }
    written += static_cast<std::size_t>(count);
  }
}

}  // namespace velmora
