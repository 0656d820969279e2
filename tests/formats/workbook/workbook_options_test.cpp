// The workbook's template settings as one record: read whole over the
// exporter's, so that a refused template leaves every option as it was.
#include "formats/workbook/workbook_options.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/memory_dataset.h"
#include "formats/xls/tabulo_xls.h"
#include "platform/ini_file.h"
#include "support/expect_error.h"

namespace velmora {
namespace {

TEST(WorkbookOptionsTest, TemplateReplacesTheOptionsOnlyWhenEveryValueIsSound) {
  TMemoryDataSet data;
  data.AddField("A", ftInteger);
  data.Open();
  TTabuloXLS exporter;
  exporter.StripType = ssRow;
  exporter.Options.PageHeader = "before";
  exporter.FieldFormats.Add().FieldName = "A";
  const std::string sections =
      "[XLS]\nPageHeader=after\nStripType=1\n[XLS_FIELD_A]\nAggregate=1\n[XLS_STYLE_one]\nFillPattern=1\n";

  // The refused key comes last: nothing read before it is kept.
  const std::string too_long(kMaxFontNameBytes + 1, 'n');
  EXPECT_VELMORA_ERROR(
      exporter.ReadFormatSections(
          TIniFile::FromText(sections + "[XLS_OPTION_Footer]\nFontName=" + too_long + "\n"), data),
      "Invalid value \"" + too_long + "\" for FontName in [XLS_OPTION_Footer]: give a font name of at most 127 bytes");
  EXPECT_EQ(exporter.Options.PageHeader, "before");
  EXPECT_EQ(exporter.StripType, ssRow);
  EXPECT_EQ(exporter.FieldFormats.Count(), 1);
  EXPECT_EQ(exporter.StripStyles.Count(), 0);

  // The longest name is taken; field and strip styles add to the exporter's.
  const std::string longest(kMaxFontNameBytes, 'n');
  exporter.ReadFormatSections(TIniFile::FromText(sections + "[XLS_OPTION_Footer]\nFontName=" + longest + "\n"),
                              data);
  EXPECT_EQ(exporter.Options.PageHeader, "after");
  EXPECT_EQ(exporter.Options.FooterFormat.Font.Name, longest);
  EXPECT_EQ(exporter.StripType, ssCol);
  ASSERT_EQ(exporter.FieldFormats.Count(), 2);
  EXPECT_EQ(exporter.FieldFormats[1].Aggregate, aggSum);
  EXPECT_EQ(exporter.StripStyles.Count(), 1);
}

}  // namespace
}  // namespace velmora
