// Names and column types of the SQL script: what a CREATE TABLE statement
// needs so that every exported value reads back unchanged.
#include <algorithm>
#include <cctype>
#include <iterator>

#include "formats/sql/tabulo_sql.h"
#include "platform/text_escape.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// The words the server reserves: as names they must be quoted.
// clang-format off
constexpr std::string_view kReservedWords[] = {
    "ACCESSIBLE", "ADD", "ALL", "ALTER", "ANALYZE", "AND", "AS", "ASC", "ASENSITIVE", "BEFORE", "BETWEEN",
    "BIGINT", "BINARY", "BLOB", "BOTH", "BY", "CALL", "CASCADE", "CASE", "CHANGE", "CHAR", "CHARACTER",
    "CHECK", "COLLATE", "COLUMN", "CONDITION", "CONSTRAINT", "CONTINUE", "CONVERT", "CREATE", "CROSS",
    "CURRENT_DATE", "CURRENT_ROLE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR",
    "DATABASE", "DATABASES", "DAY_HOUR", "DAY_MICROSECOND", "DAY_MINUTE", "DAY_SECOND", "DEC", "DECIMAL",
    "DECLARE", "DEFAULT", "DELAYED", "DELETE", "DELETE_DOMAIN_ID", "DESC", "DESCRIBE", "DETERMINISTIC",
    "DISTINCT", "DISTINCTROW", "DIV", "DO_DOMAIN_IDS", "DOUBLE", "DROP", "DUAL", "EACH", "ELSE", "ELSEIF",
    "ENCLOSED", "ESCAPED", "EXCEPT", "EXISTS", "EXIT", "EXPLAIN", "FALSE", "FETCH", "FLOAT", "FLOAT4",
    "FLOAT8", "FOR", "FORCE", "FOREIGN", "FROM", "FULLTEXT", "GENERAL", "GRANT", "GROUP", "HAVING",
    "HIGH_PRIORITY", "HOUR_MICROSECOND", "HOUR_MINUTE", "HOUR_SECOND", "IF", "IGNORE", "IGNORE_DOMAIN_IDS",
    "IGNORE_SERVER_IDS", "IN", "INDEX", "INFILE", "INNER", "INOUT", "INSENSITIVE", "INSERT", "INT", "INT1",
    "INT2", "INT3", "INT4", "INT8", "INTEGER", "INTERSECT", "INTERVAL", "INTO", "IS", "ITERATE", "JOIN",
    "KEY", "KEYS", "KILL", "LEADING", "LEAVE", "LEFT", "LIKE", "LIMIT", "LINEAR", "LINES", "LOAD",
    "LOCALTIME", "LOCALTIMESTAMP", "LOCK", "LONG", "LONGBLOB", "LONGTEXT", "LOOP", "LOW_PRIORITY",
    "MASTER_HEARTBEAT_PERIOD", "MASTER_SSL_VERIFY_SERVER_CERT", "MATCH", "MAXVALUE", "MEDIUMBLOB",
    "MEDIUMINT", "MEDIUMTEXT", "MIDDLEINT", "MINUTE_MICROSECOND", "MINUTE_SECOND", "MOD", "MODIFIES",
    "NATURAL", "NOT", "NO_WRITE_TO_BINLOG", "NULL", "NUMERIC", "OFFSET", "ON", "OPTIMIZE", "OPTION",
    "OPTIONALLY", "OR", "ORDER", "OUT", "OUTER", "OUTFILE", "OVER", "PAGE_CHECKSUM", "PARSE_VCOL_EXPR",
    "PARTITION", "POSITION", "PRECISION", "PRIMARY", "PROCEDURE", "PURGE", "RANGE", "READ", "READS",
    "READ_WRITE", "REAL", "RECURSIVE", "REF_SYSTEM_ID", "REFERENCES", "REGEXP", "RELEASE", "RENAME",
    "REPEAT", "REPLACE", "REQUIRE", "RESIGNAL", "RESTRICT", "RETURN", "RETURNING", "REVOKE", "RIGHT",
    "RLIKE", "ROWS", "ROW_NUMBER", "SCHEMA", "SCHEMAS", "SECOND_MICROSECOND", "SELECT", "SENSITIVE",
    "SEPARATOR", "SET", "SHOW", "SIGNAL", "SLOW", "SMALLINT", "SPATIAL", "SPECIFIC", "SQL", "SQLEXCEPTION",
    "SQLSTATE", "SQLWARNING", "SQL_BIG_RESULT", "SQL_CALC_FOUND_ROWS", "SQL_SMALL_RESULT", "SSL",
    "STARTING", "STATS_AUTO_RECALC", "STATS_PERSISTENT", "STATS_SAMPLE_PAGES", "STRAIGHT_JOIN", "TABLE",
    "TERMINATED", "THEN", "TINYBLOB", "TINYINT", "TINYTEXT", "TO", "TRAILING", "TRIGGER", "TRUE", "UNDO",
    "UNION", "UNIQUE", "UNLOCK", "UNSIGNED", "UPDATE", "USAGE", "USE", "USING", "UTC_DATE", "UTC_TIME",
    "UTC_TIMESTAMP", "VALUES", "VARBINARY", "VARCHAR", "VARCHARACTER", "VARYING", "WHEN", "WHERE", "WHILE",
    "WINDOW", "WITH", "WRITE", "XOR", "YEAR_MONTH", "ZEROFILL",
    // reserved by later versions of MySQL and MariaDB
    "ARRAY", "CUBE", "CUME_DIST", "DENSE_RANK", "EMPTY", "FIRST_VALUE", "FUNCTION", "GENERATED", "GET",
    "GROUPING", "GROUPS", "IO_AFTER_GTIDS", "IO_BEFORE_GTIDS", "JSON_TABLE", "LAG", "LAST_VALUE", "LATERAL",
    "LEAD", "MASTER_BIND", "MEMBER", "NTH_VALUE", "NTILE", "OF", "OPTIMIZER_COSTS", "PERCENT_RANK",
    "QUALIFY", "RANK", "ROW", "STORED", "SYSTEM", "TABLESAMPLE", "VIRTUAL"};
