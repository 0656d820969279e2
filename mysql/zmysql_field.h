#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/dataset.h"
#include "engine/text_forms.h"
#include "platform/date_time.h"

namespace velmora {

class TDirMySqlQuery;

// How a field reads its column: set by the data set when it builds its fields.
struct TMySqlColumnReading {
  bool ExactDecimal = false;      // DECIMAL: all digits kept
  bool Binary = false;            // binary data: sizes in bytes, no trailing blanks removed
  bool CompactTimestamp = false;  // type code 7: the digits-only form may come
  // The result column's own length in characters (bytes for binary data): a
  // string value is never cut below it, whatever size a table column gave.
  std::size_t ResultLength = 0;
};

// A field of a MySQL result. It reads the current row of its query on demand;
// the text of a value is built into the caller's string and nothing is kept.
class TZMySqlField : public TField {
 public:
  TZMySqlField(const TDirMySqlQuery& query, unsigned int column, const TMySqlColumnReading& reading);
  ~TZMySqlField() override;

  bool IsNull() const override;
  // Raises "Unknown type: " and the field name for a type no text form is defined for.
  void GetText(std::string& out) const override;
  // The value's bytes as the server sent them; a bit field's unsigned integer.
  void GetSourceText(std::string& out) const override;
  // Raises as GetText does.
  void GetValue(TCellValue& value) const override;
  // Dates, times and date-times as ckText of the server's text.
  void GetSourceValue(TCellValue& value) const override;

  unsigned int Column() const { return column_; }
  const TMySqlColumnReading& Reading() const { return reading_; }

 private:
  // GetValue; moments false leaves dates and times as ckText.
  void ReadValue(TCellValue& value, bool moments) const;
  // A date, time or date-time text as a moment, or as an invalid one.
  void ReadMoment(std::string_view text, TCellValue& value) const;
  struct TDateTimeForms;
  // The text forms of the settings in force, compiled again when they changed.
  const TTextForms& Forms() const;

  const TDirMySqlQuery& query_;
  unsigned int column_;
  TMySqlColumnReading reading_;

  mutable std::unique_ptr<TDateTimeForms> forms_;
  mutable std::string bit_text_;  // a bit field's value as an unsigned integer
};

}  // namespace velmora
