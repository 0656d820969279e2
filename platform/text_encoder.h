#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

// What becomes of a character the target encoding lacks, and of bytes that are
// not UTF-8 (binary columns).
enum TUnmappablePolicy {
  upReplace,             // the replacement text
  upCharacterReference,  // "&#N;" with the decimal code point (markup formats)
  upError,               // EVelmoraError naming the character and the encoding
};

// Converts the UTF-8 text the server sends into a target encoding: UTF-8 itself
// (repaired), UTF-16LE (decoded directly), or any encoding iconv knows by name
// ("WINDOWS-1252", "ISO-8859-15", "UTF-16BE"). Text is never passed on broken:
// an invalid UTF-8 sequence stands for U+FFFD, which is written when the target
// holds it and otherwise goes through the policy like any other character the
// target lacks (under upError it is an error in every target). Both count as
// replaced. Each appended piece is complete in itself (a stateful encoding is
// back in its initial state at its end), so pieces may be written in any order.
class TTextEncoder {
 public:
  // Raises EVelmoraError "Unknown character encoding "NAME"" for a name iconv
  // does not know, and "Replacement text "TEXT" cannot be written in encoding
  // NAME" when the replacement itself does not convert, before any text is.
  TTextEncoder(std::string_view encoding, TUnmappablePolicy policy, std::string_view replacement = "?");
  ~TTextEncoder();
  TTextEncoder(TTextEncoder&&) noexcept;
  TTextEncoder& operator=(TTextEncoder&&) noexcept;

  // Appends utf8 converted. Under upError, an unconvertible character raises
  // "Character "€" (U+20AC) cannot be written in encoding NAME" and invalid
  // bytes "Bytes that are not UTF-8 (0xE2 0x82) cannot be written in encoding
  // NAME"; out is then left as it was before the call.
  void Append(std::string& out, std::string_view utf8);
  std::string Encode(std::string_view utf8);

  // Characters and invalid sequences replaced so far.
  std::size_t ReplacedCount() const { return replaced_; }
  // The name as given.
  const std::string& Encoding() const { return encoding_; }
  // True when ASCII text comes out unchanged, so markup and digits may be
  // written without conversion.
  bool AsciiCompatible() const { return ascii_compatible_; }
  // The byte order mark iconv starts every conversion with for encodings such
  // as "UTF-16" (empty for others). Append never writes it: a format that wants
  // one writes it once at the start of its file.
  const std::string& ByteOrderMark() const { return byte_order_mark_; }

 private:
  enum TTarget { tUtf8, tUtf16LE, tIconv };
  struct TIconvClose {
    void operator()(void* descriptor) const;
  };

  void AppendRepairedUtf8(std::string& out, std::string_view text);
  void AppendUtf16LE(std::string& out, std::string_view text);
  void AppendThroughIconv(std::string& out, std::string_view text);
  // Converts valid UTF-8 through iconv up to the first character the target
  // lacks; returns the bytes consumed.
  std::size_t ConvertRun(std::string& out, std::string_view text);
  // The policy for the sequence at text[position], which is invalid UTF-8 or a
  // character the target lacks. Returns the bytes it took.
  std::size_t Substitute(std::string& out, std::string_view text, std::size_t position);
  // ASCII text in the target encoding.
  void AppendAscii(std::string& out, std::string_view ascii);
  // Probes run once at construction.
  void DetectByteOrderMark();
  std::string EncodeStrictly(std::string_view utf8);

  std::string encoding_;
  TUnmappablePolicy policy_;
  TTarget target_ = tIconv;
  std::unique_ptr<void, TIconvClose> descriptor_;
  bool ascii_compatible_ = false;
  std::string byte_order_mark_;
  std::string replacement_;            // the replacement text, encoded
  std::string replacement_character_;  // U+FFFD encoded; empty when the target lacks it
  std::size_t replaced_ = 0;
};

}  // namespace velmora