// clang-format on

bool IsReservedWord(std::string_view name) {
  return std::any_of(std::begin(kReservedWords), std::end(kReservedWords),
                     [&](std::string_view word) { return SameText(word, name); });
}

bool IsPlainName(std::string_view name) {
  if (name.empty()) return false;
  const auto first = static_cast<unsigned char>(name[0]);
  if (!(std::isalpha(first) || first == '_')) return false;
  return std::all_of(name.begin(), name.end(), [](char character) {
    const auto byte = static_cast<unsigned char>(character);
    return byte < 0x80 && (std::isalnum(byte) || byte == '_');
  });
}

// True when the digits (no sign, no leading zeros) exceed limit, a number of
// the same form.
bool DigitsExceed(std::string_view digits, std::string_view limit) {
  if (digits.size() != limit.size()) return digits.size() > limit.size();
  return digits > limit;
}

std::string BinaryType(std::size_t bytes) {
  if (bytes <= 65535) return "BLOB";
  return bytes <= 16777215 ? "MEDIUMBLOB" : "LONGBLOB";
}

std::string TextType(std::size_t bytes) {
  if (bytes <= 65535) return "TEXT CHARACTER SET utf8mb4";
  return bytes <= 16777215 ? "MEDIUMTEXT CHARACTER SET utf8mb4" : "LONGTEXT CHARACTER SET utf8mb4";
}

std::string WithFraction(const char* type, int digits) {
  if (digits == 0) return type;
  return std::string(type) + "(" + std::to_string(std::min(digits, 6)) + ")";
}

constexpr std::size_t kMaxVarcharCharacters = 16383;

