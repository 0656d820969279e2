#include "platform/text_encoder.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "platform/error.h"
#include "platform/text_escape.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// "utf-16le", "UTF_16LE" and "UTF16LE" all name one encoding.
std::string CanonicalName(std::string_view name) {
  std::string canonical;
  for (const char character : name) {
    if (character == '-' || character == '_') continue;
    canonical += character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character;
  }
  return canonical;
}

std::string HexBytes(std::string_view bytes) {
  std::string text;
  for (const char byte : bytes) {
    if (!text.empty()) text += ' ';
    text += Format("0x%02X", static_cast<unsigned char>(byte));
  }
  return text;
}

}  // namespace

void TTextEncoder::TIconvClose::operator()(void* descriptor) const {
  iconv_close(static_cast<iconv_t>(descriptor));
}

TTextEncoder::TTextEncoder(std::string_view encoding, TUnmappablePolicy policy, std::string_view replacement)
    : encoding_(encoding), policy_(policy) {
  const std::string canonical = CanonicalName(encoding);
  if (canonical == "UTF8") {
    target_ = tUtf8;
    ascii_compatible_ = true;
  } else if (canonical == "UTF16LE") {
    target_ = tUtf16LE;
  } else {
    const iconv_t descriptor = iconv_open(encoding_.c_str(), "UTF-8");
    if (descriptor == reinterpret_cast<iconv_t>(-1)) {
      if (errno == EINVAL)
        throw EVelmoraError(Format("Unknown character encoding \"%s\"", encoding_.c_str()));
      RaiseSystemError(Format("Cannot convert text to \"%s\"", encoding_.c_str()), errno);
    }
    descriptor_.reset(descriptor);
    DetectByteOrderMark();
    std::string ascii;
    for (int code = 0; code < 0x80; ++code) ascii += static_cast<char>(code);
    std::string converted;
    ascii_compatible_ = ConvertRun(converted, ascii) == ascii.size() && converted == ascii;
  }
  try {
    replacement_character_ = EncodeStrictly(kReplacementCharacterUtf8);
  } catch (const EVelmoraError&) {
    replacement_character_.clear();
  }
  try {
    replacement_ = EncodeStrictly(replacement);
  } catch (const EVelmoraError&) {
    throw EVelmoraError(Format("Replacement text \"%.*s\" cannot be written in encoding %s",
                               static_cast<int>(replacement.size()), replacement.data(), encoding_.c_str()));
  }
}

TTextEncoder::~TTextEncoder() = default;
TTextEncoder::TTextEncoder(TTextEncoder&&) noexcept = default;
TTextEncoder& TTextEncoder::operator=(TTextEncoder&&) noexcept = default;

// Encodings that say their byte order put a mark before every conversion: the
// mark is what one character converted twice has more than two characters
// converted at once.
void TTextEncoder::DetectByteOrderMark() {
  std::string one;
  std::string two;
  ConvertRun(one, "A");
  ConvertRun(two, "AA");
  if (2 * one.size() > two.size()) byte_order_mark_ = one.substr(0, 2 * one.size() - two.size());
}

std::string TTextEncoder::EncodeStrictly(std::string_view utf8) {
  const TUnmappablePolicy policy = policy_;
  policy_ = upError;
  std::string out;
  try {
    Append(out, utf8);
  } catch (...) {
    policy_ = policy;
    throw;
  }
  policy_ = policy;
  return out;
}

void TTextEncoder::Append(std::string& out, std::string_view utf8) {
  const std::size_t start = out.size();
  try {
    switch (target_) {
      case tUtf8:
        AppendRepairedUtf8(out, utf8);
        break;
      case tUtf16LE:
        AppendUtf16LE(out, utf8);
        break;
      case tIconv:
        AppendThroughIconv(out, utf8);
        break;
    }
  } catch (...) {
    out.resize(start);
    throw;
  }
}

std::string TTextEncoder::Encode(std::string_view utf8) {
  std::string out;
  Append(out, utf8);
  return out;
}

void TTextEncoder::AppendRepairedUtf8(std::string& out, std::string_view text) {
  if (policy_ != upError) {
    replaced_ += AppendSanitizedUtf8(out, text);
    return;
  }
  for (std::size_t position = AsciiRunLength(text, 0); position < text.size();
       position += AsciiRunLength(text, position)) {
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) Substitute(out, text, position);  // raises
    position += static_cast<std::size_t>(sequence.Length);
  }
  out.append(text);
}

