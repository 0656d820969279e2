#include "engine/dataset.h"

#include "platform/text_utils.h"

namespace velmora {

std::string TField::AsString() const {
  std::string text;
  GetText(text);
  return text;
}

void TField::GetValue(TCellValue& value) const {
  value = TCellValue();
  if (IsNull()) return;
  GetText(value_text_);
  value.Kind = ckText;
  value.Text = value_text_;
}

bool TField::IsBlob() const {
  switch (DataType) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle:
    case ftDBaseOle: case ftTypedBinary: case ftOraBlob: case ftOraClob:
      return true;
    default:
      return false;
  }
}

bool TField::IsMemo() const { return DataType == ftMemo || DataType == ftFmtMemo; }

TField* TDataSet::FindField(std::string_view name) const {
  for (const auto& field : fields_) {
    if (SameText(field->FieldName, name)) return field.get();
  }
  return nullptr;
}

}  // namespace velmora
