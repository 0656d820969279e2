#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/export_format.h"
#include "engine/tabulo.h"

namespace velmora {

enum TLaTeXVersion { LaTeX209, LaTeX2e };
enum TLaTeXDocStyle { dsArticle, dsBook };

struct TLaTeXOptions {
  TLaTeXVersion LaTeXVersion = LaTeX2e;
  TLaTeXDocStyle DocumentStyle = dsArticle;
  std::string DocumentParams = "a4paper";
  std::string Languages = "english";
  // The input encoding's code page; 0 is UTF-8, the encoding of every value.
  int CodePage = 0;
};

// Writes one line per operation, each ending in CR LF.
class TTabuloLaTeXWriter : public TTabuloWriter {
 public:
  using TTabuloWriter::TTabuloWriter;

  // \begin{name}, then {argument} when there is one.
  void BeginEnvironment(std::string_view name, std::string_view argument = "");
  void EndEnvironment(std::string_view name);
  // \usepackage[options]{name}; the brackets are written even when empty.
  void Package(std::string_view options, std::string_view name);
  void Rule() { WriteLine("\\hline"); }
  void RowEnd() { WriteLine("\\\\"); }
};

// Appends text with every character LaTeX treats specially escaped, so that
// it typesets as written: # $ % & _ { } behind a backslash, \ ^ ~ | < > as
// commands, line breaks and tabs as blanks, other control characters dropped,
// each sequence that is not UTF-8 as U+FFFD. Returns how many it replaced.
std::size_t AppendLaTeXText(std::string& out, std::string_view text);

// Writes the records as a LaTeX document: a preamble, the header lines, one
// table of a caption row and a row per record, and the footer lines. The
// table may run over many pages; every row is typeset.
class TTabuloLaTeX : public TTabuloFormatText {
 public:
  bool SeeksBack() const override { return false; }

  TLaTeXOptions Options;
  TStringList Preambula;  // lines written after the packages

  TTabuloWriterClass GetWriterClass() const override;
  void BeginExport() override;
  void EndExport() override;
  void GetCaptionRow(std::string& row) override;
  void WriteCaptionRow() override;
  void GetDataRow(bool formatted, std::string& row) override;
  void WriteDataRow() override;
  bool WritesBinaryAsText() const override { return true; }
  void EscapeText(std::string& text) const override;
  std::uint64_t ReplacedCharacters() const override { return replaced_characters_; }
  TReplacementKind ReplacementKind() const override { return rkInvalidUtf8; }

 private:
  TTabuloLaTeXWriter& LaTeXWriter() const;
  void WritePreamble();
  void WriteRow(const std::string& row);

  std::string row_;
  std::string cell_text_;
  // Counted while escaping, which the engine asks of a const exporter.
  mutable std::uint64_t replaced_characters_ = 0;
};

// The registry row of the format.
extern const TExportFormat kTeXFormat;

}  // namespace velmora
