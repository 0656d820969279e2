#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Version number from which table names are enclosed in backquotes.
constexpr int kFirstQuotingVersion = 32306;

// Makes a statement text ready to be sent: comments that run to the end of a
// line ("-- " and "#") are removed, every run of blanks and line breaks outside
// quoted strings and backquoted names becomes one space, leading and trailing
// blanks and trailing semicolons are removed. Raises "Empty Query" when nothing
// is left.
std::string PrepareStatement(std::string_view text);

// The number of a server version text, from its leading run of digits and dots:
// each group of digits is written with at least two digits ("4.0.18" gives
// 40018, "4.1.7-standard" gives 40107, "10.11.19-MariaDB-0+deb12u1" gives
// 101119, "8.4.3" gives 80403, "3.23.06" gives 32306). 0 when the text starts with no digit; the number is
// capped at the largest int.
int ServerVersionNumber(std::string_view version_text);

// A table name as it goes into a statement: from kFirstQuotingVersion on it is
// enclosed in backquotes with every backquote inside doubled; older servers get
// it unchanged. A name already enclosed in backquotes (with every backquote
// inside doubled) passes unchanged.
std::string QuoteTableName(std::string_view name, int version_number);

// A table as a statement names it, with its quoting removed.
struct TTableReference {
  std::string Database;  // empty when the name is not qualified
  std::string Name;

  bool operator==(const TTableReference&) const = default;
};

// Reads a quoted text whose quote character inside is written twice ("it''s",
// `a``b`). position stands after the opening quote and ends after the closing
// one (or at the end of text when none comes); returns the text without quotes.
std::string ReadQuotedText(std::string_view text, std::size_t& position, char quote);

// The tables named in the FROM clauses at the outer level of a SELECT statement
// (or one that starts with WITH), in the order they appear: the lists separated
// by commas and JOINs, each UNION part included. Derived tables, subqueries and
// the pseudo table DUAL are left out; other statements name no tables here.
std::vector<TTableReference> TablesInFromClause(std::string_view prepared_statement);

// "SHOW FULL COLUMNS FROM <table>", with " LIKE \"<column>\"" when a column is given.
std::string ColumnListingStatement(const TTableReference& table, int version_number,
                                   std::string_view column_name = {});
// "SHOW INDEX FROM <table>".
std::string IndexListingStatement(const TTableReference& table, int version_number);

// The first word of a statement in upper case (words end at a space, tab or line feed).
std::string FirstWordUpper(std::string_view statement);

}  // namespace velmora
