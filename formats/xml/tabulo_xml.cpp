#include "formats/xml/tabulo_xml.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/error.h"
#include "platform/text_escape.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// A character that may start an XML name; ":" is left out, as it would
// name a namespace prefix.
bool IsNameStart(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameCharacter(char32_t c) {
  return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The characters of an encoding name in an XML declaration.
bool IsPlainEncodingName(std::string_view name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [](char character) {
    return std::isalnum(static_cast<unsigned char>(character)) || character == '.' || character == '_' ||
           character == '-';
  });
}

// True when the encoder writes each ASCII character as one UTF-16 unit, in
// either byte order.
bool WritesAsciiAsUtf16(TTextEncoder& encoder) {
  std::string ascii;
  for (int code = 1; code < 0x80; ++code) ascii += static_cast<char>(code);
  const std::string encoded = encoder.Encode(ascii);
  if (encoded.size() != 2 * ascii.size()) return false;
  std::string little_endian;
  std::string big_endian;
  for (const char character : ascii) {
    little_endian.append({character, '\0'});
    big_endian.append({'\0', character});
  }
  return encoded == little_endian || encoded == big_endian;
}

}  // namespace

std::string XmlName(std::string_view name) {
  std::string result;
  bool first = true;
  for (std::size_t position = 0; position < name.size();) {
    const TUtf8Sequence sequence = DecodeUtf8(name, position);
    if (sequence.Valid && IsNameCharacter(sequence.CodePoint)) {
      if (first && !IsNameStart(sequence.CodePoint)) result += '_';
      result.append(name, position, static_cast<std::size_t>(sequence.Length));
    } else {
      result += '_';
    }
    first = false;
    position += static_cast<std::size_t>(sequence.Length);
  }
  if (result.empty()) return "_";
  if (result.size() >= 3 && SameText(result.substr(0, 3), "xml")) result.insert(0, 1, '_');
  return result;
}

std::vector<std::string> UniqueXmlNames(const std::vector<std::string>& names) {
  std::vector<std::string> result;
  result.reserve(names.size());
  for (const std::string& name : names) result.push_back(XmlName(name));
  return UniqueNames(std::move(result), false);
}

// ---------------------------------------------------------------------------
// Writer

void TTabuloXMLWriter::Put(std::string_view text) {
  if (encoder_ == nullptr || (utf8_ && IsValidUtf8(text))) {
    Write(text);
    return;
  }
  encoded_.clear();
  encoder_->Append(encoded_, text);
  Write(encoded_);
}

void TTabuloXMLWriter::PutLine(std::string_view text) {
  buffer_.assign(text);
  buffer_ += "\r\n";
  Put(buffer_);
}

void TTabuloXMLWriter::BuildOpenTag(std::string_view name, std::string_view attributes) {
  tag_.assign("<");
  tag_ += name;
  if (!attributes.empty()) {
    tag_ += ' ';
    tag_ += attributes;
  }
  tag_ += '>';
}

void TTabuloXMLWriter::BuildEmptyTag(std::string_view name, std::string_view attributes) {
  tag_.assign("<");
  tag_ += name;
  tag_ += ' ';
  tag_ += attributes;
  tag_ += "/>";
}

void TTabuloXMLWriter::BuildCloseTag(std::string_view name) {
  tag_.assign("</");
  tag_ += name;
  tag_ += '>';
}

void TTabuloXMLWriter::PutTag(bool line) {
  if (line) tag_ += "\r\n";
  Put(tag_);
}

void TTabuloXMLWriter::OpenTag(std::string_view name, std::string_view attributes) {
  BuildOpenTag(name, attributes);
  PutTag(false);
}

void TTabuloXMLWriter::OpenTagLine(std::string_view name, std::string_view attributes) {
  BuildOpenTag(name, attributes);
  PutTag(true);
}

void TTabuloXMLWriter::EmptyTag(std::string_view name, std::string_view attributes) {
  BuildEmptyTag(name, attributes);
  PutTag(false);
}

void TTabuloXMLWriter::EmptyTagLine(std::string_view name, std::string_view attributes) {
  BuildEmptyTag(name, attributes);
  PutTag(true);
}

void TTabuloXMLWriter::CloseTag(std::string_view name) {
  BuildCloseTag(name);
  PutTag(false);
}

