#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"

namespace velmora {

enum TLaTeXVersion { LaTeX209, LaTeX2e };
enum TLaTeXDocStyle { dsArticle, dsBook };
// The TeX engine the document is written for: pdflatex with the standard
// fonts (Latin text), xelatex with Unicode fonts (every script), or the first
// when every text the export reads before its table typesets there.
enum TLaTeXEngine { leAuto, lePdfLaTeX, leXeLaTeX };

class TIniFile;

struct TLaTeXOptions {
  TLaTeXVersion LaTeXVersion = LaTeX2e;
  TLaTeXDocStyle DocumentStyle = dsArticle;
  std::string DocumentParams = "a4paper";
  std::string Languages = "english";
  // The input encoding's code page; 0 is UTF-8, the encoding of every value.
  int CodePage = 0;
  TLaTeXEngine Engine = leAuto;
  // The fonts of the xelatex preamble: the text font, and the one that
  // Chinese, Japanese and Korean characters switch to.
  std::string Font = "DejaVu Serif";
  std::string CJKFont = "WenQuanYi Micro Hei";

  // The options of the template's [LaTeX] section over current; raises
  // EVelmoraError for an engine or font name that cannot give a sound document.
  static TLaTeXOptions Read(const TIniFile& template_file, const TLaTeXOptions& current);
};

// True when pdflatex typesets the character with the preamble's UTF-8 input
// and standard fonts (ASCII, most Latin letters, common punctuation).
bool TypesetsWithPdfLaTeX(char32_t code_point);

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
// each sequence that is not UTF-8 as U+FFFD. With break_words, a word longer
// than a few characters gets a break point (a high penalty) every few characters, so
// that an address or a code longer than its column wraps instead of running
// into the next one. Returns how many sequences it replaced; adds to
// beyond_pdflatex, when given, the characters pdflatex cannot typeset.
std::size_t AppendLaTeXText(std::string& out, std::string_view text, std::uint64_t* beyond_pdflatex = nullptr,
                            bool break_words = true);

// Writes the records as a LaTeX document: a preamble, the header lines, one
// table of a caption row and a row per record, and the footer lines. The
// table may run over many pages, with the caption row on top of each; every
// row is typeset. The columns share the text width by their content: numbers
// and dates keep their natural width, text columns wrap. The preamble and the
// table's start are written once the width pass has read the records ahead.
class TTabuloLaTeX : public TTabuloFormatText {
 public:
  bool SeeksBack() const override { return false; }
  // The template's WIDTH entries set columns in digits of the text font.
  unsigned PublishedSettings() const override { return TTabuloFormatText::PublishedSettings() | psColumnsWidth; }
  int ContentWidthCap() const override { return 0; }
  bool MeasuresValues() const override { return true; }
  void MeasureValue(int column, std::string_view text) override;
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;
  std::vector<std::string> ExportNotes(const std::string& file_name) const override;
  // The engine the last export's document was written for.
  TLaTeXEngine EngineUsed() const { return engine_used_; }

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
  // What the width pass measured of one column, in em of the text font of
  // each engine (pdflatex, xelatex).
  struct TMeasure {
    std::array<double, 2> Widest{};
    std::array<double, 2> LongestWord{};
  };
  // Adds text to measure; true when it has characters pdflatex lacks.
  static bool Measure(TMeasure& measure, std::string_view text);
  void NoteEngineNeeds(std::string_view text);
  // The preamble, the header lines and the table's start, once.
  void WritePrologue();
  void WritePreamble();
  void WriteUnicodePreamble(const std::string& class_name);
  std::string ColumnSpec(std::string& before_table);
  void WriteRow(const std::string& row);

  std::vector<TMeasure> measures_;
  bool prologue_written_ = false;
  bool table_size_changed_ = false;  // the table is set in a smaller size, in a group
  bool too_wide_ = false;            // the columns' narrowest widths exceed the page
  // The geometry package's options of the page the table needs (narrower
  // margins, the page turned), or empty for the class's own page.
  std::string page_geometry_;
  bool needs_unicode_engine_ = false;  // a text read ahead has characters pdflatex lacks
  TLaTeXEngine engine_used_ = lePdfLaTeX;
  // Characters pdflatex cannot typeset written into a document for it.
  mutable std::uint64_t beyond_pdflatex_ = 0;
  bool count_beyond_pdflatex_ = false;
  bool break_words_ = true;  // the text being escaped may wrap
  std::string row_;
  std::string cell_text_;
  // Counted while escaping, which the engine asks of a const exporter.
  mutable std::uint64_t replaced_characters_ = 0;
};

// The registry row of the format.
extern const TExportFormat kTeXFormat;

}  // namespace velmora
