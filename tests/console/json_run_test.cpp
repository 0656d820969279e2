// End-to-end runs of JSON and JSON Lines against the real server through the
// example template, read back by Python's json module: every value of a table
// of awkward server values keeps its type and its exact text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;

// One line per record: "key=type:value", numbers as their literal text, texts
// as Python's repr.
constexpr const char* kDumper = R"(import json, sys
class Number(str):
    pass
def form(value):
    if value is None: return 'null'
    if isinstance(value, bool): return str(value).lower()
    if isinstance(value, Number): return 'n:' + value
    return repr(value)
text = open(sys.argv[1], 'rb').read().decode('utf-8', 'strict')
if sys.argv[1].endswith('.jsonl'):
    records = [json.loads(line, parse_float=Number, parse_int=Number) for line in text.split('\n')[:-1]]
else:
    records = json.loads(text, parse_float=Number, parse_int=Number)
for record in records:
    print(' '.join(key + '=' + form(value) for key, value in record.items()))
)";

constexpr const char* kCustomersSql = R"sql(
SET SESSION sql_mode = 'ALLOW_INVALID_DATES,NO_ENGINE_SUBSTITUTION';
DROP TABLE IF EXISTS customers;
CREATE TABLE customers (
  id INT, name VARCHAR(40), credit_limit DECIMAL(65,30), is_active TINYINT(1), joined_on DATE,
  last_visit DATETIME(6), notes TEXT, big BIGINT UNSIGNED, ratio DOUBLE, bits BIT(8), y YEAR, t TIME,
  raw VARBINARY(8), doc JSON);
INSERT INTO customers VALUES
  (1, 'say "hi" \\ {x}', 12345678901234567890123456789012345.123456789012345678901234567890, 1, '2004-12-31',
   '2004-12-31 23:59:58.123456', 'line1\nline2\r\n北京 😀', 18446744073709551615, 0.1, b'101', 2006, '838:59:59',
   x'00ff20', '{"k": [1, 2.5]}'),
  (2, '', -0.5, 0, '0000-00-00', '2024-00-00 10:00:00', '', 9007199254740993, 1e300, b'0', 1901, '-00:00:01',
   'ab', 'null'),
  (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
)sql";

class JsonRunTest : public consoletest::ConsoleServerTest {
 protected:
  void SetUp() override {
    ConsoleServerTest::SetUp();
    if (IsSkipped()) return;
    testsupport::RunSql(*server_, kCustomersSql, "velmora_console");
    const char* source = std::getenv("VELMORA_SOURCE_DIR");
    if (source == nullptr) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
    Write("customers.ini", testsupport::ReadFile(std::string(source) + "/examples/templates/customers.json.ini"));
  }
  std::string Dump(const std::string& name) {
    const auto result = testsupport::RunCommand({"/usr/bin/python3", "-c", kDumper, dir_.File(name)});
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return result.output;
  }
};

// The same records whatever the layout: the template's Pretty applies to the
// array only, and both files read back alike.
TEST_F(JsonRunTest, ServerValuesKeepTheirTypesAndDigitsInArrayAndLines) {
  const std::string expected =
      "id=n:1 name='say \"hi\" \\\\ {x}' creditLimit=n:12345678901234567890123456789012345.123456789012345678901234567890"
      " active=n:1 joined_on='2004-12-31' last_visit='2004-12-31T23:59:58.123456' notes='line1\\nline2\\r\\n北京 😀'"
      " big=n:18446744073709551615 ratio=n:0.1 bits=n:5 y=n:2006 t='838:59:59' raw='AP8g' doc='{\"k\": [1, 2.5]}'\n"
      "id=n:2 name='' creditLimit=n:-0.500000000000000000000000000000 active=n:0 joined_on='0000-00-00'"
      " last_visit='2024-00-00 10:00:00.000000' notes='' big=n:9007199254740993 ratio=n:1e300 bits=n:0 y=n:1901"
      " t='-00:00:01' raw='YWI=' doc='null'\n"
      "id=n:3 name=null creditLimit=null active=null joined_on=null last_visit=null notes=null big=null ratio=null"
      " bits=null y=null t=null raw=null doc=null\n";
  for (const std::string file : {"c.json", "c.jsonl"}) {
    const TVelmoraResult result =
        Run("[Tables]\ncustomers=customers\n[Templates]\ncustomers=customers.ini\n[Files]\ncustomers=" + file + "\n");
    EXPECT_EQ(result.lines, Connected({"customers: 3 records exported to " + file})) << result.errors;
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(Dump(file), expected) << file;
  }
  EXPECT_EQ(Read("c.json").substr(0, 14), "[\n  {\n    \"id\"");
  EXPECT_EQ(Read("c.jsonl").substr(0, 8), "{\"id\":1,");
}

// Without a file entry the template's GENERAL section names the file and type.
TEST_F(JsonRunTest, TemplateExportTypeFourteenWritesJson) {
  Write("own.ini", "[GENERAL]\nFileName=own.jsonl\nExportType=14\n[FIELDS]\n1=ID\n");
  const TVelmoraResult result = Run("[Tables]\nclients=clients\n[Templates]\nclients=own.ini\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to own.jsonl"})) << result.errors;
  EXPECT_EQ(Read("own.jsonl"), "{\"ID\":1}\n{\"ID\":2}\n");
}

}  // namespace
}  // namespace velmora
