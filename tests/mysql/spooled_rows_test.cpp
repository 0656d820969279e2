// A stored result's rows in a spool file read back exactly as the rows held
// in memory: in order, backwards, at random and after the index has filled.
#include "mysql/spooled_rows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mysql/stored_rows.h"
#include "support/test_files.h"

namespace velmora {
namespace {

constexpr unsigned int kFields = 3;
constexpr int kRows = 1000;

// The values of a row: a text holding a NUL (NULL in every fifth row), an
// empty text, and now and then a value larger than the write buffer takes or
// than the read window holds.
std::vector<std::optional<std::string>> RowValues(int row) {
  std::optional<std::string> text = "row " + std::to_string(row) + std::string(1, '\0') + "end";
  if (row % 5 == 0) text.reset();
  std::optional<std::string> large;
  if (row % 97 == 5) large = std::string(std::size_t{300} << 10, static_cast<char>('a' + row % 26));
  if (row == 700) large = std::string((std::size_t{1} << 20) + 3, 'z');
  return {text, std::string(), large};
}

// The row as its values point into a row store: "N" for NULL, else the bytes
// and whether a NUL follows them.
std::string RowText(char* const* values, const unsigned long* lengths) {
  std::string text;
  for (unsigned int field = 0; field < kFields; ++field) {
    if (values[field] == nullptr) {
      text += "N|";
      continue;
    }
    text.append(values[field], lengths[field]);
    text += values[field][lengths[field]] == '\0' ? "|" : "<no NUL>|";
  }
  return text;
}

TEST(SpooledRowsTest, RowsReadBackAsTheStoredRowsInAnyOrder) {
  testsupport::TTempDir directory("rows");
  TStoredRows stored;
  // A small index, so that it fills and thins out many times over.
  TSpooledRows spooled(std::make_unique<TSpoolFile>(directory.Path()), 8);
  for (int row = 0; row < kRows; ++row) {
    std::vector<std::optional<std::string>> row_values = RowValues(row);
    char* values[kFields];
    unsigned long lengths[kFields];
    for (unsigned int field = 0; field < kFields; ++field) {
      values[field] = row_values[field] ? row_values[field]->data() : nullptr;
      lengths[field] = row_values[field] ? row_values[field]->size() : 0;
    }
    stored.Append(values, lengths, kFields);
    spooled.Append(values, lengths, kFields);
  }
  spooled.FinishWriting();
  ASSERT_EQ(spooled.Count(), static_cast<std::uint64_t>(kRows));
  EXPECT_LE(spooled.IndexEntries(), 8U);
  EXPECT_EQ(spooled.IndexStride(), 128U);  // 1000 rows over at most 8 entries

  std::vector<std::uint64_t> order;
  for (int row = 0; row < kRows; ++row) order.push_back(static_cast<std::uint64_t>(row));       // in order
  for (int row = kRows - 1; row >= 0; --row) order.push_back(static_cast<std::uint64_t>(row));  // backwards
  std::uint64_t state = 12345;
  for (int step = 0; step < 300; ++step) {  // at random, the same row twice now and then
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    order.push_back((state >> 33) % kRows);
    if (step % 50 == 0) order.push_back(order.back());
  }
  char* expected_values[kFields];
  unsigned long expected_lengths[kFields];
  char* values[kFields];
  unsigned long lengths[kFields];
  for (const std::uint64_t row : order) {
    stored.Read(row, kFields, expected_values, expected_lengths);
    spooled.Read(row, kFields, values, lengths);
    ASSERT_EQ(RowText(values, lengths), RowText(expected_values, expected_lengths)) << "row " << row;
  }
}

}  // namespace
}  // namespace velmora
