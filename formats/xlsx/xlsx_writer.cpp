#include "formats/xlsx/xlsx_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "formats/xls/xls_text.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "formats/xlsx/xlsx_text.h"
#include "platform/error.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

constexpr std::size_t kMaxHeaderCharacters = 255;
constexpr std::size_t kMaxCellCharacters = 32767;  // UTF-16 units a cell holds
constexpr int kMaxColumnWidth = 255;

constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelationshipNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// Every .xml part not named otherwise is a worksheet, so that the content
// types can go first in the package before the number of sheets is known.
constexpr std::string_view kContentTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "</Types>";

constexpr std::string_view kPackageRelationships =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";

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

// A page header or footer cut to what a worksheet holds. A text without a
// section code is centred, as the binary workbook shows it; the code is
// written out so that every reader finds the section.
std::string PageText(std::string_view text) {
  const bool has_section = text.find("&L") != std::string_view::npos ||
                           text.find("&C") != std::string_view::npos ||
                           text.find("&R") != std::string_view::npos;
  const std::string_view prefix = has_section ? "" : "&C";
  return std::string(prefix) + std::string(Utf8Prefix(text, kMaxHeaderCharacters - prefix.size()));
}

const char* AggregateFunction(int aggregate) {
  switch (aggregate) {
    case aggAvg:
      return "AVERAGE";
    case aggMin:
      return "MIN";
    case aggMax:
      return "MAX";
    default:
      return "SUM";
  }
}

// The stored width of a column of that many characters: the characters plus
// the cell's padding of 5 pixels at 7 pixels per character, in 1/256ths, as
// spreadsheet programs store it.
double StoredWidth(int characters) {
  const int width = std::clamp(characters, 0, kMaxColumnWidth);
  if (width == 0) return 0;
  return std::floor((width * 7.0 + 5) / 7 * 256) / 256;
}

void AppendInteger(std::string& out, long long value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

}  // namespace

TTabuloXLSXWriter::TTabuloXLSXWriter(TTabulo& owner, TOutputStream& stream)
    : TxlsWorkbookSink(owner, stream) {
  if (const auto* exporter = dynamic_cast<const TTabuloXLSX*>(&owner)) level_ = exporter->CompressionLevel;
}

TTabuloXLSXWriter::~TTabuloXLSXWriter() = default;

void TTabuloXLSXWriter::WriteSmallPart(std::string_view name, std::string_view content) {
  zip_->BeginEntry(name);
  zip_->Write(kXmlDeclaration);
  zip_->Write(content);
  zip_->EndEntry();
}

void TTabuloXLSXWriter::WriteWorkbookGlobals(const TxlsFont& data_font) {
  zip_ = std::make_unique<TZipStream>(Stream(), std::clamp(level_, 0, 9));
  styles_.Reset(data_font);
  sheet_names_.clear();
  WriteSmallPart("[Content_Types].xml", kContentTypes);
  WriteSmallPart("_rels/.rels", kPackageRelationships);
}

void TTabuloXLSXWriter::BeginSheet(std::u16string title, std::string_view page_header,
                                   std::string_view page_footer, int first_column,
                                   const std::vector<int>& widths) {
  std::string name = Utf16ToUtf8(title);
  for (const std::string& earlier : sheet_names_) {
    // Readers refuse a workbook with two sheets of one name, letter case ignored.
    if (SameText(earlier, name)) {
      throw EVelmoraError(
          Format("Sheet name \"%s\" is used by an earlier sheet of the workbook", name.c_str()));
    }
  }
  sheet_names_.push_back(std::move(name));
  page_header_ = page_header.empty() ? "" : PageText(page_header);
  page_footer_ = page_footer.empty() ? "" : PageText(page_footer);
  first_column_ = first_column;
  widths_ = widths;
  in_sheet_ = true;
  in_data_ = false;
  open_row_ = -1;
  next_column_ = 0;
  zip_->BeginEntry("xl/worksheets/sheet" + std::to_string(sheet_names_.size()) + ".xml");
  std::string& out = zip_->Buffer();
  out += kXmlDeclaration;
  out += "<worksheet xmlns=\"";
  out += kMainNamespace;
  out += "\" xmlns:r=\"";
  out += kRelationshipNamespace;
  out += "\"><sheetViews><sheetView";
  if (sheet_names_.size() == 1) out += " tabSelected=\"1\"";
  out += " workbookViewId=\"0\"/></sheetViews>";
}

