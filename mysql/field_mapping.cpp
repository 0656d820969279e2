#include "mysql/field_mapping.h"

#include <algorithm>

#include "mysql/statement_text.h"
#include "platform/text_scan.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The number between position from (counted from 1) and the first ")".
int SizeBeforeParenthesis(std::string_view type_text, std::size_t from, int fallback) {
  const std::size_t close = type_text.find(')');
  if (close == std::string_view::npos || close < from - 1) return fallback;
  int size = 0;
  return scan::ParseWholeInt(type_text.substr(from - 1, close - (from - 1)), size) ? size : fallback;
}

// Longest value of "enum('a','bc','it''s')", quotes removed, in characters.
int LongestEnumValue(std::string_view type_text) {
  std::size_t longest = 0;
  std::size_t position = type_text.find('(');
  if (position == std::string_view::npos) return 0;
  while (true) {
    position = type_text.find('\'', position);
    if (position == std::string_view::npos) break;
    ++position;
    const std::string value = ReadQuotedText(type_text, position, '\'');
    longest = std::max(longest, Utf8Length(value));
  }
  return static_cast<int>(longest);
}

// Decimals of "decimal(10,2)": the third item when the text is split at
// "(", ")", " ", "," and "."; 4 when missing or not a number.
int DecimalsOfTypeText(std::string_view type_text) {
  int item_number = 0;
  std::size_t position = 0;
  while (position < type_text.size()) {
    const std::size_t end = type_text.find_first_of("() ,.", position);
    const std::size_t stop = end == std::string_view::npos ? type_text.size() : end;
    if (stop > position && ++item_number == 3) {
      int decimals = 0;
      return scan::ParseWholeInt(type_text.substr(position, stop - position), decimals) ? decimals : 4;
    }
    position = stop + 1;
  }
  return 4;
}

bool IsSpatialTypeName(std::string_view type_name) {
  static constexpr std::string_view kNames[] = {
      "geometry",   "point",           "linestring",   "polygon",
      "multipoint", "multilinestring", "multipolygon", "geometrycollection"};
  for (const std::string_view name : kNames) {
    if (type_name == name) return true;
  }
  return false;
}

}  // namespace

TTypeTextMapping MapTypeText(std::string_view type_text, bool alternative_view) {
  TTypeTextMapping mapping;
  auto begins = [&](std::string_view prefix) { return StartsWith(type_text, prefix); };
  // "Contains" rules look at the type's name only: the values of a SET such as
  // set('print','text') name no type.
  const std::string_view type_name = type_text.substr(0, type_text.find('('));
  auto name_contains = [&](std::string_view word) { return type_name.find(word) != std::string_view::npos; };
  const std::size_t first_close = type_text.find(')');

  if (alternative_view && (SameText(type_text, "enum('y','n')") || SameText(type_text, "enum('n','y')") ||
                           SameText(type_text, "enum('t','f')") || SameText(type_text, "enum('f','t')"))) {
    mapping.DataType = ftBoolean;
  } else if (begins("enum")) {
    mapping.DataType = ftString;
    mapping.Size = LongestEnumValue(type_text);
  } else if (begins("bigint") ||
             (begins("int") && first_close != std::string_view::npos && first_close >= 6) ||
             (begins("int") && type_text.find("unsigned") != std::string_view::npos)) {
    // int(10) unsigned and a bare "int unsigned" both reach 4294967295.
    mapping.DataType = ftLargeint;
  } else if (IsSpatialTypeName(type_name)) {
    mapping.DataType = ftBlob;
  } else if (name_contains("int") || begins("year")) {
    mapping.DataType = ftInteger;
  } else if (begins("double") || begins("float") || begins("real") || begins("decimal") ||
             begins("numeric")) {
    mapping.DataType = ftFloat;
    mapping.Decimals = DecimalsOfTypeText(type_text);
    mapping.ExactDecimal = begins("decimal") || begins("numeric");
  } else if (begins("char")) {
    mapping.DataType = ftString;
    mapping.Size = SizeBeforeParenthesis(type_text, 6, 50);
  } else if (begins("varchar")) {
    mapping.DataType = ftString;
    mapping.Size = SizeBeforeParenthesis(type_text, 9, 50);
  } else if (type_text == "date") {
    mapping.DataType = ftDate;
  } else if (type_text == "datetime" || begins("datetime(")) {
    mapping.DataType = ftDateTime;
  } else if (type_text == "time" || begins("time(")) {
    mapping.DataType = ftTime;
  } else if (begins("timestamp")) {
    mapping.DataType = ftDateTime;
  } else if (name_contains("blob")) {
    mapping.DataType = ftBlob;
  } else if (name_contains("text")) {
    mapping.DataType = ftMemo;
  } else if (begins("set")) {
    mapping.DataType = ftString;
    mapping.Size = std::max(0, static_cast<int>(Utf8Length(type_text)) - 4);
  }
  return mapping;
}

