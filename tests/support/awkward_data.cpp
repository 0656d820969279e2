#include "support/awkward_data.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace velmora::testsupport {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

// A text that is valid UTF-8.
TAwkwardText Valid(std::string name, std::string bytes) {
  std::string decoded = bytes;
  return {std::move(name), std::move(bytes), std::move(decoded)};
}

std::vector<TAwkwardText> MakeTexts() {
  using namespace std::string_literals;
  return {
      Valid("plain", "plain"),
      Valid("empty", ""),
      Valid("quotes", "say \"hi\" 'there' \"\"\"\"\"\""),
      Valid("separators", "a,b;c|d:e/f"),
      Valid("tab", "tab\tinside"),
      Valid("crlf", "line1\r\nline2"),
      Valid("lf and cr", "a\nb\rc\n\rd"),
      Valid("backslashes", "C:\\new\\table \\par \\b0 x\\"),
      Valid("parentheses", "(draft ) unbalanced (("),
      Valid("braces", "{braces} }unbalanced{ [x] %50 #1 $5 ^2 ~a_b"),
      Valid("markup", "<b>&amp;</b> a<b & c>d ]]> <!-- x -->"),
      Valid("nul", "nul\0here"s),
      Valid("controls",
            "ctrl\x01\x1F\x7F"
            "end"),
      {"invalid utf-8", "bad \xFF mid \x80 lead \xC0 end",
       "bad " + kReplacement + " mid " + kReplacement + " lead " + kReplacement + " end"},
      Valid("cjk",
            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE4\xB8\xAD\xE6\x96\x87 "
            "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"),
      Valid("emoji", "emoji \xF0\x9F\x98\x80\xF0\x9F\x8E\x89 \xF0\x9D\x84\x9E end"),
      Valid("combining marks", "Zoe\xCC\x88 Ge\xCC\x81rard n\xCC\x83"),
      Valid("right to left", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A 123"),
      Valid("line separators",
            "line\xE2\x80\xA8next\xE2\x80\xA9"
            "end"),
      Valid("latin", "Zo\xC3\xAB \xC3\x85gren \xE2\x82\xAC 5"),
      Valid("formula", "=SUM(A1;2)"),
      Valid("leading zeros", "007"),
      Valid("huge", std::string(100000, 'w') + " \xE6\x97\xA5\xF0\x9F\x98\x80 end"),
  };
}

// DECIMAL(65,30): 35 digits before the point, 30 after.
const std::vector<std::string> kBigs = {"9007199254740993", "-9223372036854775808", "18446744073709551615",
                                        "9007199254740992", "0"};
const std::vector<std::string> kExacts = {
    "12345678901234567890123456789012345.123456789012345678901234567890",
    "-99999999999999999999999999999999999.999999999999999999999999999999", "0.000000000000000000000000000001",
    "-12345678.900000000000000000000000000000", "0.000000000000000000000000000000"};
const std::vector<std::string> kDoubles = {"1.7976931348623157e308", "-2.2250738585072014e-308",
                                           "4.9406564584124654e-324", "-1234567890.1234567", "0"};
const std::vector<std::string> kDays = {"0000-00-00", "2024-02-30", "9999-12-31", "1000-01-01", "2024-02-29"};
const std::vector<std::string> kMoments = {"2024-02-29 23:59:59", "0000-00-00 00:00:00",
                                           "2024-00-00 10:00:00", "1999-12-31 00:00:01",
                                           "9999-12-31 23:59:59"};

}  // namespace

const std::vector<TAwkwardText>& AwkwardTexts() {
  static const std::vector<TAwkwardText> texts = MakeTexts();
  return texts;
}

const TAwkwardText& AwkwardText(const std::string& name) {
  for (const TAwkwardText& text : AwkwardTexts()) {
    if (text.Name == name) return text;
  }
  throw std::out_of_range("no awkward text " + name);
}

