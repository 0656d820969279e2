#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/dataset.h"
#include "platform/date_time.h"

namespace velmora {

class TDirMySqlQuery;
class TDateTimeFormat;

// MySQL result column type codes of the client interface.
enum TMySqlTypeCode {
  mtDecimal = 0,
  mtTiny = 1,
  mtShort = 2,
  mtLong = 3,
  mtFloat = 4,
  mtDouble = 5,
  mtNull = 6,
  mtTimestamp = 7,
  mtLongLong = 8,
  mtInt24 = 9,
  mtDate = 10,
  mtTime = 11,
  mtDateTime = 12,
  mtYear = 13,
  mtNewDate = 14,
  mtBit = 16,
  mtJson = 245,
  mtNewDecimal = 246,
  mtEnum = 247,
  mtSet = 248,
  mtTinyBlob = 249,
  mtMediumBlob = 250,
  mtLongBlob = 251,
  mtBlob = 252,
  mtVarString = 253,
  mtString = 254,
  mtGeometry = 255
};

constexpr unsigned int kMySqlAutoIncrementFlag = 512;
// The character set number of binary data (and of numbers and dates). The
// binary flag does not tell binary data apart: text in a binary collation
// ("utf8mb4_bin") carries it too.
constexpr unsigned int kMySqlBinaryCharset = 63;

// A column of a table named in the statement, from the column listing.
struct TMySqlTableColumn {
  std::string Database;  // as the statement names it; empty when not qualified
  std::string Table;
  std::string Name;
  std::string TypeText;
  std::string Collation;  // character data: the column's collation; else empty
  bool NullAllowed = false;
  bool HasDefault = false;
  std::string Default;  // in single quotes
  bool AutoIncrement = false;
  bool PrimaryKey = false;
};

// Field type, size and decimals read from a table column's type text.
struct TTypeTextMapping {
  TFieldType DataType = ftUnknown;
  int Size = 0;
  int Decimals = 0;
  bool ExactDecimal = false;  // DECIMAL and NUMERIC: the value's digits are kept as sent
};

// The field type of a table column's type text ("int(11)", "varchar(20)",
// "enum('a','b')"); ftUnknown for texts no rule knows.
TTypeTextMapping MapTypeText(std::string_view type_text, bool alternative_view);

// The field type of a result column from its type code, flags and character
// set number: large objects are binary (ftBlob) in the binary character set
// and text (ftMemo) in any other; bit fields are unsigned integers.
TFieldType MapResultColumnType(int type_code, unsigned int flags, unsigned int charset_number);

// Result column flags the column declaration carries.
constexpr unsigned int kMySqlUnsignedFlag = 32;
constexpr unsigned int kMySqlZerofillFlag = 64;
constexpr unsigned int kMySqlBinaryFlag = 128;

// What the client library describes of a result column.
struct TResultColumnMetadata {
  int TypeCode = 0;
  unsigned long Length = 0;  // display length; for character data in bytes of the connection's set
  unsigned int Decimals = 0;
  unsigned int Flags = 0;
  unsigned int CharsetNumber = 0;
  unsigned int BytesPerCharacter = 1;  // of the connection's character set
};

// The declaration of a column that holds every value of a result column
// ("decimal(5,2)", "int(11) unsigned", "varchar(20)", "mediumblob"), from its
// description alone; LONGBLOB or LONGTEXT for a type code no rule knows.
std::string ResultColumnTypeText(const TResultColumnMetadata& metadata);

// The character set of a collation name: the text before its first "_"
// ("latin1" of "latin1_swedish_ci"); every collation name starts so.
std::string_view CollationCharacterSet(std::string_view collation);

// DECIMAL results keep every digit they were sent with.
inline bool IsExactDecimalType(int type_code) {
  return type_code == mtDecimal || type_code == mtNewDecimal;
}

// Column width of a field when none is configured.
int DefaultDisplayWidth(TFieldType data_type, int size);

// ---------------------------------------------------------------------------
// Text forms of values as the server sends them

// Appends a decimal number exactly as written, the trailing zeros of its scale
// included, without the leading zeros of a ZEROFILL column; "." or "," in text
// is the decimal point, decimal_separator takes its place. False when no plain
// decimal number.
bool AppendExactDecimalText(std::string_view text, std::string_view decimal_separator, std::string& out);

// Appends a floating-point number as the server wrote it, every digit and an
// exponent kept, with decimal_separator for its decimal point ("." or ",");
// anything that is no number counts as 0.
void AppendFloatText(std::string_view text, std::string_view decimal_separator, std::string& out);

// Appends the C-form decimal text that TryLocaleNumberToDecimalText reads from
// the text form (AppendExactDecimalText for a DECIMAL, else AppendFloatText)
// of a number in the server's plain form ("-12.50", "1.5e-07"), whatever the
// decimal separator, as long as it starts with none of "+-eE", a digit or a
// blank and ends with no blank. False (nothing appended) for any other text
// or separator.
bool AppendServerDecimalText(std::string_view text, bool exact_decimal, std::string_view decimal_separator,
                             std::string& out);

// Appends the unsigned integer of a bit field's value, sent as up to eight
// bytes, most significant first (b'101' is "5").
void AppendBitText(std::string_view bytes, std::string& out);

// A date, date-time or compact timestamp text as a date-time value; fraction
// receives the digits of fractional seconds ("123456"), empty when none. False
// for a text that names no moment: a zero date ("0000-00-00"), a zero year,
// month or day, a day past the end of its month ("2004-02-30"), a time out of
// the clock, or a text not in the server's form.
bool TryMySqlTextToDateTime(std::string_view text, bool compact_timestamp, TDateTime& value,
                            std::string_view& fraction);
// As TryMySqlTextToDateTime, the moment as its day and the milliseconds of its
// time of day in whole seconds (the fraction is not counted in).
bool TryMySqlTextToDayAndTime(std::string_view text, bool compact_timestamp, TDayAndTime& moment,
                              std::string_view& fraction);

// True for a TIME text that is no time of day: negative, or 24 hours or more
// ("838:59:59", "-01:30:00"). Such a value's text is its AsString unchanged.
bool MySqlTimeOutsideDay(std::string_view text);

// A time text ("12:34:56", "838:59:59", "12:34:56.5", or a date and a time) as a
// time of day; hours are clamped to 0..23.
TDateTime MySqlTextToTime(std::string_view text, std::string_view& fraction);
// As MySqlTextToTime, the milliseconds of the time of day in whole seconds.
std::int64_t MySqlTimeMillisecond(std::string_view text, std::string_view& fraction);

// ---------------------------------------------------------------------------
// Field objects

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
