#include "mysql/statement_text.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace velmora {
namespace {

TEST(PrepareStatement, CollapsesBlanksOutsideQuotesOnly) {
  EXPECT_EQ(PrepareStatement("select  a,\tb\r\n from   t"), "select a, b from t");
  EXPECT_EQ(PrepareStatement("select 'a   b', \"c \t d\" from t"), "select 'a   b', \"c \t d\" from t");
  // An escaped quote does not end the string.
  EXPECT_EQ(PrepareStatement("select 'it\\'s   here'  from t"), "select 'it\\'s   here' from t");
  // Backquoted names keep their blanks: a table named "two  blanks" stays that table.
  EXPECT_EQ(PrepareStatement("select * from `two  blanks`"), "select * from `two  blanks`");
}

TEST(PrepareStatement, RemovesTrailingSemicolonsAndBlanks) {
  EXPECT_EQ(PrepareStatement("  select 1 ;; \n"), "select 1");
  EXPECT_EQ(PrepareStatement("select ';'"), "select ';'");
}

TEST(PrepareStatement, EmptyTextRaisesEmptyQuery) {
  for (const char* text : {"", "   \r\n\t", ";", " ; ; ", "-- only a comment", "# remark\n"}) {
    try {
      PrepareStatement(text);
      ADD_FAILURE() << "no error for \"" << text << "\"";
    } catch (const EVelmoraError& error) {
      EXPECT_STREQ(error.what(), "Empty Query");
    }
  }
}

// Regression: joining the lines of a query made a comment at the end of its
// first line swallow the rest of the statement.
TEST(PrepareStatement, LineCommentsDoNotSwallowTheFollowingLines) {
  EXPECT_EQ(PrepareStatement("select a -- the key\nfrom t # all rows\nwhere a > 1"),
            "select a from t where a > 1");
  EXPECT_EQ(PrepareStatement("select '-- not a comment', \"# nor this\", `odd#name` from t"),
            "select '-- not a comment', \"# nor this\", `odd#name` from t");
  // "--" without a blank after it is two minus signs.
  EXPECT_EQ(PrepareStatement("select 5--1"), "select 5--1");
  // Quotes inside a block comment open nothing; the comment itself is kept.
  EXPECT_EQ(PrepareStatement("select 1 /* it's */ -- x\n, 2"), "select 1 /* it's */ , 2");
}

TEST(ServerVersionNumber, ReadsTheLeadingVersion) {
  EXPECT_EQ(ServerVersionNumber("3.23.06"), 32306);
  EXPECT_EQ(ServerVersionNumber("4.0.18"), 40018);
  EXPECT_EQ(ServerVersionNumber("4.1.7-standard"), 40107);
  EXPECT_EQ(ServerVersionNumber("4.1.22-log"), 40122);
  EXPECT_EQ(ServerVersionNumber("3.23.58"), 32358);
  EXPECT_EQ(ServerVersionNumber("3.22.32"), 32232);
  EXPECT_EQ(ServerVersionNumber(""), 0);
  EXPECT_EQ(ServerVersionNumber("MariaDB"), 0);
}

// Regression: all digits of a modern version text made an eleven-digit number
// that overflowed, and table names went out unquoted.
TEST(ServerVersionNumber, ModernVersionTextsStayInRange) {
  EXPECT_EQ(ServerVersionNumber("10.11.19-MariaDB-0+deb12u1"), 101119);
  EXPECT_EQ(ServerVersionNumber("8.0.36-0ubuntu0.22.04.1"), 80036);
  EXPECT_EQ(ServerVersionNumber("99999999999999"), INT_MAX);
}

// Regression: the last group was padded only when a character followed it, so
// "8.4.3" gave 8043, below the quoting version, and names went out unquoted.
TEST(ServerVersionNumber, LastGroupIsPaddedAtTheEndOfTheText) {
  EXPECT_EQ(ServerVersionNumber("8.4.3"), 80403);
  EXPECT_EQ(ServerVersionNumber("5.7.9"), 50709);
  EXPECT_EQ(ServerVersionNumber("9.1.0"), 90100);
  EXPECT_EQ(QuoteTableName("my table", ServerVersionNumber("8.4.3")), "`my table`");
}

// Regression: a name the caller had already quoted was quoted a second time.
TEST(QuoteTableName, AlreadyQuotedNamePassesUnchanged) {
  EXPECT_EQ(QuoteTableName("`orders`", 101119), "`orders`");
  EXPECT_EQ(QuoteTableName("`a``b`", 101119), "`a``b`");
  // Not a well-formed quoted name: quoted as any other text.
  EXPECT_EQ(QuoteTableName("`a`b`", 101119), "```a``b```");
}

TEST(QuoteTableName, QuotesFromVersion32306) {
  EXPECT_EQ(QuoteTableName("orders", 40018), "`orders`");
  EXPECT_EQ(QuoteTableName("a`b", 40018), "`a``b`");
  EXPECT_EQ(QuoteTableName("my table", 32306), "`my table`");
  EXPECT_EQ(QuoteTableName("orders", 32305), "orders");
  EXPECT_EQ(QuoteTableName("orders", 32232), "orders");
}

TEST(MetadataStatements, ListColumnsAndIndexesOfAQuotedTable) {
  EXPECT_EQ(ColumnListingStatement({"", "a`b"}, 101119), "SHOW FULL COLUMNS FROM `a``b`");
  EXPECT_EQ(ColumnListingStatement({"shop", "orders"}, 101119, "id"),
            "SHOW FULL COLUMNS FROM `shop`.`orders` LIKE \"id\"");
  EXPECT_EQ(IndexListingStatement({"", "orders"}, 32232), "SHOW INDEX FROM orders");
}

TEST(TablesInFromClause, FindsTheTablesOfTheOuterFromClauses) {
  using Tables = std::vector<TTableReference>;
  EXPECT_EQ(TablesInFromClause("select * from t"), (Tables{{"", "t"}}));
  EXPECT_EQ(TablesInFromClause("SELECT a FROM t1 x, `odd ``name` AS y WHERE a IN (SELECT b FROM inner_t)"),
            (Tables{{"", "t1"}, {"", "odd `name"}}));
  EXPECT_EQ(
      TablesInFromClause("select * from shop.orders o left outer join `shop`.`items` i on (o.id = i.id) "
                         "join c using (id) order by 1"),
      (Tables{{"shop", "orders"}, {"shop", "items"}, {"", "c"}}));
  EXPECT_EQ(TablesInFromClause("select a from t1 union select b from t2 limit 3"),
            (Tables{{"", "t1"}, {"", "t2"}}));
  EXPECT_EQ(TablesInFromClause("(select a from t1) union (select b from t2)"),
            (Tables{{"", "t1"}, {"", "t2"}}));
  EXPECT_EQ(TablesInFromClause("with c as (select * from base) select * from c"), (Tables{{"", "c"}}));
}

TEST(TablesInFromClause, SkipsWhatNamesNoTable) {
  EXPECT_TRUE(TablesInFromClause("select 1").empty());
  EXPECT_TRUE(TablesInFromClause("select 1 from dual").empty());
  EXPECT_TRUE(TablesInFromClause("select * from (select 1 as a) derived").empty());
  EXPECT_TRUE(TablesInFromClause("select extract(year from d), trim(leading 'x' from s)").empty());
  EXPECT_TRUE(TablesInFromClause("show tables from shop").empty());
  EXPECT_TRUE(TablesInFromClause("select 'from t' as x").empty());
}

}  // namespace
}  // namespace velmora
