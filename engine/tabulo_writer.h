#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/tabulo_columns.h"
#include "platform/output_stream.h"

namespace velmora {

class TTabulo;

// Byte-exact text output of an exporter to its output stream. The writer lives
// only while the exporter's Execute runs; it owns neither the exporter nor the stream.
class TTabuloWriter {
 public:
  TTabuloWriter(TTabulo& owner, TOutputStream& stream) : owner_(owner), stream_(&stream) {}
  virtual ~TTabuloWriter() = default;

  // "Left alignment", "Center alignment", "Right alignment", "Unknown alignment";
  // writers of markup formats return their format's keyword.
  virtual std::string AlignmentText(TTabuloColAlign align) const;

  // Writes the bytes as they are: no character-set or line-end conversion.
  void Write(std::string_view text) { stream_->Write(text); }
  // The text, then CR LF.
  void WriteLine(std::string_view text);
  void EmptyLine() { stream_->Write("\r\n"); }
  // count copies of character, then CR LF (only CR LF for count <= 0).
  void CharacterLine(char character, int count);

  // Padding never cuts a text; widths count the cells the text takes in a
  // monospaced font, whatever the locale (see DisplayCells): a CJK character
  // takes two, a combining accent none.
  static std::string PadLeft(std::string_view text, char character, int width);
  static std::string PadRight(std::string_view text, char character, int width);
  // The odd character goes to the right.
  static std::string PadCenter(std::string_view text, char character, int width);
  // In-place forms for the record loop.
  static void PadLeftInPlace(std::string& text, char character, int width);
  static void PadRightInPlace(std::string& text, char character, int width);
  static void PadCenterInPlace(std::string& text, char character, int width);
  // Appends text to out padded to width as align places it.
  static void AppendPadded(std::string& out, std::string_view text, char character, int width,
                           TTabuloColAlign align);

  TTabulo& Owner() const { return owner_; }
  TOutputStream& Stream() const { return *stream_; }
  // The size the file has reached: the bytes written into the stream, or,
  // for a writer that holds or compresses its file's bytes on their way,
  // the size they will take in the file. A split export ends its part by it.
  virtual std::int64_t BytesWritten() const { return stream_->Position(); }
  // Sends the writer's output to another stream (the next page of a split export).
  void Redirect(TOutputStream& stream) { stream_ = &stream; }

 private:
  TTabulo& owner_;
  TOutputStream* stream_;
};

}  // namespace velmora
