#include "console/exporter_factory.h"

#include "console/format_sections.h"
#include "console/output_choice.h"
#include "formats/text/tabulo_ascii.h"
#include "platform/error.h"

namespace velmora {

namespace {

class TTextItemExporter : public TItemExporter {
 public:
  explicit TTextItemExporter(TTabuloASCIIType type) { exporter_.SetExportType(type); }
  TTabuloText& Exporter() override { return exporter_; }
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override {
    ReadTextFormatSections(template_file, data_set, exporter_);
  }

 private:
  TTabuloASCII exporter_;
};

}  // namespace

std::unique_ptr<TItemExporter> CreateItemExporter(int export_type) {
  switch (export_type) {
    case xtTXT:
      return std::make_unique<TTextItemExporter>(etTXT);
    case xtCSV:
      return std::make_unique<TTextItemExporter>(etCSV);
    case xtDIF:
      return std::make_unique<TTextItemExporter>(etDIF);
    case xtSYLK:
      return std::make_unique<TTextItemExporter>(etSYLK);
    default:
      throw EVelmoraError(
          Format("Export type %d (%s) is not available", export_type, ExportTypeName(export_type)));
  }
}

}  // namespace velmora