TFieldType MapResultColumnType(int type_code, unsigned int flags, unsigned int charset_number) {
  const bool auto_increment = (flags & kMySqlAutoIncrementFlag) != 0;
  switch (type_code) {
    case mtTiny:
    case mtShort:
    case mtInt24:
    case mtYear:
      return auto_increment ? ftAutoInc : ftInteger;
    case mtLong:
    case mtLongLong:
      return auto_increment ? ftAutoInc : ftLargeint;
    case mtBit:
      return ftLargeint;  // up to 64 bits, unsigned
    case mtDecimal:
    case mtNewDecimal:
    case mtFloat:
    case mtDouble:
      return ftFloat;
    case mtDate:
    case mtNewDate:
      return ftDate;
    case mtTime:
      return ftTime;
    case mtDateTime:
      return ftDateTime;
    case mtTinyBlob:
    case mtMediumBlob:
    case mtLongBlob:
    case mtBlob:
      return charset_number == kMySqlBinaryCharset ? ftBlob : ftMemo;
    case mtJson:
      return ftMemo;  // text of any length
    case mtGeometry:
      return ftBlob;  // binary, of any length
    default:
      return ftString;
  }
}

int DefaultDisplayWidth(TFieldType data_type, int size) {
  switch (data_type) {
    case ftString:
      return size;
    case ftLargeint:
    case ftAutoInc:
      return 15;
    case ftDateTime:
      return 18;
    case ftBoolean:
      return 5;
    default:
      return 10;
  }
}

std::string ResultColumnTypeText(const TResultColumnMetadata& metadata) {
  const bool binary = metadata.CharsetNumber == kMySqlBinaryCharset;
  const unsigned long characters =
      binary ? metadata.Length : metadata.Length / std::max(1U, metadata.BytesPerCharacter);
  const bool is_unsigned = (metadata.Flags & kMySqlUnsignedFlag) != 0;
  auto with_fraction = [&](const char* name) {
    std::string text = name;
    if (metadata.Decimals > 0 && metadata.Decimals <= 6)
      text += "(" + std::to_string(metadata.Decimals) + ")";
    return text;
  };
  auto integer = [&](const char* name) {
    std::string text =
        std::string(name) + "(" + std::to_string(std::clamp<unsigned long>(metadata.Length, 1, 255)) + ")";
    if (is_unsigned) text += " unsigned";
    if ((metadata.Flags & kMySqlZerofillFlag) != 0) text += " zerofill";
    return text;
  };
  // Decimals of 31 and more mark a floating-point value of no fixed scale;
  // a fixed scale is kept, or the value would read back with other digits.
  auto floating = [&](const char* name) {
    std::string text = name;
    if (metadata.Decimals < 31 && metadata.Length > 0 && metadata.Length <= 255 &&
        metadata.Length >= metadata.Decimals) {
      text += "(" + std::to_string(metadata.Length) + "," + std::to_string(metadata.Decimals) + ")";
    }
    if (is_unsigned) text += " unsigned";
    return text;
  };
  // A large object by the most bytes a value takes in the connection's set.
  auto large_object = [&] {
    const char* size = metadata.Length <= 255        ? "tiny"
                       : metadata.Length <= 65535    ? ""
                       : metadata.Length <= 16777215 ? "medium"
                                                     : "long";
    return std::string(size) + (binary ? "blob" : "text");
  };
  switch (metadata.TypeCode) {
    case mtDecimal:
    case mtNewDecimal: {
      // The length counts the sign and the decimal point of a value.
      long precision = static_cast<long>(std::min<unsigned long>(metadata.Length, 100));
      if (metadata.Decimals > 0) --precision;
      if (!is_unsigned) --precision;
      const long scale = std::min<long>(metadata.Decimals, 38);
      precision = std::clamp<long>(precision, std::max<long>(scale, 1), 65);
      std::string text = "decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
      if (is_unsigned) text += " unsigned";
      return text;
    }
    case mtTiny:
      return integer("tinyint");
    case mtShort:
      return integer("smallint");
    case mtInt24:
      return integer("mediumint");
    case mtLong:
      return integer("int");
    case mtLongLong:
      return integer("bigint");
    case mtFloat:
      return floating("float");
    case mtDouble:
      return floating("double");
    case mtNull:
      return "binary(0)";
    case mtTimestamp:
      return with_fraction("timestamp");
    case mtDate:
    case mtNewDate:
      return "date";
    case mtTime:
      return with_fraction("time");
    case mtDateTime:
      return with_fraction("datetime");
    case mtYear:
      return "year";
    case mtBit:
      return "bit(" + std::to_string(std::clamp<unsigned long>(metadata.Length, 1, 64)) + ")";
    case mtJson:
      return "json";
    case mtTinyBlob:
    case mtMediumBlob:
    case mtLongBlob:
    case mtBlob:
      return large_object();
    case mtString:
      if (characters > 255) return large_object();
      return (binary ? "binary(" : "char(") + std::to_string(characters) + ")";
    case mtVarString:
      if (characters > 65532) return large_object();
      return (binary ? "varbinary(" : "varchar(") + std::to_string(characters) + ")";
    case mtGeometry:
      return "geometry";
    default:
      // A type no rule knows still holds its values as bytes or as text.
      return binary ? "longblob" : "longtext";
  }
}

std::string_view CollationCharacterSet(std::string_view collation) {
  return collation.substr(0, collation.find('_'));
}

}  // namespace velmora