void FillAwkwardData(TMemoryDataSet& data, const std::vector<std::string>& left_out) {
  data.AddField("ID", ftInteger);
  data.AddField("TEXT", ftString, 40);
  data.AddField("BIG", ftLargeint, 20);
  data.AddField("EXACT", ftBCD, 67);
  data.AddField("DOUBLE", ftFloat, 24);
  data.AddField("DAY", ftDate);
  data.AddField("MOMENT", ftDateTime, 19);
  data.AddField("FLAG", ftBoolean);
  const auto& texts = AwkwardTexts();
  int id = 0;
  for (std::size_t index = 0; index < texts.size(); ++index) {
    if (std::find(left_out.begin(), left_out.end(), texts[index].Name) != left_out.end()) continue;
    data.AppendRecord({std::to_string(++id), texts[index].Bytes, kBigs[index % kBigs.size()],
                       kExacts[index % kExacts.size()], kDoubles[index % kDoubles.size()],
                       kDays[index % kDays.size()], kMoments[index % kMoments.size()],
                       index % 2 ? "False" : "True"});
  }
  TMemoryDataSet::TRecord nulls(afFieldCount);
  nulls[afId] = std::to_string(id + 1);
  data.AppendRecord(std::move(nulls));
  data.Open();
}

int AwkwardRecordCount() {
  return static_cast<int>(AwkwardTexts().size()) + 1;
}

std::vector<std::string> AwkwardPlainNumbers() {
  return {"ID=", "BIG=", "EXACT=", "DOUBLE="};
}

TTextTable TextTable(TDataSet& data, const std::function<std::string(const std::string&)>& as_read,
                     const std::string& null_text) {
  TTextTable table(1);
  for (int index = 0; index < data.FieldCount(); ++index) table[0].push_back(data.Field(index).FieldName);
  std::string text;
  for (data.First(); !data.Eof(); data.Next()) {
    auto& row = table.emplace_back();
    for (int index = 0; index < data.FieldCount(); ++index) {
      const TField& field = data.Field(index);
      field.GetText(text);
      row.push_back(field.IsNull() ? null_text : as_read ? as_read(text) : text);
    }
  }
  data.First();
  return table;
}

std::string Decoded(const std::string& text) {
  for (const TAwkwardText& awkward : AwkwardTexts()) {
    if (awkward.Bytes == text) return awkward.Decoded;
  }
  return text;
}

std::string AsRead(const std::string& text, const TReadForms& forms) {
  for (const TAwkwardText& awkward : AwkwardTexts()) {
    if (awkward.Bytes != text) continue;
    const auto form = forms.find(awkward.Name);
    return form != forms.end() ? form->second : awkward.Decoded;
  }
  return text;
}

std::string GeneralFloat(const std::string& number) {
  if (number.find_first_of("eE") == std::string::npos) return number;
  char digits[40];
  std::snprintf(digits, sizeof digits, "%.15G", std::strtod(number.c_str(), nullptr));
  std::string text = digits;
  if (const std::size_t mark = text.find('E'); mark != std::string::npos) {
    std::size_t start = mark + 1;
    if (text[start] == '+') text.erase(start, 1);
    if (text[start] == '-') ++start;
    while (start + 1 < text.size() && text[start] == '0') text.erase(start, 1);
  }
  return text;
}

TTextTable WithGeneralDoubles(TTextTable table) {
  for (std::size_t row = 1; row < table.size(); ++row) {
    std::string& number = table[row][afDouble];
    if (!number.empty()) number = GeneralFloat(number);
  }
  return table;
}

std::string WithLfBreaks(const std::string& text) {
  std::string result;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (character != '\r' && character != '\n') {
      result += character;
      continue;
    }
    result += '\n';
    const char partner = character == '\r' ? '\n' : '\r';
    if (index + 1 < text.size() && text[index + 1] == partner) ++index;
  }
  return result;
}

}  // namespace velmora::testsupport
