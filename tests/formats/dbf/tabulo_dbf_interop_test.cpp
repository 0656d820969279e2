// An independent dBASE reader reads the DBF exporter's table and memo file
// back: the header's record count, every field name and every value of the
// awkward set, 100,000-byte memos included, decoded as strict UTF-8.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/dbf/tabulo_dbf.h"
#include "platform/file_system.h"
#include "platform/locale_settings.h"
#include "support/awkward_data.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::HexBytes;
using testsupport::RunCommand;
using testsupport::TTempDir;

// Prints the header's count, the records read, the field names, then one line
// per value: "-" for none, "s" and the UTF-8 bytes in hex for text, "v" and
// the value for anything else.
constexpr const char* kReader = R"(
import sys, dbfread
table = dbfread.DBF(sys.argv[1], encoding='utf-8', char_decode_errors='strict')
records = list(table)
print(len(table))
print(len(records))
print(' '.join(table.field_names))
for record in records:
    for value in record.values():
        if value is None:
            print('-')
        elif isinstance(value, str):
            print('s' + value.encode('utf-8').hex())
        else:
            print('v' + str(value))
)";

std::string Text(const std::string& value) { return "s" + HexBytes(value); }

TEST(DbfInteropTest, ReaderGetsEveryFieldAndMemoBack) {
  if (!FileExists("/usr/bin/python3") ||
      RunCommand({"/usr/bin/python3", "-c", "import dbfread"}).exit_status != 0) {
    GTEST_SKIP() << "python3-dbfread is not installed";
  }
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.DecimalSeparator = ",";
  testsupport::TFormatSettingsScope locale(settings);

  // Every awkward text in a character field (cut to its 254 bytes) and in a
  // memo (an empty one reads as none); the bytes of invalid UTF-8 are written
  // as they are, which the strict reader refuses.
  TMemoryDataSet data;
  data.AddField("ID", ftLargeint);
  data.AddField("customer name first", ftString, 10);
  data.AddField("customer name last", ftString, 10);
  data.AddField("PRICE", ftBCD);
  data.AddField("BORN", ftDate);
  data.AddField("OK", ftBoolean);
  data.AddField("NOTES", ftMemo);
  data.AddField("AT", ftTime);
  std::vector<std::string> expected;
  int id = 0;
  for (const auto& awkward : testsupport::AwkwardTexts()) {
    if (awkward.Name == "invalid utf-8") continue;
    ++id;
    data.AppendRecord({std::to_string(id), awkward.Bytes, "Null", "-12.5", "2004-02-29", "True",
                       awkward.Bytes, "838:59:59"});
    expected.insert(expected.end(), {"v" + std::to_string(id), Text(awkward.Decoded.substr(0, 254)),
                                     Text("Null"), "v-12.5", "v2004-02-29", "vTrue",
                                     awkward.Bytes.empty() ? "-" : Text(awkward.Decoded), Text("838:59:59")});
  }
  const std::string huge_memo = testsupport::AwkwardText("huge").Bytes;
  data.AppendRecord({"18446744073709551615", std::nullopt, "", "123456789012.34567", std::nullopt, "false",
                     huge_memo, "-00:00:01"});
  expected.insert(expected.end(), {"v18446744073709551615", Text(""), Text(""), "v123456789012.35", "-",
                                   "vFalse", Text(huge_memo), Text("-00:00:01")});
  data.AppendRecord({"-9223372036854775808", std::string(300, 'w'), "x", std::nullopt, "1999-12-31", "",
                     huge_memo, std::nullopt});
  expected.insert(expected.end(), {"v-9223372036854775808", Text(std::string(254, 'w')), Text("x"), "v0.0",
                                   "v1999-12-31", "-", Text(huge_memo), Text("")});
  data.Open();

  TTempDir directory("dbf-interop");
  TTabuloDBF exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory.File("awkward.dbf");
  exporter.Execute();

  const auto result = RunCommand({"/usr/bin/python3", "-c", kReader, exporter.FileName}, 120);
  ASSERT_EQ(result.exit_status, 0) << result.output;
  const std::string count = std::to_string(id + 2) + "\n";
  std::string wanted = count + count + "ID CUSTOMER_N CUSTOMER_1 PRICE BORN OK NOTES AT\n";
  for (const std::string& line : expected) wanted += line + "\n";
  EXPECT_EQ(result.output, wanted);
}

}  // namespace
}  // namespace velmora
