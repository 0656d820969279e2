#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/dataset.h"
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
  bool IsInvalidDate() const override;
  bool GetDateTime(TDateTime& value, std::string_view& fraction) const override;
  bool GetDecimalText(std::string& out) const override;
  bool GetTextLengthBound(std::size_t& bound) const override;

  unsigned int Column() const { return column_; }
  const TMySqlColumnReading& Reading() const { return reading_; }

 private:
  void AppendDateTimeText(std::string_view text, std::string& out) const;
  struct TDateTimeForms;
  // The locale's forms, compiled again when the settings in force changed.
  const TDateTimeForms& Forms() const;

  const TDirMySqlQuery& query_;
  unsigned int column_;
  TMySqlColumnReading reading_;

  mutable std::unique_ptr<TDateTimeForms> forms_;
};

}  // namespace velmora
