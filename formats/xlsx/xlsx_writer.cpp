#include "formats/xlsx/xlsx_writer.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "formats/xls/xls_text.h"
#include "platform/error.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

constexpr std::size_t kMaxHeaderCharacters = LXW_HEADER_FOOTER_MAX;
constexpr std::size_t kMaxCellCharacters = 32767;  // UTF-16 units a cell holds
constexpr int kMaxColumnWidth = 255;
constexpr std::size_t kCopyChunk = 1 << 20;

// The library's colour value (0xRRGGBB) of a palette colour.
lxw_color_t RgbOf(TxlsColor color) {
  const TColor value = XlsColorToColor(color);
  return static_cast<lxw_color_t>(RedOf(value)) << 16 | static_cast<lxw_color_t>(GreenOf(value)) << 8 |
         static_cast<lxw_color_t>(BlueOf(value));
}

// The UTF-8 form of UTF-16 units (pairs joined; a lone surrogate as U+FFFD).
std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  for (std::size_t index = 0; index < units.size(); ++index) {
    char32_t code = units[index];
    if (code >= 0xD800 && code <= 0xDBFF && index + 1 < units.size() && units[index + 1] >= 0xDC00 &&
        units[index + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++index] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacementCharacter;
    }
    AppendUtf8(out, code);
  }
  return out;
}

// Sets the font, number format, alignment, borders and fill of a pooled XF
// (font null: the data font) on a library format.
void ApplyStyle(lxw_format* format, const TxlsFont& font, std::string_view number_format, const TxlsXFormat* xf) {
  format_set_font_name(format, font.Name.c_str());
  format_set_font_size(format, font.Size);
  if (font.Color != clrBlack) format_set_font_color(format, RgbOf(font.Color));
  if (font.Has(xfsBold)) format_set_bold(format);
  if (font.Has(xfsItalic)) format_set_italic(format);
  if (font.Has(xfsStrikeOut)) format_set_font_strikeout(format);
  // The underline and script values are the library's codes.
  if (font.Underline != fulNone) format_set_underline(format, static_cast<std::uint8_t>(font.Underline));
  if (font.Script != fscNone) format_set_font_script(format, static_cast<std::uint8_t>(font.Script));
  if (number_format != "General") format_set_num_format(format, std::string(number_format).c_str());
  if (xf == nullptr) return;

  // Horizontal alignments and border and fill patterns are numbered alike in
  // both workbook formats.
  if (xf->Alignment.Horizontal != halGeneral) {
    format_set_align(format, static_cast<std::uint8_t>(xf->Alignment.Horizontal));
  }
  switch (xf->Alignment.Vertical) {
    case valTop: format_set_align(format, LXW_ALIGN_VERTICAL_TOP); break;
    case valCenter: format_set_align(format, LXW_ALIGN_VERTICAL_CENTER); break;
    case valBottom: break;  // the default
    case valJustify: format_set_align(format, LXW_ALIGN_VERTICAL_JUSTIFY); break;
  }
  if (xf->Wrap) format_set_text_wrap(format);
  const struct {
    const TxlsBorder& Border;
    void (*SetStyle)(lxw_format*, std::uint8_t);
    void (*SetColor)(lxw_format*, lxw_color_t);
  } sides[] = {
      {xf->Borders.Left, format_set_left, format_set_left_color},
      {xf->Borders.Right, format_set_right, format_set_right_color},
      {xf->Borders.Top, format_set_top, format_set_top_color},
      {xf->Borders.Bottom, format_set_bottom, format_set_bottom_color},
  };
  for (const auto& side : sides) {
    if (side.Border.Style == bstNone) continue;
    side.SetStyle(format, static_cast<std::uint8_t>(side.Border.Style));
    if (side.Border.Color != clrBlack) side.SetColor(format, RgbOf(side.Border.Color));
  }
  // As in the binary workbook: Background is the colour a solid fill shows,
  // and the pattern's colour of other patterns, drawn over Foreground.
  if (xf->Fill.Pattern != ptNone) {
    format_set_pattern(format, static_cast<std::uint8_t>(xf->Fill.Pattern));
    if (xf->Fill.Pattern == ptSolid) {
      format_set_bg_color(format, RgbOf(xf->Fill.Background));
    } else {
      format_set_fg_color(format, RgbOf(xf->Fill.Background));
      format_set_bg_color(format, RgbOf(xf->Fill.Foreground));
    }
  }
}

