// The JSON exporter byte for byte: the three layouts, the typed values and the
// keys.
#include "formats/json/tabulo_json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/ini_file.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using namespace std::string_literals;
using testsupport::ReadFile;
using testsupport::TTempDir;

class JsonExportTest : public testsupport::TFileExportTest<TTabuloJSON> {
 protected:
  JsonExportTest() : TFileExportTest("json", "out.json") {}

  using TFileExportTest::Export;
  std::string Export(const std::string& name) {
    exporter_.FileName = directory_.File(name);
    return Export();
  }
};

TEST_F(JsonExportTest, LayoutsOfArrayPrettyArrayAndLines) {
  struct TCase {
    const char* FileName;
    bool Pretty;
    int Records;
    std::string Expected;
  };
  const TCase cases[] = {
      {"a.json", false, 2, "[\n{\"ID\":1,\"NAME\":\"Ann\"},\n{\"ID\":2,\"NAME\":null}\n]\n"},
      {"a.json", false, 0, "[]\n"},
      {"p.json", true, 2,
       "[\n  {\n    \"ID\": 1,\n    \"NAME\": \"Ann\"\n  },\n  {\n    \"ID\": 2,\n    \"NAME\": null\n  }\n]\n"},
      {"p.json", true, 0, "[]\n"},
      // One object per line whatever Pretty says; the ending in any letter case.
      {"l.JSONL", true, 2, "{\"ID\":1,\"NAME\":\"Ann\"}\n{\"ID\":2,\"NAME\":null}\n"},
      {"l.jsonl", false, 0, ""},
  };
  for (const TCase& test : cases) {
    TMemoryDataSet data;
    data.AddField("ID", ftInteger, 3);
    data.AddField("NAME", ftString, 5);
    if (test.Records > 0) data.AppendRecord({"1", "Ann"});
    if (test.Records > 1) data.AppendRecord({"2", std::nullopt});
    data.Open();
    TTabuloJSON exporter;
    exporter.DataSet = &data;
    // Through the template, as an item sets it; absent keeps the default.
    exporter.ReadFormatSections(TIniFile::FromText(test.Pretty ? "[JSON]\nPretty=1\n" : "[JSON]\n"), data);
    exporter.FileName = directory_.File(test.FileName);
    exporter.Execute();
    EXPECT_EQ(ReadFile(exporter.FileName), test.Expected) << test.FileName << " " << test.Records;
  }
}

TEST_F(JsonExportTest, ValuesKeepTheirTypesAndExactDigits) {
  data_.AddField("i", ftLargeint);
  data_.AddField("d", ftFloat);
  data_.AddField("b", ftBoolean);
  data_.AddField("dt", ftDateTime);
  data_.AddField("t", ftTime);
  data_.AddField("bin", ftBlob).ValueKind = vkBinary;
  data_.AddField("s", ftString);
  data_.AppendRecord({"18446744073709551615", "12345678901234567890.123456789000", "True", "2004-12-31 23:59:58.5",
                      "838:59:59", "\0\xFF "s, "0"});
  // ZEROFILL digits and a plus lose nothing but the zeros; another spelling of
  // a number becomes its shortest form; no number at all stays text.
  data_.AppendRecord({"007", "+1.50", "False", "2004-01-02 03:04:05", "00:00:01", "", "1.5"});
  data_.AppendRecord({"-00", ".5", "y", "2004-01-02", "-01:00:00", "abc", ""});
  data_.AppendRecord({"x1", "inf", "0", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  data_.Open();
  // A binary large object is exported when the field list names it.
  for (const char* name : {"i", "d", "b", "dt", "t", "bin", "s"}) exporter_.ExportedFields.Add(name);
  exporter_.JSONLines = true;
  EXPECT_EQ(Export(),
            "{\"i\":18446744073709551615,\"d\":12345678901234567890.123456789000,\"b\":true,"
            "\"dt\":\"2004-12-31T23:59:58.5\",\"t\":\"838:59:59\",\"bin\":\"AP8g\",\"s\":\"0\"}\n"
            "{\"i\":7,\"d\":1.50,\"b\":false,\"dt\":\"2004-01-02T03:04:05\",\"t\":\"00:00:01\",\"bin\":\"\","
            "\"s\":\"1.5\"}\n"
            "{\"i\":-0,\"d\":0.5,\"b\":true,\"dt\":\"2004-01-02\",\"t\":\"-01:00:00\",\"bin\":\"YWJj\",\"s\":\"\"}\n"
            "{\"i\":\"x1\",\"d\":\"inf\",\"b\":false,\"dt\":null,\"t\":null,\"bin\":null,\"s\":null}\n");
}

TEST_F(JsonExportTest, DateFormatPatternReplacesIso) {
  data_.AddField("day", ftDate);
  data_.AddField("at", ftDateTime);
  data_.AppendRecord({"2004-12-31", "2004-01-02 03:04:05"});
  data_.Open();
  exporter_.JSONLines = true;
  exporter_.ReadFormatSections(TIniFile::FromText("[JSON]\nDateFormat=dd.mm.yyyy\n"), data_);
  EXPECT_EQ(Export(), "{\"day\":\"31.12.2004\",\"at\":\"02.01.2004\"}\n");
  exporter_.JSONDateFormat = "iso";
  EXPECT_EQ(Export(), "{\"day\":\"2004-12-31\",\"at\":\"2004-01-02T03:04:05\"}\n");
}

TEST_F(JsonExportTest, RepeatedCaptionsBecomeDistinctKeys) {
  data_.AddField("id", ftInteger);
  data_.AddField("id_2", ftInteger);
  data_.AddField("x", ftInteger);
  data_.AppendRecord({"1", "2", "3"});
  data_.Open();
  exporter_.Captions.Add("x=id");
  exporter_.JSONLines = true;
  // "id_2" is taken by a field of that name, so the third column goes on to "id_3".
  EXPECT_EQ(Export(), "{\"id\":1,\"id_2\":2,\"id_3\":3}\n");
}

TEST_F(JsonExportTest, InvalidUtf8InKeysAndTextsIsReplacedAndCounted) {
  data_.AddField("n\xFFme", ftString);
  data_.AddField("memo", ftMemo);
  data_.AppendRecord({"a\xC3(", "\"\\\n\x01"});
  data_.Open();
  exporter_.JSONLines = true;
  EXPECT_EQ(Export(), "{\"n\xEF\xBF\xBDme\":\"a\xEF\xBF\xBD(\",\"memo\":\"\\\"\\\\\\n\\u0001\"}\n");
  EXPECT_EQ(exporter_.ReplacedCharacters(), 2u);
}

}  // namespace
}  // namespace velmora