// The most bytes a character takes in a character set of the server; the sets
// not named take one.
std::size_t BytesPerCharacter(std::string_view character_set) {
  struct TSet {
    std::string_view name;
    std::size_t bytes;
  };
  static constexpr TSet kWide[] = {{"utf8mb4", 4}, {"utf16", 4},   {"utf16le", 4}, {"utf32", 4},
                                   {"gb18030", 4}, {"utf8mb3", 3}, {"utf8", 3},    {"ujis", 3},
                                   {"eucjpms", 3}, {"ucs2", 2},    {"big5", 2},    {"gbk", 2},
                                   {"gb2312", 2},  {"sjis", 2},    {"cp932", 2},   {"euckr", 2}};
  for (const TSet& set : kWide) {
    if (SameText(set.name, character_set)) return set.bytes;
  }
  return 1;
}

// The number of "varchar(20)" after the opening text, 0 when none.
std::size_t LengthAfter(std::string_view declaration, std::size_t start) {
  std::size_t length = 0;
  for (std::size_t position = start;
       position < declaration.size() && std::isdigit(static_cast<unsigned char>(declaration[position]));
       ++position) {
    length = length * 10 + static_cast<std::size_t>(declaration[position] - '0');
  }
  return length;
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

constexpr std::size_t kMaxNameCharacters = 64;

}  // namespace

std::size_t VarcharRowBytes(std::string_view declaration) {
  std::size_t per_character = 1;
  std::size_t start = 0;
  if (StartsWithText(declaration, "varchar(")) {
    start = 8;
    const std::size_t set = declaration.find(" CHARACTER SET ");
    per_character =
        set == std::string_view::npos
            ? 4
            : BytesPerCharacter(declaration.substr(set + 15, declaration.find(' ', set + 15) - set - 15));
  } else if (StartsWithText(declaration, "varbinary(")) {
    start = 10;
  } else {
    return 0;
  }
  const std::size_t length = LengthAfter(declaration, start);
  return length * per_character + (length * per_character > 255 ? 2 : 1);
}

std::string SourceColumnDeclaration(const TField& field, bool varchar_allowed) {
  const TSourceColumnType& source = field.SourceType;
  if (source.Type.empty()) return "";
  std::string declaration = source.Type;
  if (!varchar_allowed && StartsWithText(declaration, "varchar(")) {
    const std::size_t bytes = LengthAfter(declaration, 8) * BytesPerCharacter(source.CharacterSet);
    declaration = bytes <= 65535 ? "text" : bytes <= 16777215 ? "mediumtext" : "longtext";
  } else if (!varchar_allowed && StartsWithText(declaration, "varbinary(")) {
    declaration = LengthAfter(declaration, 10) <= 65535 ? "blob" : "mediumblob";
  }
  if (!source.CharacterSet.empty()) declaration += " CHARACTER SET " + source.CharacterSet;
  if (!source.Collation.empty()) declaration += " COLLATE " + source.Collation;
  // Without NULL the first TIMESTAMP column of a table may be made NOT NULL
  // with the current moment as its default, and a NULL value replays as now.
  if (StartsWithText(declaration, "timestamp")) declaration += " NULL";
  return declaration;
}

std::vector<std::string> SqlColumnNames(const std::vector<std::string>& names) {
  std::vector<std::string> result;
  result.reserve(names.size());
  for (const std::string& name : names) {
    // The server refuses names that end in a blank or are longer.
    std::string own(TrimRight(name));
    if (Utf8Length(own) > kMaxNameCharacters) own = std::string(Utf8Prefix(own, kMaxNameCharacters));
    result.push_back(own.empty() ? "_" : own);
  }
  return UniqueNames(std::move(result), true);
}

void AppendSqlName(std::string& out, std::string_view name) {
  if (IsPlainName(name) && !IsReservedWord(name)) {
    out += name;
  } else {
    AppendSqlIdentifier(out, name);
  }
}

