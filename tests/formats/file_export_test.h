// Shared by the format tests: a pinned locale, and the fixture that exports an
// in-memory data set (small tables or the awkward set) into a file of a
// temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/locale_settings.h"
#include "support/awkward_data.h"
#include "support/test_files.h"

namespace velmora::testsupport {

// Sets the format settings (the C locale's unless told) for as long as it
// lives, then puts the earlier ones back: a member of a fixture pins the
// locale for each test.
class TFormatSettingsScope {
 public:
  explicit TFormatSettingsScope(const TFormatSettings& settings = TFormatSettings::CLocale())
      : saved_(FormatSettings()) {
    SetFormatSettings(settings);
  }
  ~TFormatSettingsScope() { SetFormatSettings(saved_); }
  TFormatSettingsScope(const TFormatSettingsScope&) = delete;
  TFormatSettingsScope& operator=(const TFormatSettingsScope&) = delete;

 private:
  TFormatSettings saved_;
};

// An exporter of data_ into file_name, in a temporary directory named after
// prefix, with the settings given (the C locale's) while each test runs.
template <class TExporter>
class TFileExportTest : public ::testing::Test {
 protected:
  TFileExportTest(const std::string& prefix, const std::string& file_name,
                  const TFormatSettings& settings = TFormatSettings::CLocale())
      : directory_(prefix), locale_(settings) {
    exporter_.DataSet = &data_;
    exporter_.FileName = directory_.File(file_name);
  }

  // Opens the data set unless it is open (where its cursor stands matters to
  // some exports), exports it and returns the file's bytes.
  std::string Export() {
    if (!data_.Active()) data_.Open();
    exporter_.Execute();
    return ReadFile(exporter_.FileName);
  }

  // ID (integer) and NAME (string) of the sizes given, with the records.
  void IdAndName(const std::vector<TMemoryDataSet::TRecord>& records, int id_size = 3, int name_size = 5) {
    data_.AddField("ID", ftInteger, id_size);
    data_.AddField("NAME", ftString, name_size);
    for (const auto& record : records) data_.AppendRecord(record);
    data_.Open();
  }
  // One integer column NO holding 1 .. count.
  void Numbers(int count) {
    data_.AddField("NO", ftInteger, 2);
    for (int number = 1; number <= count; ++number) data_.AppendRecord({std::to_string(number)});
    data_.Open();
  }
  // The awkward data set (support/awkward_data.h).
  void Awkward() { FillAwkwardData(data_); }

  std::string File(const std::string& name) const { return directory_.File(name); }

  TTempDir directory_;
  TMemoryDataSet data_;
  TExporter exporter_;

 private:
  // Last, so that the exporter is made before the settings change, as it is
  // made before a run of the program reads the locale.
  TFormatSettingsScope locale_;
};

}  // namespace velmora::testsupport