// A page header or footer cut to what a worksheet holds. A text without a
// section code is centred, as the binary workbook shows it; the code is
// written out so that every reader finds the section.
std::string PageText(std::string_view text) {
  const bool has_section = text.find("&L") != std::string_view::npos || text.find("&C") != std::string_view::npos ||
                           text.find("&R") != std::string_view::npos;
  const std::string_view prefix = has_section ? "" : "&C";
  return std::string(prefix) + std::string(Utf8Prefix(text, kMaxHeaderCharacters - prefix.size()));
}

// Escapes text that reads as one of the workbook's character escapes
// ("_x000D_" stands for CR): its underscore becomes "_x005F_", so that readers
// show the text as it is. The library escapes control characters that way
// but leaves such text alone.
void EscapeCharacterEscapes(std::string& text) {
  auto is_hex = [](char character) {
    return (character >= '0' && character <= '9') || (character >= 'A' && character <= 'F') ||
           (character >= 'a' && character <= 'f');
  };
  for (std::size_t at = text.find("_x"); at != std::string::npos; at = text.find("_x", at + 1)) {
    if (at + 7 > text.size() || text[at + 6] != '_') continue;
    if (!is_hex(text[at + 2]) || !is_hex(text[at + 3]) || !is_hex(text[at + 4]) || !is_hex(text[at + 5])) continue;
    text.insert(at + 1, "x005F_");
    at += 6;
  }
}

const char* AggregateFunction(int aggregate) {
  switch (aggregate) {
    case aggAvg: return "AVERAGE";
    case aggMin: return "MIN";
    case aggMax: return "MAX";
    default: return "SUM";
  }
}

}  // namespace

TTabuloXLSXWriter::TTabuloXLSXWriter(TTabulo& owner, TOutputStream& stream) : TxlsWorkbookSink(owner, stream) {}

TTabuloXLSXWriter::~TTabuloXLSXWriter() { Discard(); }

void TTabuloXLSXWriter::Discard() {
  if (workbook_ != nullptr) {
    // Frees the workbook and its row files without writing the package.
    lxw_workbook_free(workbook_);
    workbook_ = nullptr;
  }
  if (!package_path_.empty()) {
    ::unlink(package_path_.c_str());
    package_cleanup_.Release();
    package_path_.clear();
  }
}

void TTabuloXLSXWriter::Check(int error, int row, int column) const {
  if (error == LXW_NO_ERROR) return;
  if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
    throw EVelmoraError(
        Format("Cell %s: String length more than 32767 characters", CellName(row, column).c_str()));
  }
  throw EVelmoraError(Format("Cannot write the workbook (cell %s): %s", CellName(row, column).c_str(),
                             lxw_strerror(static_cast<lxw_error>(error))));
}

void TTabuloXLSXWriter::WriteWorkbookGlobals(const TxlsFont& data_font) {
  Discard();
  data_font_ = data_font;
  const char* variable = std::getenv("TMPDIR");
  const std::string directory = variable != nullptr && *variable != '\0' ? variable : "/tmp";
  std::string name = directory + "/velmora-xlsx-XXXXXX";
  {
    // No terminating signal between creating the file and registering it.
    TDeferCleanupSignals defer;
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) RaiseSystemError("Cannot create a temporary file in \"" + directory + "\"", errno);
    ::close(fd);
    package_path_ = name;
    package_cleanup_.Hold(package_path_);
  }
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  workbook_ = workbook_new_opt(package_path_.c_str(), &options);
  if (workbook_ == nullptr) throw EVelmoraError("Cannot start the workbook: out of memory");
  formats_.clear();
}

void TTabuloXLSXWriter::BeginSheet(std::u16string title, std::string_view page_header,
                                   std::string_view page_footer, int first_column, const std::vector<int>& widths) {
  const std::string name = Utf16ToUtf8(title);
  if (const lxw_error error = workbook_validate_sheet_name(workbook_, name.c_str()); error != LXW_NO_ERROR) {
    throw EVelmoraError(Format("Sheet name \"%s\": %s", name.c_str(), lxw_strerror(error)));
  }
  sheet_ = workbook_add_worksheet(workbook_, name.c_str());
  if (sheet_ == nullptr) throw EVelmoraError(Format("Cannot add the sheet \"%s\"", name.c_str()));
  if (!page_header.empty()) Check(worksheet_set_header(sheet_, PageText(page_header).c_str()), 0, 0);
  if (!page_footer.empty()) Check(worksheet_set_footer(sheet_, PageText(page_footer).c_str()), 0, 0);
  first_column_ = first_column;
  WidenColumns(widths);
}

