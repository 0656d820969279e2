#pragma once

#include <charconv>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>

// Escaping of values for the grammars of the output formats. Each helper
// appends to out, so a row is built in one reused string; texts are UTF-8 and
// bytes that are not special in the grammar pass unchanged (character-set
// conversion is a later step, see TTextEncoder).
namespace velmora {

// ---------------------------------------------------------------------------
// Quote doubling: CSV and DIF fields, SQL identifiers

// text with every quote doubled.
void AppendQuoteDoubled(std::string& out, std::string_view text, char quote);
// quote, text with every quote doubled, quote.
void AppendQuoted(std::string& out, std::string_view text, char quote);

// ---------------------------------------------------------------------------
// Markup. Control characters that the grammar cannot hold at all (XML 1.0:
// every C0 control but TAB, LF and CR, and U+FFFE, U+FFFF; HTML: every C0
// control but TAB, LF, FF and CR, DEL and the C1 controls) become U+FFFD; each
// helper returns how many it replaced.

// XML character data: & < > as entities, CR as &#13; (a parser would turn a raw
// CR LF into LF).
std::size_t AppendXmlText(std::string& out, std::string_view text);
// An XML attribute value between double quotes: as text, plus " as &quot; and
// LF and TAB as &#10; and &#9; (a parser would turn raw ones into blanks).
std::size_t AppendXmlAttribute(std::string& out, std::string_view text);
// HTML text: & < > as entities; line breaks and tabs stay as they are.
std::size_t AppendHtmlText(std::string& out, std::string_view text);
// An HTML attribute value between double quotes: as text, plus " as &quot;.
std::size_t AppendHtmlAttribute(std::string& out, std::string_view text);

// ---------------------------------------------------------------------------
// Style sheets

// A font list of a font-family declaration: letters, digits, non-ASCII
// characters, blanks, "," "." "-" "_" and quotes as they are; every other
// character as a CSS escape ("\3C " for "<"), so that the text can neither
// end its declaration or rule nor the style element around it.
void AppendCssFontFamily(std::string& out, std::string_view text);
// The inside of an unquoted url(...): the characters of a URL that such a
// token may hold as they are; blanks, quotes, parentheses, backslashes, "<",
// ">" and control characters as CSS escapes.
void AppendCssUrl(std::string& out, std::string_view text);

// ---------------------------------------------------------------------------
// SQL

// A string literal in single quotes for a server that reads backslash
// escapes: \ as \\, NUL as \0, CR as \r, LF as \n, ' doubled.
void AppendSqlString(std::string& out, std::string_view text);
// AppendSqlString when text is valid UTF-8; else false, and out is left as it was.
bool AppendSqlStringIfUtf8(std::string& out, std::string_view text);
// A name in backquotes, backquotes inside doubled.
inline void AppendSqlIdentifier(std::string& out, std::string_view name) {
  AppendQuoted(out, name, '`');
}

// ---------------------------------------------------------------------------
// JSON

// A JSON string in double quotes: " and \ escaped with a backslash, the C0
// controls as \b \f \n \r \t or \u00XX; every other character as it is.
// Each sequence that is not valid UTF-8 becomes U+FFFD (a JSON text is
// UTF-8); returns how many it replaced.
std::size_t AppendJsonString(std::string& out, std::string_view text);
// True when text is a number of the JSON grammar: an optional "-", no
// leading zero, an optional fraction and exponent ("0", "-1.50", "2E+7").
bool IsJsonNumber(std::string_view text);

// ---------------------------------------------------------------------------
// Binary data

// The base64 form of bytes (the standard alphabet, "=" padding, no line breaks).
void AppendBase64(std::string& out, std::string_view bytes);
// "0x" and two upper-case hexadecimal digits per byte; nothing for no bytes.
void AppendHexBytes(std::string& out, std::string_view bytes);

// ---------------------------------------------------------------------------
// Numbers

// The decimal digits of value, "-" first when negative; no grouping, no plus,
// no leading zeros, whatever the locale.
template <std::integral Integer>
void AppendInteger(std::string& out, Integer value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

}  // namespace velmora
