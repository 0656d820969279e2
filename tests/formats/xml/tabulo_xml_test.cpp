// The XML data packet byte for byte: declaration, metadata, rows, names made
// valid and distinct, escaping of attribute values, and transcoding into the
// declared encoding.
#include "formats/xml/tabulo_xml.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/locale_settings.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::TTempDir;
using testsupport::WriteFile;

class XmlExportTest : public testsupport::TFileExportTest<TTabuloXML> {
 protected:
  XmlExportTest() : TFileExportTest("xml", "packet.xml") {}
};

TEST_F(XmlExportTest, DefaultsWithCaptionsAndNoRecords) {
  data_.AddField("ORDER NO", ftInteger);
  data_.AddField("CUSTOMER", ftString, 20);
  EXPECT_EQ(Export(),
            "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\">\r\n<METADATA>\r\n"
            "<FIELDS>\r\n"
            "<FIELD FieldName=\"ORDER_NO\" DisplayLabel=\"ORDER_NO\" FieldType=\"Integer\" "
            "FieldClass=\"TField\"/>\r\n"
            "<FIELD FieldName=\"CUSTOMER\" DisplayLabel=\"CUSTOMER\" FieldType=\"String\" "
            "FieldClass=\"TField\"/>\r\n"
            "</FIELDS>\r\n</METADATA>\r\n<ROWDATA>\r\n</ROWDATA>\r\n</DATAPACKET>\r\n");
}

TEST_F(XmlExportTest, RowsCarryEscapedValuesUnderTheMetadataNames) {
  data_.AddField("ORDER NO", ftInteger);
  data_.AddField("CUSTOMER", ftString, 20);
  data_.AppendRecord({"7", "Smith & Co"});
  data_.AppendRecord({"12345678", "a\"<b>\r\n\tc"});
  data_.AppendRecord({std::nullopt, std::nullopt});
  exporter_.AllowCaptions = false;
  exporter_.Formats.SetNullString("<null>");
  // Numbers print every digit, ungrouped; line breaks and tabs survive
  // attribute normalisation as character references.
  EXPECT_EQ(Export(),
            "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\">\r\n<ROWDATA>\r\n"
            "<ROW ORDER_NO=\"7\" CUSTOMER=\"Smith &amp; Co\"/>\r\n"
            "<ROW ORDER_NO=\"12345678\" CUSTOMER=\"a&quot;&lt;b&gt;&#13;&#10;&#9;c\"/>\r\n"
            "<ROW ORDER_NO=\"&lt;null&gt;\" CUSTOMER=\"&lt;null&gt;\"/>\r\n"
            "</ROWDATA>\r\n</DATAPACKET>\r\n");
}

TEST_F(XmlExportTest, ControlCharactersAndBrokenBytesBecomeReplacementCharacters) {
  data_.AddField("T", ftString, 20);
  data_.AppendRecord(
      {std::string("a\x01"
                   "b\xE2\x82"
                   "c\0d",
                   8)});
  exporter_.AllowCaptions = false;
  const std::string text = Export();
  EXPECT_NE(text.find("<ROW T=\"a\xEF\xBF\xBD"
                      "b\xEF\xBF\xBD"
                      "c\xEF\xBF\xBD"
                      "d\"/>"),
            std::string::npos)
      << text;
}

TEST_F(XmlExportTest, DeclaredEncodingTranscodesAndReferencesWhatItLacks) {
  data_.AddField("NAME", ftString, 20);
  data_.AppendRecord({"Пётр €"});
  data_.AppendRecord({"東"});
  exporter_.Options.Encoding = "windows-1251";
  exporter_.Options.StandAlone = false;
  exporter_.AllowCaptions = false;
  EXPECT_EQ(
      Export(),
      "<?xml version=\"1.0\" encoding=\"windows-1251\" standalone=\"no\"?>\r\n"
      "<DATAPACKET Version=\"2.0\">\r\n<ROWDATA>\r\n"
      "<ROW NAME=\"\xCF\xB8\xF2\xF0 \x88\"/>\r\n<ROW NAME=\"&#26481;\"/>\r\n</ROWDATA>\r\n</DATAPACKET>\r\n");
}

TEST_F(XmlExportTest, UnknownOrMalformedEncodingIsRefusedBeforeAnyByte) {
  data_.AddField("NAME", ftString, 20);
  data_.AppendRecord({"x"});
  WriteFile(exporter_.FileName, "earlier");
  for (const std::string encoding : {"no-such-encoding", "UTF-8//TRANSLIT", "utf-8\" x=\"1"}) {
    exporter_.Options.Encoding = encoding;
    data_.Close();
    EXPECT_VELMORA_ERROR(Export(), "Unknown character encoding \"" + encoding + "\"");
    EXPECT_EQ(ReadFile(exporter_.FileName), "earlier");
  }
}

// UTF-7, UTF-32 and EBCDIC were written although no reader can find the
// declaration in them; the UTF-16 forms stay, with the mark iconv writes.
TEST_F(XmlExportTest, EncodingWhoseAsciiIsNotSingleBytesIsRefusedBeforeAnyByte) {
  data_.AddField("NAME", ftString, 20);
  data_.AppendRecord({"x"});
  for (const std::string encoding : {"UTF-7", "UTF-32", "UTF-32LE", "UCS-4", "IBM037", "EBCDIC-US"}) {
    WriteFile(exporter_.FileName, "earlier");
    exporter_.Options.Encoding = encoding;
    data_.Close();
    EXPECT_VELMORA_ERROR(Export(),
                         "Character encoding \"" + encoding +
                             "\" cannot be used for XML: its ASCII characters are not single bytes");
    EXPECT_EQ(ReadFile(exporter_.FileName), "earlier");
  }
  const struct {
    std::string encoding, start;
  } allowed[] = {
      {"UTF-16", std::string("\xFF\xFE<\0?\0", 6)},
      {"UTF-16LE", std::string("<\0?\0", 4)},
      {"UTF-16BE", std::string("\0<\0?", 4)},
      {"ISO-8859-15", "<?"},
  };
  for (const auto& [encoding, start] : allowed) {
    exporter_.Options.Encoding = encoding;
    data_.Close();
    EXPECT_EQ(Export().substr(0, start.size()), start) << encoding;
  }
}

TEST(XmlNameTest, InvalidNamesAreMappedAndValidOnesKept) {
  struct TCase {
    std::string name, expected;
  } const cases[] = {
      {"ORDER_NO", "ORDER_NO"},
      {"ORDER NO", "ORDER_NO"},
      {"count(*)", "count___"},
      {"7up", "_7up"},
      {"-x", "_-x"},
      {"", "_"},
      {"a:b", "a_b"},
      {"xmlns", "_xmlns"},
      {"XMLData", "_XMLData"},
      {"名前", "名前"},
      {"é.1-2", "é.1-2"},
      {"a\xFF"
       "b",
       "a_b"},
  };
  for (const TCase& test : cases) EXPECT_EQ(XmlName(test.name), test.expected) << test.name;
}

TEST(XmlNameTest, DuplicatesAreNumberedWithoutTakingAnotherColumnsName) {
  EXPECT_EQ(UniqueXmlNames({"id", "name", "id", "id_2", "ID", "a b", "a_b"}),
            (std::vector<std::string>{"id", "name", "id_3", "id_2", "ID", "a_b", "a_b_2"}));
}

}  // namespace
}  // namespace velmora
