#include "engine/tabulo_writer.h"

#include <cstring>

#include "platform/utf8.h"

namespace velmora {

namespace {
std::size_t Shortfall(std::string_view text, int width) {
  const std::size_t length = DisplayCells(text);
  return width > 0 && length < static_cast<std::size_t>(width) ? static_cast<std::size_t>(width) - length : 0;
}
}  // namespace

std::string TTabuloWriter::AlignmentText(TTabuloColAlign align) const {
  switch (align) {
    case ecaLeft: return "Left alignment";
    case ecaCenter: return "Center alignment";
    case ecaRight: return "Right alignment";
  }
  return "Unknown alignment";
}

void TTabuloWriter::WriteLine(std::string_view text) {
  stream_->Write(text);
  stream_->Write("\r\n");
}

void TTabuloWriter::CharacterLine(char character, int count) {
  if (count > 0) stream_->Write(std::string(static_cast<std::size_t>(count), character));
  stream_->Write("\r\n");
}

void TTabuloWriter::PadLeftInPlace(std::string& text, char character, int width) {
  const std::size_t missing = Shortfall(text, width);
  if (missing > 0) text.insert(0, missing, character);
}

void TTabuloWriter::PadRightInPlace(std::string& text, char character, int width) {
  const std::size_t missing = Shortfall(text, width);
  if (missing > 0) text.append(missing, character);
}

void TTabuloWriter::PadCenterInPlace(std::string& text, char character, int width) {
  const std::size_t missing = Shortfall(text, width);
  if (missing == 0) return;
  const std::size_t left = missing / 2;
  text.insert(0, left, character);
  text.append(missing - left, character);
}

void TTabuloWriter::AppendPadded(std::string& out, std::string_view text, char character, int width,
                                 TTabuloColAlign align) {
  const std::size_t missing = Shortfall(text, width);
  const std::size_t before = align == ecaRight ? missing : align == ecaCenter ? missing / 2 : 0;
  // One resize lays the padding on both sides; the text goes in between.
  const std::size_t start = out.size();
  out.resize(start + text.size() + missing, character);
  if (!text.empty()) std::memcpy(out.data() + start + before, text.data(), text.size());
}

std::string TTabuloWriter::PadLeft(std::string_view text, char character, int width) {
  std::string result(text);
  PadLeftInPlace(result, character, width);
  return result;
}

std::string TTabuloWriter::PadRight(std::string_view text, char character, int width) {
  std::string result(text);
  PadRightInPlace(result, character, width);
  return result;
}

std::string TTabuloWriter::PadCenter(std::string_view text, char character, int width) {
  std::string result(text);
  PadCenterInPlace(result, character, width);
  return result;
}

}  // namespace velmora
