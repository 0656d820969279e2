// JSON and JSON Lines read back by Python's json module: every key and every
// value of an awkward fixture must come back with its type and exact value
// (numbers compared as their literal text, never through a double).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/json/tabulo_json.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using namespace std::string_literals;
using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::RunCommand;
using testsupport::TTempDir;

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

class JsonInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (FindExecutable(kPython).empty()) GTEST_SKIP() << kPython << " is not installed";
    saved_settings_ = FormatSettings();
    SetFormatSettings(TFormatSettings::CLocale());
    const std::string huge = std::string(100000, 'w') + "日本";
    const std::vector<std::string> texts = {
        "plain", "with,comma;semi", "say \"hi\" 'there'", "line1\r\nline2\rline3\nend", "tab\tinside",
        "back\\slash {brace} [bracket] <b>&amp;</b>", "Zoë Ågren 日本 서울 😀", "=SUM(A1)", "\x01\x1F\x7F", "",
        "  padded  ", "\xE2\x80\xA8 separator", huge,
    };
    const std::vector<std::string> numbers = {"-9223372036854775808", "18446744073709551615", "9007199254740993",
                                              "0", "-1"};
    const std::vector<std::string> decimals = {"12345678901234567890123456789012345.123456789012345678901234567890",
                                               "-12345678.90", "0.000000000000000000000000000001", "0.00"};
    const std::vector<std::string> doubles = {"1234567890.1234567", "-0.125", "2.2250738585072014e-308",
                                              "1.7976931348623157e308"};
    data_.AddField("id", ftInteger);
    data_.AddField("text \"quoted\" 日本", ftMemo);
    data_.AddField("big", ftLargeint);
    data_.AddField("exact", ftFloat);
    data_.AddField("double", ftFloat);
    data_.AddField("flag", ftBoolean);
    data_.AddField("at", ftDateTime);
    data_.AddField("bytes", ftBlob).ValueKind = vkBinary;
    for (std::size_t index = 0; index < texts.size(); ++index) {
      data_.AppendRecord({std::to_string(index + 1), texts[index], numbers[index % numbers.size()],
                          decimals[index % decimals.size()], doubles[index % doubles.size()],
                          index % 2 ? "True" : "False", "2024-02-29 23:59:59.25", "\0\xFF\xFE" + texts[index]});
    }
    data_.AppendRecord({"99", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                        std::nullopt});
    data_.Open();
    for (int index = 0; index < data_.FieldCount(); ++index) {
      exporter_.ExportedFields.Add(data_.Field(index).FieldName);
    }
    exporter_.DataSet = &data_;
  }
  void TearDown() override {
    if (!IsSkipped()) SetFormatSettings(saved_settings_);
  }

  // The dumper's form of the fixture.
  std::string Expected() {
    const std::string keys[] = {HexBytes("id"),    HexBytes("text \"quoted\" 日本"), HexBytes("big"),
                                HexBytes("exact"), HexBytes("double"),             HexBytes("flag"),
                                HexBytes("at"),    HexBytes("bytes")};
    std::string dump;
    std::string text;
    for (data_.First(); !data_.Eof(); data_.Next()) {
      std::vector<std::string> values;
      auto value = [&](int index) -> std::string {
        TField& field = data_.Field(index);
        if (field.IsNull()) return "null";
        field.GetText(text);
        return text;
      };
      const bool nulls = data_.Field(1).IsNull();
      values.push_back("num:" + value(0));
      values.push_back(nulls ? "null" : Str(value(1)));
      values.push_back(nulls ? "null" : "num:" + value(2));
      values.push_back(nulls ? "null" : "num:" + value(3));
      values.push_back(nulls ? "null" : "num:" + value(4));
      values.push_back(nulls ? "null" : value(5) == "True" ? "bool:true" : "bool:false");
      values.push_back(nulls ? "null" : Str("2024-02-29T23:59:59.25"));
      values.push_back(nulls ? "null" : "b64:" + HexBytes(value(7)));
      for (std::size_t index = 0; index < values.size(); ++index) {
        dump += (index > 0 ? " " : "") + keys[index] + "=" + values[index];
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
  TFormatSettings saved_settings_;
  TTempDir directory_{"json-interop"};
  TMemoryDataSet data_;
  TTabuloJSON exporter_;
};

TEST_F(JsonInteropTest, PythonReadsEveryValueOfTheArrayAndOfTheLines) {
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
    EXPECT_EQ(exporter_.ReplacedCharacters(), 0u);
  }
}

}  // namespace
}  // namespace velmora
