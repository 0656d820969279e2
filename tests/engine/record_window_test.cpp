// The walk over the record window that the record loop and the passes reading
// ahead of it share.
#include "engine/record_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"

namespace velmora {
namespace {

struct TWindowCase {
  const char* name;
  TRecordWindow window;
  int start;  // the record under the cursor before the walk, from 0
  std::vector<std::string> visited;
};

TEST(ReadWindowAhead, VisitsTheWindowsRecordsAndReturnsTheCursor) {
  TMemoryDataSet data;
  data.AddField("ID", ftString);
  for (int record = 1; record <= 6; ++record) data.AppendRecord({std::to_string(record)});
  data.Open();

  const TWindowCase cases[] = {
      {"everything from the first", {true, 0, 0, false}, 2, {"1", "2", "3", "4", "5", "6"}},
      {"from the cursor", {false, 0, 0, false}, 3, {"4", "5", "6"}},
      {"skip and limit", {true, 2, 3, false}, 5, {"3", "4", "5"}},
      {"limit beyond the end", {true, 4, 100, false}, 0, {"5", "6"}},
      {"skip beyond the end", {true, 1000, 0, false}, 1, {}},
      {"skip from the cursor", {false, 1, 0, false}, 4, {"6"}},
      {"current record only", {false, 0, 0, true}, 4, {"5"}},
      {"first record after the skipped", {true, 2, 0, true}, 5, {"3"}},
  };
  for (const TWindowCase& each : cases) {
    data.First();
    for (int step = 0; step < each.start; ++step) data.Next();
    std::vector<std::string> visited;
    std::vector<int> passed;
    const int count = ReadWindowAhead(
        data, each.window, [&] { visited.push_back(data.Field(0).AsString()); },
        [&](int number) { passed.push_back(number); });
    EXPECT_EQ(visited, each.visited) << each.name;
    EXPECT_EQ(count, static_cast<int>(each.visited.size())) << each.name;
    std::vector<int> numbers;
    for (int number = 1; number <= count; ++number) numbers.push_back(number);
    EXPECT_EQ(passed, numbers) << each.name;
    EXPECT_EQ(data.RecordIndex(), each.start) << each.name;
    EXPECT_EQ(data.OpenBookmarks(), 0) << each.name;
  }
}

}  // namespace
}  // namespace velmora
