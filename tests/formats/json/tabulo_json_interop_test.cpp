// JSON and JSON Lines read back by Python's json module: every key and every
// value of the awkward set must come back with its type and exact value
// (numbers compared as their literal text, never through a double).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/json/tabulo_json.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using namespace std::string_literals;
using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::RunCommand;

constexpr const char* kPython = "/usr/bin/python3";

// Prints each record as "key=value" pairs, keys in hex, values as their type
// and text: numbers as the parser's own literal text (so digits are compared
// exactly, never through a double), strings in hex, the bytes column decoded from base64. The file must be strict UTF-8 and each JSON Lines line one object.
constexpr const char* kJsonDumper = R"(import base64, json, sys
class Number(str):
    pass
def form(key, value):
    if value is None: return 'null'
    if key == 'bytes': return 'b64:' + base64.b64decode(value, validate=True).hex()
    if isinstance(value, bool): return 'bool:' + str(value).lower()
    if isinstance(value, Number): return 'num:' + value
    if isinstance(value, str): return 'str:' + value.encode('utf-8').hex()
    return 'other:' + repr(value)
def parse(text):
    return json.loads(text, parse_float=Number, parse_int=Number)
path, lines = sys.argv[1], sys.argv[2] == 'lines'
text = open(path, 'rb').read().decode('utf-8', 'strict')
if lines:
    assert text == '' or text.endswith('\n')
    records = [parse(line) for line in text.split('\n')[:-1]]
else:
    records = parse(text)
for record in records:
    assert isinstance(record, dict)
    print(' '.join(key.encode('utf-8').hex() + '=' + form(key, value) for key, value in record.items()))
)";

std::string Str(const std::string& text) { return "str:" + HexBytes(text); }

class JsonInteropTest : public testsupport::TFileExportTest<TTabuloJSON> {
 protected:
  JsonInteropTest() : TFileExportTest("json-interop", "out.json") {}
  void SetUp() override {
    if (FindExecutable(kPython).empty()) GTEST_SKIP() << kPython << " is not installed";
  }

  // Every field, the binary ones included.
  void ExportEveryField() {
    for (int index = 0; index < data_.FieldCount(); ++index) {
      exporter_.ExportedFields.Add(data_.Field(index).FieldName);
    }
  }

  // The dumper's form of the data set: each value typed by its field's kind.
  std::string Expected() {
    std::string dump;
    std::string text;
    for (data_.First(); !data_.Eof(); data_.Next()) {
      for (int index = 0; index < data_.FieldCount(); ++index) {
        const TField& field = data_.Field(index);
        field.GetText(text);
        std::string value = "null";
        if (field.IsNull()) {
        } else if (field.ValueKind == vkBinary) {
          value = "b64:" + HexBytes(text);
        } else if (field.DataType == ftString) {
          value = Str(testsupport::Decoded(text));
        } else if (field.DataType == ftBoolean) {
          value = text == "True" ? "bool:true" : "bool:false";
        } else if (field.DataType == ftDate || field.DataType == ftDateTime) {
          TCellValue cell;
          field.GetValue(cell);
          if (text.size() > 10 && cell.Kind != ckInvalidMoment) text[10] = 'T';
          value = Str(text);
        } else {
          value = "num:" + text;
        }
        dump += (index > 0 ? " " : "") + HexBytes(field.FieldName) + "=" + value;
      }
      dump += '\n';
    }
    data_.First();
    return dump;
  }

  std::string Dump(const std::string& file, const char* layout) {
    const auto result = RunCommand({kPython, "-c", kJsonDumper, file, layout});
    EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 2000);
    return result.output;
  }
};

// Every layout gives back every value of the awkward set, under a key that
// needs escaping, with no character replaced: JSON carries all of it but the
// invalid UTF-8, whose bytes become U+FFFD.
TEST_F(JsonInteropTest, PythonReadsEveryValueOfTheArrayAndOfTheLines) {
  testsupport::FillAwkwardData(data_);
  TField& text = data_.Field(testsupport::afText);
  text.FieldName = text.DisplayLabel = "text \"quoted\" \xE6\x97\xA5\xE6\x9C\xAC";
  ExportEveryField();
  struct TCase {
    const char* FileName;
    bool Pretty;
    const char* Layout;
  };
  for (const TCase& test : {TCase{"compact.json", false, "array"}, TCase{"pretty.json", true, "array"},
                            TCase{"lines.jsonl", false, "lines"}}) {
    exporter_.JSONPretty = test.Pretty;
    exporter_.FileName = directory_.File(test.FileName);
    exporter_.Execute();
    EXPECT_EQ(Dump(exporter_.FileName, test.Layout), Expected()) << test.FileName;
    EXPECT_EQ(exporter_.ReplacedCharacters(), 3u);
  }
}

// A binary column holds bytes, not text: each awkward text behind bytes that
// are no UTF-8 comes back whole from base64.
TEST_F(JsonInteropTest, PythonDecodesEveryBinaryValue) {
  data_.AddField("bytes", ftBlob).ValueKind = vkBinary;
  for (const auto& text : testsupport::AwkwardTexts()) data_.AppendRecord({"\0\xFF\xFE" + text.Bytes});
  data_.AppendRecord({std::nullopt});
  ExportEveryField();
  Export();
  EXPECT_EQ(Dump(exporter_.FileName, "array"), Expected());
  EXPECT_EQ(exporter_.ReplacedCharacters(), 0u);
}

}  // namespace
}  // namespace velmora
