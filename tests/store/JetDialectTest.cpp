#include "JetDialect.h"

#include <gtest/gtest.h>

namespace {

struct Translation {
    const char* jet;
    const char* sqlite;
};

TEST(TranslateJetSql, RewritesLeftOutsideLiterals)
{
    const Translation cases[] = {
        {"select * from t where Left(start_time,10)='2009-11-01'",
         "select * from t where substr(start_time,1,10)='2009-11-01'"},
        {"WHERE left(start_time,10)<='x'", "WHERE substr(start_time,1,10)<='x'"},
        {"LEFT ( a , 3 )", "substr( a ,1, 3 )"},
        {"Left(Left(a,5),2)", "substr(substr(a,1,5),1,2)"},
        {"Left(f(a,b),2)", "substr(f(a,b),1,2)"},
        // Quoted text is data: a path may contain anything.
        {"where p='/x/Left(a,1)' and Left(s,10)='y'", "where p='/x/Left(a,1)' and substr(s,1,10)='y'"},
        {"where p='it''s Left(a,1)'", "where p='it''s Left(a,1)'"},
        {"select \"Left(a,1)\" from t", "select \"Left(a,1)\" from t"},
        // Words that only contain "left", and LEFT without arguments, stay.
        {"select leftover, bleft(a,1) from t", "select leftover, bleft(a,1) from t"},
        {"a LEFT JOIN b", "a LEFT JOIN b"},
        {"Left(a", "Left(a"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TranslateJetSql(c.jet), c.sqlite) << c.jet;
}

TEST(SqlText, DoublesSingleQuotes)
{
    EXPECT_EQ(SqlText("/srv/bob's cams"), "/srv/bob''s cams");
    EXPECT_EQ(SqlText("''"), "''''");
    EXPECT_EQ(SqlText("plain"), "plain");
}

}  // namespace