void TTabuloXLSXWriter::WidenColumns(const std::vector<int>& widths) {
  if (!in_sheet_) return;
  widths_ = widths;
  // The columns precede the rows in a worksheet: once the rows began, only
  // the columns' reserved region of a seekable output can take new widths.
  if (!in_data_ || cols_region_ == 0) return;
  std::string columns = ColumnsText(widths_, false);
  if (columns.size() > cols_region_) return;
  columns.append(cols_region_ - columns.size(), ' ');
  zip_->PatchRegion(columns);
}

std::string TTabuloXLSXWriter::ColumnsText(const std::vector<int>& widths, bool widest) const {
  std::string out;
  for (std::size_t index = 0; index < widths.size(); ++index) {
    const double width = StoredWidth(widest ? kMaxColumnWidth : widths[index]);
    if (out.empty()) out += "<cols>";
    const int column = first_column_ + static_cast<int>(index) + 1;
    out += "<col min=\"";
    AppendInteger(out, column);
    out += "\" max=\"";
    AppendInteger(out, column);
    out += "\" width=\"";
    AppendNumber(out, width);
    out += width == 0 || widest ? "\" hidden=\"1\" customWidth=\"1\"/>" : "\" customWidth=\"1\"/>";
  }
  if (!out.empty()) out += "</cols>";
  return out;
}

void TTabuloXLSXWriter::OpenSheetData() {
  std::string columns = ColumnsText(widths_, false);
  // Room for the widest form of every column, so that widths found in rows
  // past the width pass can be written over the first ones at the sheet's
  // end; blanks between elements fill what the actual widths leave. A pipe
  // gets the same bytes, though nothing can be written over there.
  const std::size_t room = ColumnsText(widths_, true).size();
  cols_region_ = 0;
  if (!columns.empty() && room <= TZipStream::kMaxRegion) {
    columns.append(room - columns.size(), ' ');
    zip_->WriteRegion(columns);
    if (zip_->Seekable()) cols_region_ = room;
  } else {
    zip_->Buffer() += columns;
  }
  zip_->Buffer() += "<sheetData>";
  in_data_ = true;
}

void TTabuloXLSXWriter::OpenCell(int row, int column, std::uint16_t xf) {
  if (!in_data_) OpenSheetData();
  std::string& out = zip_->Buffer();
  if (row != open_row_) {
    if (open_row_ >= 0) out += "</row>";
    out += "<row r=\"";
    AppendInteger(out, row + 1);
    out += "\">";
    open_row_ = row;
    next_column_ = 0;
  }
  out += "<c";
  if (column != next_column_) {
    out += " r=\"";
    out += CellName(row, column);
    out += '"';
  }
  next_column_ = column + 1;
  if (const int style = styles_.StyleOf(xf, pools_); style != 0) {
    out += " s=\"";
    AppendInteger(out, style);
    out += '"';
  }
}

void TTabuloXLSXWriter::WriteBlankCell(int row, int column, std::uint16_t xf) {
  OpenCell(row, column, xf);
  zip_->Buffer() += "/>";
  zip_->Flow();
}

void TTabuloXLSXWriter::WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) {
  if (text.empty()) return;
  OpenCell(row, column, xf);
  std::string& out = zip_->Buffer();
  out += NeedsPreservedSpace(text) ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                                   : " t=\"inlineStr\"><is><t>";
  // The limit is in UTF-16 units, as spreadsheet programs count: a character
  // beyond U+FFFF takes two.
  if (AppendElementText(out, text) > kMaxCellCharacters) {
    throw EVelmoraError(
        Format("Cell %s: String length more than 32767 characters", CellName(row, column).c_str()));
  }
  out += "</t></is></c>";
  zip_->Flow();
}