void TTextEncoder::AppendUtf16LE(std::string& out, std::string_view text) {
  // No UTF-8 sequence, valid or not, gives more than two bytes per byte it takes.
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* write = out.data() + start;
  auto unit = [&write](char32_t value) {
    *write++ = static_cast<char>(value & 0xFF);
    *write++ = static_cast<char>(value >> 8);
  };
  std::size_t position = 0;
  while (position < text.size()) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (byte < 0x80) {
      unit(byte);
      ++position;
      continue;
    }
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) {
      if (policy_ == upError) Substitute(out, text, position);  // raises
      ++replaced_;
      unit(kReplacementCharacter);
    } else if (sequence.CodePoint >= 0x10000) {
      const char32_t offset = sequence.CodePoint - 0x10000;
      unit(0xD800 + (offset >> 10));
      unit(0xDC00 + (offset & 0x3FF));
    } else {
      unit(sequence.CodePoint);
    }
    position += static_cast<std::size_t>(sequence.Length);
  }
  out.resize(static_cast<std::size_t>(write - out.data()));
}

void TTextEncoder::AppendThroughIconv(std::string& out, std::string_view text) {
  std::size_t position = 0;
  while (position < text.size()) {
    if (ascii_compatible_) {
      const std::size_t ascii = AsciiRunLength(text, position);
      out.append(text, position, ascii);
      position += ascii;
      if (position == text.size()) break;
    }
    // The run of valid UTF-8 that iconv takes in one call: up to the next ASCII
    // byte that needs no conversion, or the next invalid sequence.
    std::size_t run_end = position;
    while (run_end < text.size()) {
      if (ascii_compatible_ && static_cast<unsigned char>(text[run_end]) < 0x80) break;
      const TUtf8Sequence sequence = DecodeUtf8(text, run_end);
      if (!sequence.Valid) break;
      run_end += static_cast<std::size_t>(sequence.Length);
    }
    position += ConvertRun(out, text.substr(position, run_end - position));
    if (position < run_end) {
      position += Substitute(out, text, position);  // a character the target lacks
    } else if (position < text.size() && !DecodeUtf8(text, position).Valid) {
      position += Substitute(out, text, position);
    }
  }
}

std::size_t TTextEncoder::ConvertRun(std::string& out, std::string_view text) {
  const iconv_t descriptor = static_cast<iconv_t>(descriptor_.get());
  const std::size_t start = out.size();
  std::size_t written = 0;
  // Enough for the 8-bit targets; wider ones grow the room as iconv asks.
  std::size_t room = text.size() + 16;
  out.resize(start + room);
  char* input = const_cast<char*>(text.data());
  std::size_t input_left = text.size();
  // The second round writes what returns the encoding to its initial state.
  for (const bool shift_back : {false, true}) {
    while (true) {
      char* output = out.data() + start + written;
      std::size_t output_left = room - written;
      const std::size_t result = shift_back ? iconv(descriptor, nullptr, nullptr, &output, &output_left)
                                            : iconv(descriptor, &input, &input_left, &output, &output_left);
      const int error = errno;
      written = room - output_left;
      if (result != static_cast<std::size_t>(-1) || error != E2BIG) break;
      room *= 2;
      out.resize(start + room);
    }
  }
  out.resize(start + written);
  if (!byte_order_mark_.empty() && out.compare(start, byte_order_mark_.size(), byte_order_mark_) == 0) {
    out.erase(start, byte_order_mark_.size());
  }
  return text.size() - input_left;
}

std::size_t TTextEncoder::Substitute(std::string& out, std::string_view text, std::size_t position) {
  const TUtf8Sequence sequence = DecodeUtf8(text, position);
  const std::string_view bytes = text.substr(position, static_cast<std::size_t>(sequence.Length));
  if (policy_ == upError) {
    if (!sequence.Valid) {
      throw EVelmoraError(Format("Bytes that are not UTF-8 (%s) cannot be written in encoding %s",
                                 HexBytes(bytes).c_str(), encoding_.c_str()));
    }
    throw EVelmoraError(Format("Character \"%.*s\" (U+%04X) cannot be written in encoding %s",
                               static_cast<int>(bytes.size()), bytes.data(),
                               static_cast<unsigned>(sequence.CodePoint), encoding_.c_str()));
  }
  ++replaced_;
  if (!sequence.Valid && !replacement_character_.empty()) {
    out += replacement_character_;
  } else if (policy_ == upReplace) {
    out += replacement_;
  } else {
    std::string reference = "&#";
    AppendInteger(reference, static_cast<std::uint32_t>(sequence.CodePoint));
    reference += ';';
    AppendAscii(out, reference);
  }
  return bytes.size();
}

void TTextEncoder::AppendAscii(std::string& out, std::string_view ascii) {
  // Only iconv's targets lack characters, so only they come here.
  if (ascii_compatible_) {
    out.append(ascii);
  } else {
    ConvertRun(out, ascii);
  }
}

}  // namespace velmora
