#include "mysql/statement_text.h"

#include <climits>
#include <cstdint>

#include "platform/text_utils.h"
#include "platform/error.h"

namespace velmora {

namespace {

bool IsLineBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsControlOrBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// "--" opens a comment only when a blank or control character (or the end of
// the text) follows, so "5--1" stays an expression.
bool StartsDashComment(std::string_view text, std::size_t position) {
  if (text.compare(position, 2, "--") != 0) return false;
  return position + 2 >= text.size() || IsControlOrBlank(text[position + 2]);
}

std::size_t EndOfLine(std::string_view text, std::size_t position) {
  const std::size_t line_feed = text.find('\n', position);
  return line_feed == std::string_view::npos ? text.size() : line_feed;
}

}  // namespace

// ---------------------------------------------------------------------------
// Statement preparation

std::string PrepareStatement(std::string_view text) {
  text = Trim(text);
  std::string result;
  result.reserve(text.size());
  bool pending_blank = false;
  auto emit = [&](char c) {
    if (pending_blank && !result.empty()) result += ' ';
    pending_blank = false;
    result += c;
  };

  std::size_t position = 0;
  while (position < text.size()) {
    const char c = text[position];
    if (c == '\'' || c == '"' || c == '`') {
      // Quoted text is copied unchanged. Backslashes escape inside strings but
      // not inside backquoted names.
      emit(c);
      ++position;
      while (position < text.size()) {
        const char inner = text[position];
        result += inner;
        ++position;
        if (inner == '\\' && c != '`' && position < text.size()) {
          result += text[position];
          ++position;
        } else if (inner == c) {
          break;
        }
      }
    } else if (c == '/' && position + 1 < text.size() && text[position + 1] == '*') {
      // A block comment ends by itself; it is kept (it may be an executable
      // comment), and quotes inside it open nothing.
      const std::size_t close = text.find("*/", position + 2);
      const std::size_t end = close == std::string_view::npos ? text.size() : close + 2;
      emit(c);
      result.append(text.substr(position + 1, end - position - 1));
      position = end;
    } else if (c == '#' || StartsDashComment(text, position)) {
      position = EndOfLine(text, position);
    } else if (IsLineBlank(c)) {
      pending_blank = true;
      ++position;
    } else if (c == '\\' && position + 1 < text.size() &&
               (text[position + 1] == '\'' || text[position + 1] == '"')) {
      // A quote after a backslash opens no string.
      emit(c);
      emit(text[position + 1]);
      position += 2;
    } else {
      emit(c);
      ++position;
    }
  }

  std::string_view prepared = Trim(result);
  while (!prepared.empty() && prepared.back() == ';') {
    prepared = TrimRight(prepared.substr(0, prepared.size() - 1));
  }
  if (prepared.empty()) throw EVelmoraError("Empty Query");
  return std::string(prepared);
}

// ---------------------------------------------------------------------------
// Server version and table names

int ServerVersionNumber(std::string_view version_text) {
  std::size_t run_end = 0;
  while (run_end < version_text.size() &&
         ((version_text[run_end] >= '0' && version_text[run_end] <= '9') || version_text[run_end] == '.')) {
    ++run_end;
  }

  std::string digits;
  std::size_t group_digits = 0;
  auto close_group = [&]() {
    if (group_digits == 1) digits.insert(digits.size() - 1, 1, '0');
    group_digits = 0;
  };
  for (std::size_t index = 0; index < run_end; ++index) {
    if (version_text[index] == '.') {
      close_group();
    } else {
      digits += version_text[index];
      ++group_digits;
    }
  }
  // The last group is closed like any other, whether a character or the end
  // of the text follows it: "8.4.3" is 80403.
  close_group();

  std::int64_t number = 0;
  for (const char digit : digits) {
    number = number * 10 + (digit - '0');
    if (number > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(number);
}

namespace {

// True for a name already enclosed in backquotes, every backquote inside it
// doubled: quoting it again would name a different table.
bool IsBackquotedName(std::string_view name) {
  if (name.size() < 2 || name.front() != '`' || name.back() != '`') return false;
  const std::string_view inner = name.substr(1, name.size() - 2);
  for (std::size_t index = 0; index < inner.size(); ++index) {
    if (inner[index] != '`') continue;
    if (index + 1 >= inner.size() || inner[index + 1] != '`') return false;
    ++index;
  }
  return true;
}

}  // namespace

std::string QuoteTableName(std::string_view name, int version_number) {
  if (version_number < kFirstQuotingVersion) return std::string(name);
  if (IsBackquotedName(name)) return std::string(name);
  std::string quoted;
  quoted.reserve(name.size() + 2);
  quoted += '`';
  for (const char c : name) {
    if (c == '`') quoted += '`';
    quoted += c;
  }
  quoted += '`';
  return quoted;
}

namespace {

std::string QualifiedTableName(const TTableReference& table, int version_number) {
  std::string name;
  if (!table.Database.empty()) name = QuoteTableName(table.Database, version_number) + ".";
  name += QuoteTableName(table.Name, version_number);
  return name;
}

}  // namespace

std::string ColumnListingStatement(const TTableReference& table, int version_number,
                                   std::string_view column_name) {
  std::string statement = "SHOW FULL COLUMNS FROM " + QualifiedTableName(table, version_number);
  if (!column_name.empty()) {
    statement += " LIKE \"";
    statement += column_name;
    statement += '"';
  }
  return statement;
}

std::string IndexListingStatement(const TTableReference& table, int version_number) {
  return "SHOW INDEX FROM " + QualifiedTableName(table, version_number);
}

std::string FirstWordUpper(std::string_view statement) {
  const std::size_t end = statement.find_first_of(" \t\n");
  return UpperCase(statement.substr(0, end));
}

// ---------------------------------------------------------------------------
// Tables of the FROM clause

namespace {

enum class TTokenKind { kWord, kQuotedName, kString, kSymbol };

struct TToken {
  TTokenKind kind;
  std::string text;  // words as written, names unquoted, symbols as one character
};

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::vector<TToken> Tokenize(std::string_view text) {
  std::vector<TToken> tokens;
  std::size_t position = 0;
  while (position < text.size()) {
    const char c = text[position];
    if (IsControlOrBlank(c)) {
      ++position;
    } else if (c == '/' && position + 1 < text.size() && text[position + 1] == '*') {
      const std::size_t close = text.find("*/", position + 2);
      position = close == std::string_view::npos ? text.size() : close + 2;
    } else if (c == '#' || StartsDashComment(text, position)) {
      position = EndOfLine(text, position);
    } else if (c == '`') {
      ++position;
      tokens.push_back({TTokenKind::kQuotedName, ReadQuotedText(text, position, '`')});
    } else if (c == '\'' || c == '"') {
      ++position;
      while (position < text.size()) {
        const char inner = text[position++];
        if (inner == '\\') {
          ++position;
        } else if (inner == c) {
          if (position < text.size() && text[position] == c) {
            ++position;
          } else {
            break;
          }
        }
      }
      tokens.push_back({TTokenKind::kString, {}});
    } else if (IsWordChar(c)) {
      const std::size_t start = position;
      while (position < text.size() && IsWordChar(text[position])) ++position;
      tokens.push_back({TTokenKind::kWord, std::string(text.substr(start, position - start))});
    } else {
      tokens.push_back({TTokenKind::kSymbol, std::string(1, c)});
      ++position;
    }
  }
  return tokens;
}

bool IsWord(const TToken& token, std::string_view word) {
  return token.kind == TTokenKind::kWord && SameText(token.text, word);
}

bool IsSymbol(const TToken& token, char symbol) {
  return token.kind == TTokenKind::kSymbol && token.text[0] == symbol;
}

// Words that end a FROM clause at the outer level.
bool EndsFromClause(const TToken& token) {
  static constexpr std::string_view kWords[] = {
      "WHERE", "GROUP",     "HAVING", "ORDER", "LIMIT",  "UNION",     "EXCEPT", "INTERSECT",
      "INTO",  "PROCEDURE", "FOR",    "LOCK",  "WINDOW", "RETURNING", "OFFSET", "FETCH"};
  if (token.kind != TTokenKind::kWord) return false;
  for (const std::string_view word : kWords) {
    if (SameText(token.text, word)) return true;
  }
  return false;
}

// Index of the token after the parenthesis group that opens at open_index.
std::size_t SkipGroup(const std::vector<TToken>& tokens, std::size_t open_index) {
  int depth = 0;
  std::size_t index = open_index;
  for (; index < tokens.size(); ++index) {
    if (IsSymbol(tokens[index], '(')) {
      ++depth;
    } else if (IsSymbol(tokens[index], ')')) {
      if (--depth == 0) return index + 1;
    }
  }
  return index;
}

bool IsName(const TToken& token) {
  return token.kind == TTokenKind::kWord || token.kind == TTokenKind::kQuotedName;
}

// Reads the table list that starts at index; returns the index where the
// clause ends.
std::size_t ReadTableList(const std::vector<TToken>& tokens, std::size_t index,
                          std::vector<TTableReference>& tables) {
  bool expect_table = true;
  while (index < tokens.size()) {
    const TToken& token = tokens[index];
    if (IsSymbol(token, '(')) {
      index = SkipGroup(tokens, index);  // derived table, join condition, index hint
      expect_table = false;
      continue;
    }
    if (IsSymbol(token, ')') || IsSymbol(token, ';') || EndsFromClause(token)) return index;
    if (expect_table && IsName(token)) {
      TTableReference table;
      table.Name = token.text;
      ++index;
      if (index + 1 < tokens.size() && IsSymbol(tokens[index], '.') && IsName(tokens[index + 1])) {
        table.Database = std::move(table.Name);
        table.Name = tokens[index + 1].text;
        index += 2;
      }
      const bool dual =
          token.kind == TTokenKind::kWord && table.Database.empty() && SameText(table.Name, "DUAL");
      if (!dual) tables.push_back(std::move(table));
      expect_table = false;
      continue;
    }
    if (IsSymbol(token, ',') || IsWord(token, "JOIN") || IsWord(token, "STRAIGHT_JOIN")) {
      expect_table = true;
    }
    ++index;
  }
  return index;
}

}  // namespace

std::vector<TTableReference> TablesInFromClause(std::string_view prepared_statement) {
  const std::vector<TToken> tokens = Tokenize(prepared_statement);
  std::size_t first = 0;
  while (first < tokens.size() && IsSymbol(tokens[first], '(')) ++first;
  std::vector<TTableReference> tables;
  if (first >= tokens.size() || !(IsWord(tokens[first], "SELECT") || IsWord(tokens[first], "WITH"))) {
    return tables;
  }

  // The outer level lies inside the parentheses that wrap the whole statement.
  const int outer_depth = static_cast<int>(first);
  int depth = 0;
  std::size_t index = 0;
  while (index < tokens.size()) {
    const TToken& token = tokens[index];
    if (IsSymbol(token, '(')) {
      ++depth;
    } else if (IsSymbol(token, ')')) {
      --depth;
    } else if (IsWord(token, "FROM") && depth <= outer_depth) {
      index = ReadTableList(tokens, index + 1, tables);
      continue;
    }
    ++index;
  }
  return tables;
}

std::string ReadQuotedText(std::string_view text, std::size_t& position, char quote) {
  std::string result;
  while (position < text.size()) {
    if (text[position] == quote) {
      if (position + 1 < text.size() && text[position + 1] == quote) {
        result += quote;
        position += 2;
        continue;
      }
      ++position;
      break;
    }
    result += text[position++];
  }
  return result;
}

}  // namespace velmora