void TTabuloXLSXWriter::WidenColumns(const std::vector<int>& widths) {
  // The library writes the columns when the workbook closes, so a width set
  // after the rows still counts.
  for (std::size_t index = 0; index < widths.size(); ++index) {
    const auto column = static_cast<lxw_col_t>(first_column_ + static_cast<int>(index));
    Check(worksheet_set_column(sheet_, column, column, std::clamp(widths[index], 0, kMaxColumnWidth), nullptr), 0,
          static_cast<int>(column));
  }
}

lxw_format* TTabuloXLSXWriter::CellFormat(std::uint16_t xf) {
  if (const auto found = formats_.find(xf); found != formats_.end()) return found->second;
  lxw_format* format = workbook_add_format(workbook_);
  if (format == nullptr) throw EVelmoraError("Cannot add a cell format: out of memory");
  const TxlsXFormat* pooled = xf == kDefaultXF ? nullptr : pools_.FindXF(xf);
  const TxlsFont& font = pooled != nullptr && pooled->Font != nullptr ? *pooled->Font : data_font_;
  const std::string_view number_format =
      pooled != nullptr && pooled->TextFormat != nullptr ? std::string_view(pooled->TextFormat->Format) : "General";
  ApplyStyle(format, font, number_format, pooled);
  formats_.emplace(xf, format);
  return format;
}

void TTabuloXLSXWriter::WriteBlankCell(int row, int column, std::uint16_t xf) {
  Check(worksheet_write_blank(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), CellFormat(xf)), row,
        column);
}

void TTabuloXLSXWriter::WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) {
  if (text.empty()) return;
  text_.clear();
  AppendSanitizedUtf8(text_, text);
  // The limit is in UTF-16 units, as spreadsheet programs count: a character
  // beyond U+FFFF takes two.
  if (text_.size() > kMaxCellCharacters && Utf8ToUtf16(text_).size() > kMaxCellCharacters) {
    Check(LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED, row, column);
  }
  if (text_.find("_x") != std::string::npos) EscapeCharacterEscapes(text_);
  Check(worksheet_write_string(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), text_.c_str(),
                               CellFormat(xf)),
        row, column);
}

void TTabuloXLSXWriter::WriteNumberCell(int row, int column, std::uint16_t xf, double value) {
  Check(worksheet_write_number(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), value,
                               CellFormat(xf)),
        row, column);
}

void TTabuloXLSXWriter::WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) {
  Check(worksheet_write_boolean(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), value ? 1 : 0,
                                CellFormat(xf)),
        row, column);
}

void TTabuloXLSXWriter::WriteAggregateCell(int row, int column, int first_row, int last_row, int aggregate,
                                           std::uint16_t xf, const TFormulaResult& result) {
  char range[64];
  lxw_rowcol_to_range(range, static_cast<lxw_row_t>(first_row), static_cast<lxw_col_t>(column),
                      static_cast<lxw_row_t>(last_row), static_cast<lxw_col_t>(column));
  const std::string formula = std::string("=") + AggregateFunction(aggregate) + "(" + range + ")";
  // The library stores a number as the cached result; an average over no
  // number caches 0 and shows its error once the reader recalculates.
  Check(worksheet_write_formula_num(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                    formula.c_str(), CellFormat(xf), result.DivisionByZero ? 0 : result.Value),
        row, column);
}

void TTabuloXLSXWriter::Finish() {
  lxw_workbook* workbook = workbook_;
  workbook_ = nullptr;  // closed (and freed) by the library whatever the outcome
  if (const lxw_error error = workbook_close(workbook); error != LXW_NO_ERROR) {
    throw EVelmoraError(Format("Cannot write the workbook: %s", lxw_strerror(error)));
  }
  const int fd = ::open(package_path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) RaiseSystemError("Cannot read the workbook \"" + package_path_ + "\"", errno);
  std::string chunk(kCopyChunk, '\0');
  int error_number = 0;
  while (true) {
    const ssize_t count = ::read(fd, chunk.data(), chunk.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) error_number = errno;
    if (count <= 0) break;
    try {
      Stream().Write(std::string_view(chunk.data(), static_cast<std::size_t>(count)));
    } catch (...) {
      ::close(fd);
      throw;
    }
  }
  ::close(fd);
  if (error_number != 0) RaiseSystemError("Cannot read the workbook \"" + package_path_ + "\"", error_number);
  Discard();
}

}  // namespace velmora
