#include "formats/latex/tabulo_latex.h"

#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// The table environment that breaks across pages.
constexpr std::string_view kTableEnvironment = "longtable";
constexpr std::string_view kCellSeparator = " & ";

}  // namespace

void TTabuloLaTeXWriter::BeginEnvironment(std::string_view name, std::string_view argument) {
  std::string line = "\\begin{";
  line += name;
  line += '}';
  if (!argument.empty()) {
    line += '{';
    line += argument;
    line += '}';
  }
  WriteLine(line);
}

void TTabuloLaTeXWriter::EndEnvironment(std::string_view name) {
  WriteLine(std::string("\\end{").append(name).append("}"));
}

void TTabuloLaTeXWriter::Package(std::string_view options, std::string_view name) {
  WriteLine(std::string("\\usepackage[").append(options).append("]{").append(name).append("}"));
}

std::size_t AppendLaTeXText(std::string& out, std::string_view text) {
  std::size_t replaced = 0;
  for (std::size_t position = 0; position < text.size(); ++position) {
    const char character = text[position];
    if (static_cast<unsigned char>(character) >= 0x80) {
      // The compiler stops at the first byte that is not UTF-8.
      const TUtf8Sequence sequence = DecodeUtf8(text, position);
      if (sequence.Valid) {
        out.append(text, position, static_cast<std::size_t>(sequence.Length));
      } else {
        out += kReplacementCharacterUtf8;
        ++replaced;
      }
      position += static_cast<std::size_t>(sequence.Length) - 1;
      continue;
    }
    switch (character) {
      case '#':
      case '$':
      case '%':
      case '&':
      case '_':
      case '{':
      case '}':
        out.push_back('\\');
        out.push_back(character);
        break;
      case '\\':
        out += "\\textbackslash{}";
        break;
      case '^':
        out += "\\^{}";
        break;
      case '~':
        out += "\\~{}";
        break;
      case '|':
        // The text font has no bar at that place (it shows a dash).
        out += "\\textbar{}";
        break;
      case '<':
        out += "$<$";
        break;
      case '>':
        out += "$>$";
        break;
      case '\t':
      case '\r':
      case '\n':
        out.push_back(' ');
        break;
      default:
        // Other control characters have no glyph and stop the compiler.
        if (static_cast<unsigned char>(character) >= 0x20 && character != 0x7F) out.push_back(character);
    }
  }
  return replaced;
}

TTabuloWriterClass TTabuloLaTeX::GetWriterClass() const { return &CreateWriterOf<TTabuloLaTeXWriter>; }

TTabuloLaTeXWriter& TTabuloLaTeX::LaTeXWriter() const { return static_cast<TTabuloLaTeXWriter&>(Writer()); }

// ---------------------------------------------------------------------------
// Prologue and epilogue

void TTabuloLaTeX::WritePreamble() {
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  const std::string class_name = Options.DocumentStyle == dsBook ? "book" : "article";
  if (Options.LaTeXVersion == LaTeX209) {
    // The old preamble takes packages as options of the style.
    std::string params = Options.DocumentParams;
    if (!params.empty()) params += ',';
    params += kTableEnvironment;
    writer.WriteLine("\\documentstyle[" + params + "]{" + class_name + "}");
    return;
  }
  if (Options.DocumentParams.empty()) {
    writer.WriteLine("\\documentclass{" + class_name + "}");
  } else {
    writer.WriteLine("\\documentclass[" + Options.DocumentParams + "]{" + class_name + "}");
  }
  writer.Package(Options.CodePage == 0 ? std::string("utf8") : "cp" + std::to_string(Options.CodePage),
                 "inputenc");
  // The replacement character of bytes that are not UTF-8 has no glyph in
  // the standard fonts: it prints as a boxed question mark.
  if (Options.CodePage == 0) writer.WriteLine("\\DeclareUnicodeCharacter{FFFD}{\\fbox{?}}");
  writer.Package(Options.Languages, "babel");
  writer.Package("", kTableEnvironment);
  if (Preambula.Count() > 0) {
    for (const std::string& line : Preambula) writer.WriteLine(line);
    writer.EmptyLine();
  }
}

void TTabuloLaTeX::BeginExport() {
  replaced_characters_ = 0;
  TTabuloFormatText::BeginExport();
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  WritePreamble();
  writer.BeginEnvironment("document");
  if (UpperCase(Options.Languages).find("RUSSIAN") != std::string::npos) writer.WriteLine("\\Rus");
  writer.EmptyLine();
  for (const std::string& line : Header) writer.WriteLine(line);
  writer.WriteLine("\\par\\bigskip");
  std::string columns = "|";
  for (const auto& column : Columns()) columns += column->IsNumber ? "r|" : "l|";
  writer.BeginEnvironment(kTableEnvironment, columns);
  writer.Rule();
}

void TTabuloLaTeX::EndExport() {
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  writer.EndEnvironment(kTableEnvironment);
  writer.EmptyLine();
  for (const std::string& line : Footer) writer.WriteLine(line);
  writer.EndEnvironment("document");
  TTabuloFormatText::EndExport();
}

// ---------------------------------------------------------------------------
// Rows

void TTabuloLaTeX::WriteRow(const std::string& row) {
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  writer.WriteLine(row);
  writer.RowEnd();
  writer.Rule();
}

void TTabuloLaTeX::GetCaptionRow(std::string& row) {
  row.clear();
  for (int index = 0; index < Columns().Count(); ++index) {
    if (index > 0) row += kCellSeparator;
    row += GetColCaption(index);
  }
}

void TTabuloLaTeX::WriteCaptionRow() {
  GetCaptionRow(row_);
  WriteRow(row_);
}

void TTabuloLaTeX::GetDataRow(bool formatted, std::string& row) {
  row.clear();
  bool first = true;
  for (TTabuloCol& cell : ExportRow()) {
    CellExportText(cell, formatted, cell_text_);
    if (!first) row += kCellSeparator;
    first = false;
    row += cell_text_;
  }
}

void TTabuloLaTeX::WriteDataRow() {
  GetDataRow(true, row_);
  WriteRow(row_);
}

void TTabuloLaTeX::EscapeText(std::string& text) const {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  replaced_characters_ += AppendLaTeXText(escaped, text);
  text.swap(escaped);
}

const TExportFormat kTeXFormat{11, "TEX", {"tex"}, &CreateExporterOf<TTabuloLaTeX>, &NeverReadsAhead};

}  // namespace velmora