void TTabuloXMLWriter::CloseTagLine(std::string_view name) {
  BuildCloseTag(name);
  PutTag(true);
}

// ---------------------------------------------------------------------------
// Exporter

TTextEncoder TTabuloXML::CreateEncoder(const std::string& encoding) {
  if (encoding.empty()) return TTextEncoder("UTF-8", upCharacterReference);
  if (!IsPlainEncodingName(encoding)) {
    throw EVelmoraError(Format("Unknown character encoding \"%s\"", encoding.c_str()));
  }
  // Characters the encoding lacks become character references, which every
  // reader resolves back into the characters.
  TTextEncoder encoder(encoding, upCharacterReference);
  // A reader finds the encoding by reading the declaration, in ASCII or in
  // UTF-16 (told apart by the byte order mark or the zero bytes of "<?").
  // Every other form of ASCII (UTF-7, UTF-32, EBCDIC) gives a file no reader opens.
  if (!encoder.AsciiCompatible() && !WritesAsciiAsUtf16(encoder)) {
    throw EVelmoraError(
        Format("Character encoding \"%s\" cannot be used for XML: its ASCII characters are "
               "not single bytes",
               encoding.c_str()));
  }
  return encoder;
}

TTabuloWriterClass TTabuloXML::GetWriterClass() const {
  return &CreateWriterOf<TTabuloXMLWriter>;
}

TTabuloXMLWriter& TTabuloXML::XMLWriter() const {
  return static_cast<TTabuloXMLWriter&>(Writer());
}

void TTabuloXML::BeginExport() {
  // Decided before the first byte: a bad encoding leaves no file behind.
  encoder_.emplace(CreateEncoder(Options.Encoding));
  TTabuloFormatText::BeginExport();
  std::vector<std::string> field_names;
  for (const auto& column : Columns()) field_names.push_back(column->Name);
  names_ = UniqueXmlNames(field_names);

  TTabuloXMLWriter& writer = XMLWriter();
  writer.Write(encoder_->ByteOrderMark());
  writer.SetEncoder(&*encoder_, Options.Encoding.empty());
  std::string encoding_part;
  if (!Options.Encoding.empty()) encoding_part = "encoding=\"" + Options.Encoding + "\" ";
  writer.PutLine("<?xml version=\"" + Escaped(Options.Version) + "\" " + encoding_part + "standalone=\"" +
                 (Options.StandAlone ? "yes" : "no") + "\"?>");
  writer.OpenTagLine("DATAPACKET", "Version=\"2.0\"");
}

void TTabuloXML::WriteCaptionRow() {
  TTabuloXMLWriter& writer = XMLWriter();
  writer.OpenTagLine("METADATA", "");
  writer.OpenTagLine("FIELDS", "");
  std::string attributes;
  for (int index = 0; index < Columns().Count(); ++index) {
    const std::string& name = names_[static_cast<std::size_t>(index)];
    attributes.assign("FieldName=\"");
    AppendXmlAttribute(attributes, name);
    attributes += "\" DisplayLabel=\"";
    AppendXmlAttribute(attributes, name);
    attributes += "\" FieldType=\"";
    attributes += ColumnTypeName(Columns()[index].ColumnType);
    attributes += "\" FieldClass=\"TField\"";
    writer.EmptyTagLine("FIELD", attributes);
  }
  writer.CloseTagLine("FIELDS");
  writer.CloseTagLine("METADATA");
}

void TTabuloXML::BeforeExport() {
  XMLWriter().OpenTagLine("ROWDATA", "");
}

void TTabuloXML::AfterExport() {
  XMLWriter().CloseTagLine("ROWDATA");
  XMLWriter().CloseTagLine("DATAPACKET");
}

void TTabuloXML::GetDataRow(bool formatted, std::string& row) {
  row.clear();
  for (TTabuloCol& cell : ExportRow()) {
    CellExportText(cell, formatted, cell_text_);
    if (!row.empty()) row += ' ';
    row += names_[static_cast<std::size_t>(cell.ColumnIndex)];
    row += "=\"";
    row += cell_text_;
    row += '"';
  }
}

void TTabuloXML::WriteDataRow() {
  GetDataRow(true, row_);
  XMLWriter().EmptyTagLine("ROW", row_);
}

void TTabuloXML::EscapeText(std::string& text) const {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  AppendXmlAttribute(escaped, text);
  text.swap(escaped);
}

}  // namespace velmora
