// Independent readers of the XML data packet: a validating parser must accept
// the file, and an XML library must give back every value of an awkward
// fixture byte for byte, CR, LF and TAB included, under names made valid.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/xml/tabulo_xml.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TTempDir;
using testsupport::WriteFile;

constexpr const char* kPython = "/usr/bin/python3";

// Prints the FIELD names, then per ROW its attributes as NAME=HEX ("NAME=" for
// an empty value), in document order.
constexpr const char* kXmlDumper = R"(import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
print(' '.join(field.get('FieldName') for field in root.iter('FIELD')))
for row in root.iter('ROW'):
    print(' '.join(name + '=' + value.encode('utf-8').hex() for name, value in row.attrib.items()))
)";

// What a reader gets back: controls XML cannot hold read as U+FFFD.
std::string AsXmlReadsIt(const std::string& text) {
  std::string result;
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte < 0x20 && character != '\t' && character != '\r' && character != '\n') {
      result += "\xEF\xBF\xBD";
    } else {
      result += character;
    }
  }
  return result;
}

class XmlInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (FindExecutable("xmllint").empty() || FindExecutable(kPython).empty()) {
      GTEST_SKIP() << "xmllint or python3 is not installed";
    }
    saved_settings_ = FormatSettings();
    SetFormatSettings(TFormatSettings::CLocale());
    texts_ = {
        "plain",
        "a<b & \"c\" > 'd'",
        "]]> <!-- x --> <?pi?> &amp; &#x41;",
        "line1\r\nline2\rline3\nline4",
        "\ttab  and  blanks  ",
        "back\\slash {braces} %percent ^caret ~tilde",
        "ctrl\x01\x1F"
        "end",
        "Zoë 日本語 한국어 😀🎉",
        std::string(70000, 'w') + "end",
        "",
    };
    data_.AddField("id", ftInteger);
    data_.AddField("ORDER NO", ftString, 40);
    data_.AddField("id", ftLargeint);
    data_.AddField("count(*)", ftFloat);
    const std::vector<std::string> big = {"18446744073709551615", "-9223372036854775808", "9007199254740993"};
    int id = 0;
    for (const std::string& text : texts_) {
      data_.AppendRecord({std::to_string(id), text, big[static_cast<std::size_t>(id) % big.size()],
                          "12345678901234567890.123456789012345678901234567890"});
      ++id;
    }
    data_.AppendRecord({std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    data_.Open();
    exporter_.DataSet = &data_;
    exporter_.FileName = directory_.File("packet.xml");
  }
  void TearDown() override { SetFormatSettings(saved_settings_); }

  std::vector<std::string> ExpectedLines() {
    std::vector<std::string> lines = {"id ORDER_NO id_2 count___"};
    const std::vector<std::string> big = {"18446744073709551615", "-9223372036854775808", "9007199254740993"};
    for (std::size_t index = 0; index < texts_.size(); ++index) {
      lines.push_back("id=" + HexBytes(std::to_string(index)) + " ORDER_NO=" +
                      HexBytes(AsXmlReadsIt(texts_[index])) + " id_2=" + HexBytes(big[index % big.size()]) +
                      " count___=" + HexBytes("12345678901234567890.123456789012345678901234567890"));
    }
    lines.push_back("id= ORDER_NO= id_2= count___=");
    return lines;
  }

  std::vector<std::string> Dump() {
    const std::string script = directory_.File("dump_xml.py");
    WriteFile(script, kXmlDumper);
    const auto result = RunCommand({kPython, script, exporter_.FileName}, 120);
    EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 2000);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = result.output.find('\n'); end != std::string::npos;
         start = end + 1, end = result.output.find('\n', start)) {
      lines.push_back(result.output.substr(start, end - start));
    }
    return lines;
  }

  void ExpectWellFormed() {
    const auto result = RunCommand({"xmllint", "--noout", exporter_.FileName}, 120);
    EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 2000);
    EXPECT_EQ(result.output, "");
  }

  TFormatSettings saved_settings_;
  TTempDir directory_{"xml-interop"};
  std::vector<std::string> texts_;
  TMemoryDataSet data_;
  TTabuloXML exporter_;
};

TEST_F(XmlInteropTest, ParserReadsEveryValueBackInUtf8) {
  exporter_.Execute();
  ExpectWellFormed();
  EXPECT_EQ(Dump(), ExpectedLines());
  const auto value = RunCommand({"xmllint", "--xpath", "string(//ROW[4]/@ORDER_NO)", exporter_.FileName});
  EXPECT_EQ(value.output, texts_[3] + "\n");  // the tool ends its output with a line break
}

TEST_F(XmlInteropTest, ParserReadsEveryValueBackFromALegacyEncoding) {
  for (const std::string encoding : {"windows-1252", "UTF-16", "UTF-16LE", "UTF-16BE"}) {
    exporter_.Options.Encoding = encoding;
    exporter_.Execute();
    ExpectWellFormed();
    EXPECT_EQ(Dump(), ExpectedLines()) << encoding;
    if (encoding == "windows-1252") {
      EXPECT_NE(ReadFile(exporter_.FileName).find("&#26085;"), std::string::npos) << "日 as a reference";
    }
  }
}

}  // namespace
}  // namespace velmora