void TTabuloXLSXWriter::WriteNumberCell(int row, int column, std::uint16_t xf, double value) {
  OpenCell(row, column, xf);
  std::string& out = zip_->Buffer();
  if (!std::isfinite(value)) {
    // No number of the format stands for these: the cell shows the error.
    out += " t=\"e\"><v>#NUM!</v></c>";
  } else {
    out += "><v>";
    AppendNumber(out, value);
    out += "</v></c>";
  }
  zip_->Flow();
}

void TTabuloXLSXWriter::WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) {
  OpenCell(row, column, xf);
  zip_->Buffer() += value ? " t=\"b\"><v>1</v></c>" : " t=\"b\"><v>0</v></c>";
  zip_->Flow();
}

void TTabuloXLSXWriter::WriteAggregateCell(int row, int column, int first_row, int last_row, int aggregate,
                                           std::uint16_t xf, const TFormulaResult& result) {
  OpenCell(row, column, xf);
  std::string& out = zip_->Buffer();
  // The cached result is what readers show before they recalculate: the
  // value, or the error of an average over no number.
  out += result.DivisionByZero || !std::isfinite(result.Value) ? " t=\"e\"><f>" : "><f>";
  out += AggregateFunction(aggregate);
  out += '(';
  out += CellName(first_row, column);
  out += ':';
  out += CellName(last_row, column);
  out += ")</f><v>";
  if (result.DivisionByZero) {
    out += "#DIV/0!";
  } else if (!std::isfinite(result.Value)) {
    out += "#NUM!";
  } else {
    AppendNumber(out, result.Value);
  }
  out += "</v></c>";
  zip_->Flow();
}

void TTabuloXLSXWriter::EndSheet(int, int) {
  if (!in_sheet_) return;
  if (!in_data_) OpenSheetData();
  std::string& out = zip_->Buffer();
  if (open_row_ >= 0) out += "</row>";
  out +=
      "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
      "footer=\"0.3\"/>";
  if (!page_header_.empty() || !page_footer_.empty()) {
    out += "<headerFooter>";
    if (!page_header_.empty()) {
      out += "<oddHeader>";
      AppendElementText(out, page_header_);
      out += "</oddHeader>";
    }
    if (!page_footer_.empty()) {
      out += "<oddFooter>";
      AppendElementText(out, page_footer_);
      out += "</oddFooter>";
    }
    out += "</headerFooter>";
  }
  out += "</worksheet>";
  zip_->EndEntry();
  in_sheet_ = false;
}

std::int64_t TTabuloXLSXWriter::BytesWritten() const {
  return zip_ != nullptr ? static_cast<std::int64_t>(zip_->EstimatedSize()) : Stream().Position();
}

void TTabuloXLSXWriter::Finish() {
  if (in_sheet_) EndSheet(0, 0);
  std::string workbook;
  workbook += "<workbook xmlns=\"";
  workbook += kMainNamespace;
  workbook += "\" xmlns:r=\"";
  workbook += kRelationshipNamespace;
  workbook += "\"><bookViews><workbookView/></bookViews><sheets>";
  std::string relationships =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (std::size_t index = 0; index < sheet_names_.size(); ++index) {
    const std::string number = std::to_string(index + 1);
    workbook += "<sheet name=\"";
    AppendAttributeText(workbook, sheet_names_[index]);
    workbook += "\" sheetId=\"" + number + "\" r:id=\"rId" + number + "\"/>";
    relationships +=
        "<Relationship Id=\"rId" + number +
        "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
        "Target=\"worksheets/sheet" +
        number + ".xml\"/>";
  }
  // The cached formula results are exact; readers recalculate them on load.
  workbook += "</sheets><calcPr fullCalcOnLoad=\"1\"/></workbook>";
  relationships += "<Relationship Id=\"rId" + std::to_string(sheet_names_.size() + 1) +
                   "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                   "Target=\"styles.xml\"/></Relationships>";
  WriteSmallPart("xl/workbook.xml", workbook);
  WriteSmallPart("xl/_rels/workbook.xml.rels", relationships);
  zip_->BeginEntry("xl/styles.xml");
  zip_->Write(styles_.Part());
  zip_->Finish();
}

}  // namespace velmora
