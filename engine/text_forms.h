#pragma once

#include <cstddef>
#include <string>

#include "engine/cell_value.h"
#include "engine/dataset.h"
#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/value_format.h"

namespace velmora {

// The text form of values in one locale: the form a field's GetText gives and
// an export writes where it shows no display format. Numbers with every digit
// and the locale's decimal separator, a moment in the locale's short date and
// long time (its fraction's digits after the seconds), booleans as "True" and
// "False", text and bytes as they are.
class TTextForms {
 public:
  // settings must outlive the forms.
  explicit TTextForms(const TFormatSettings& settings);

  const TFormatSettings& Settings() const { return *settings_; }

  // Appends the text form of value, a value of a field of type and kind.
  void Append(const TCellValue& value, TFieldType type, TFieldValueKind kind, std::string& out) const;
  // The most characters that text form has, found without making it.
  std::size_t MaxLength(const TCellValue& value, TFieldType type) const;

 private:
  const TFormatSettings* settings_;
  TDateTimeFormat date_;
  TFractionDateTimeFormat time_;
};

}  // namespace velmora
