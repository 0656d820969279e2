// Independent readers of the XML data packet: a validating parser must accept
// the file, and an XML library must give back every value of the awkward
// set byte for byte, CR, LF and TAB included, under names made valid.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "formats/xml/tabulo_xml.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::ReadFile;
using testsupport::RunCommand;
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

class XmlInteropTest : public testsupport::TFileExportTest<TTabuloXML> {
 protected:
  XmlInteropTest() : TFileExportTest("xml-interop", "packet.xml") {}
  void SetUp() override {
    if (FindExecutable("xmllint").empty() || FindExecutable(kPython).empty()) {
      GTEST_SKIP() << "xmllint or python3 is not installed";
    }
    Awkward();
    // Names that are no XML names, one twice.
    for (const auto& [field, name] :
         {std::pair{testsupport::afText, "ORDER NO"}, std::pair{testsupport::afBig, "ID"},
          std::pair{testsupport::afExact, "count(*)"}}) {
      data_.Field(field).FieldName = name;
      data_.Field(field).DisplayLabel = name;
    }
  }

  std::vector<std::string> ExpectedLines() {
    const testsupport::TTextTable table = testsupport::TextTable(
        data_, [](const std::string& text) { return AsXmlReadsIt(testsupport::Decoded(text)); });
    const std::vector<std::string> names = {"ID",     "ORDER_NO", "ID_2",   "count___",
                                            "DOUBLE", "DAY",      "MOMENT", "FLAG"};
    std::vector<std::string> lines;
    for (std::size_t row = 0; row < table.size(); ++row) {
      std::string line;
      for (std::size_t column = 0; column < names.size(); ++column) {
        line += column > 0 ? " " : "";
        line += row == 0 ? names[column] : names[column] + "=" + HexBytes(table[row][column]);
      }
      lines.push_back(line);
    }
    return lines;
  }

  std::vector<std::string> Dump() {
    const std::string script = directory_.File("dump_xml.py");
    WriteFile(script, kXmlDumper);
    const auto result = RunCommand({kPython, script, exporter_.FileName}, 120);
    EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 2000);
    return testsupport::SplitLines(result.output);
  }

  void ExpectWellFormed() {
    const auto result = RunCommand({"xmllint", "--noout", exporter_.FileName}, 120);
    EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 2000);
    EXPECT_EQ(result.output, "");
  }
};

TEST_F(XmlInteropTest, ParserReadsEveryValueBackInUtf8) {
  exporter_.Execute();
  ExpectWellFormed();
  EXPECT_EQ(Dump(), ExpectedLines());
  const auto value = RunCommand({"xmllint", "--xpath", "string(//ROW[6]/@ORDER_NO)", exporter_.FileName});
  EXPECT_EQ(value.output,
            testsupport::AwkwardText("crlf").Bytes + "\n");  // the tool ends its output with a line break
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
