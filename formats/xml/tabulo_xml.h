#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"
#include "platform/text_encoder.h"

namespace velmora {

struct TXMLOptions {
  std::string Version = "1.0";
  // The declared encoding; the file is transcoded into it. Empty: UTF-8,
  // undeclared.
  std::string Encoding;
  bool StandAlone = true;

  // The XML section over current: an absent key keeps its value. Raises
  // EVelmoraError for an encoding the file cannot be written in. Defined in
  // tabulo_xml_sections.cpp.
  static TXMLOptions Read(const TIniFile& template_file, const TXMLOptions& current);
};

// A valid XML name for a column name: every character a name may not hold
// (blanks and ":" included) becomes "_", and "_" goes first when the name may
// not start as it does (a digit, "-", ".", or "xml" in any letter case, which
// is reserved). Valid names stay as they are; an empty name gives "_".
std::string XmlName(std::string_view name);
// XmlName of every name, the later of equal results numbered "_2", "_3" ...
// so that every result is distinct.
std::vector<std::string> UniqueXmlNames(const std::vector<std::string>& names);

// Writes the text of the export through the exporter's encoder, so that every
// byte of the file, markup included, is in the declared encoding.
class TTabuloXMLWriter : public TTabuloWriter {
 public:
  using TTabuloWriter::TTabuloWriter;

  // utf8: the encoder writes UTF-8, so valid text passes unconverted.
  void SetEncoder(TTextEncoder* encoder, bool utf8) {
    encoder_ = encoder;
    utf8_ = utf8;
  }

  // Writes text (UTF-8) converted into the file's encoding.
  void Put(std::string_view text);
  void PutLine(std::string_view text);

  // "<NAME>" or "<NAME ATTRIBUTES>"; the ...Line forms add CR LF.
  void OpenTag(std::string_view name, std::string_view attributes);
  void OpenTagLine(std::string_view name, std::string_view attributes);
  // "<NAME ATTRIBUTES/>" (the blank even for empty attributes).
  void EmptyTag(std::string_view name, std::string_view attributes);
  void EmptyTagLine(std::string_view name, std::string_view attributes);
  // "</NAME>".
  void CloseTag(std::string_view name);
  void CloseTagLine(std::string_view name);

 private:
  // The tag into tag_.
  void BuildOpenTag(std::string_view name, std::string_view attributes);
  void BuildEmptyTag(std::string_view name, std::string_view attributes);
  void BuildCloseTag(std::string_view name);
  // Writes tag_, with CR LF when line is set.
  void PutTag(bool line);

  TTextEncoder* encoder_ = nullptr;
  bool utf8_ = false;
  std::string tag_;
  std::string buffer_;
  std::string encoded_;
};

// Writes the records as an XML data packet: the declaration, a DATAPACKET root
// with the column list as METADATA (when captions are on) and one empty ROW
// element per record whose attributes carry the values. Names are valid and
// distinct XML names, values are escaped so that a reader gets every byte
// back (line breaks and tabs as character references); characters XML 1.0
// cannot hold and bytes that are not UTF-8 become U+FFFD.
class TTabuloXML : public TTabuloFormatText {
 public:
  bool SeeksBack() const override { return false; }

  TXMLOptions Options;

  bool MachineReadDefaults() const override { return true; }

  // XML. Defined in tabulo_xml_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  // Raises EVelmoraError "Unknown character encoding "NAME"" for an encoding
  // that iconv does not know or that is no plain encoding name.
  static TTextEncoder CreateEncoder(const std::string& encoding);

  TTabuloWriterClass GetWriterClass() const override;
  void BeginExport() override;
  void BeforeExport() override;
  void AfterExport() override;
  void WriteCaptionRow() override;
  void GetDataRow(bool formatted, std::string& row) override;
  void WriteDataRow() override;
  void EscapeText(std::string& text) const override;

 private:
  TTabuloXMLWriter& XMLWriter() const;

  std::optional<TTextEncoder> encoder_;
  std::vector<std::string> names_;  // the attribute name of every column
  std::string row_;
  std::string cell_text_;
};

// The registry row of the format.
extern const TExportFormat kXMLFormat;

}  // namespace velmora
