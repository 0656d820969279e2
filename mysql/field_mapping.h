#pragma once

#include <string>
#include <string_view>

#include "engine/dataset.h"

// How the server's column types map onto field types, and the declaration
// of a column that holds a result column's values.
namespace velmora {

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

}  // namespace velmora
