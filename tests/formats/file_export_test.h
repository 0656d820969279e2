// Shared by the format tests: a pinned locale, and a fixture that exports an
// in-memory data set into a file of a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/memory_dataset.h"
#include "platform/locale_settings.h"
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

  // Opens the data set, exports it and returns the file's bytes.
  std::string Export() {
    data_.Open();
    exporter_.Execute();
    return ReadFile(exporter_.FileName);
  }

  TTempDir directory_;
  TMemoryDataSet data_;
  TExporter exporter_;

 private:
  // Last, so that the exporter is made before the settings change, as it is
  // made before a run of the program reads the locale.
  TFormatSettingsScope locale_;
};

}  // namespace velmora::testsupport