void TSqlValueExtent::Add(const TTabuloColumn& column, std::string_view text) {
  switch (column.ColumnType) {
    case ctInteger:
    case ctLargeInt:
    case ctFloat:
    case ctCurrency: {
      std::size_t position = 0;
      const bool negative = !text.empty() && text[0] == '-';
      if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++position;
      while (position < text.size() && text[position] == '0') ++position;
      const std::size_t integer_start = position;
      while (position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]))) ++position;
      const std::string_view integer = text.substr(integer_start, position - integer_start);
      int fraction = 0;
      if (position < text.size() && text[position] == '.') {
        for (++position; position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]));
             ++position) {
          ++fraction;
        }
      }
      if (position < text.size()) Exponent = true;  // an exponent, or text that is no plain number
      IntegerDigits = std::max(IntegerDigits, static_cast<int>(integer.size()));
      FractionDigits = std::max(FractionDigits, fraction);
      Negative = Negative || negative;
      BeyondInteger = BeyondInteger || DigitsExceed(integer, negative ? "2147483648" : "2147483647");
      BeyondBigint =
          BeyondBigint || DigitsExceed(integer, negative ? "9223372036854775808" : "9223372036854775807");
      BeyondUnsigned = BeyondUnsigned || (negative ? DigitsExceed(integer, "9223372036854775808")
                                                   : DigitsExceed(integer, "18446744073709551615"));
      break;
    }
    case ctTime:
    case ctDateTime: {
      const std::size_t point = text.rfind('.');
      if (point != std::string_view::npos) {
        FractionDigits = std::max(FractionDigits, static_cast<int>(text.size() - point - 1));
      }
      break;
    }
    default:
      MaxCharacters = std::max(MaxCharacters, Utf8Length(text));
      MaxBytes = std::max(MaxBytes, text.size());
      if (!NotUtf8 && !column.IsBlob && !IsValidUtf8(text)) NotUtf8 = true;
      break;
  }
}

std::string SqlColumnType(const TTabuloColumn& column, const TSqlValueExtent& extent, bool varchar_allowed) {
  switch (column.ColumnType) {
    case ctInteger:
    case ctLargeInt:
      if (column.ValueKind == vkYear) return "YEAR";
      if (column.ValueKind == vkBit) return "BIGINT UNSIGNED";
      if (extent.Exponent) return "DOUBLE PRECISION";
      if (extent.BeyondUnsigned)
        return "DECIMAL(" + std::to_string(std::min(extent.IntegerDigits, 65)) + ",0)";
      if (extent.BeyondBigint) return "BIGINT UNSIGNED";
      if (extent.BeyondInteger) return "BIGINT";
      return column.SQLType;
    case ctFloat:
    case ctCurrency: {
      const int precision = extent.IntegerDigits + extent.FractionDigits;
      if (extent.Exponent || precision > 65 || extent.FractionDigits > 38 || precision == 0) {
        return "DOUBLE PRECISION";
      }
      return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(extent.FractionDigits) + ")";
    }
    case ctDate:
      return column.SQLType;
    case ctTime:
      return WithFraction("TIME", extent.FractionDigits);
    case ctDateTime:
      return WithFraction("DATETIME", extent.FractionDigits);
    case ctBoolean:
      return column.SQLType;
    default:
      break;
  }
  if ((column.IsBlob && !column.IsMemo) || extent.NotUtf8) return BinaryType(extent.MaxBytes);
  const std::size_t characters =
      std::max({extent.MaxCharacters, static_cast<std::size_t>(std::max(column.Field->Size, 1))});
  if (column.IsMemo || !varchar_allowed || characters > kMaxVarcharCharacters) {
    return TextType(std::max(extent.MaxBytes, characters * 4));
  }
  return "VARCHAR(" + std::to_string(characters) + ") CHARACTER SET utf8mb4";
}

}  // namespace velmora
