// The statements of the program are written in the Jet (Access) dialect; these
// helpers turn them into SQLite statements and make texts safe to substitute.
#pragma once

#include <string>

// Rewrites Left(x,n) (any letter case) into substr(x,1,n). Text inside quoted
// literals and identifiers is left alone. SQLite reads LEFT as a join keyword,
// so without this every date statement fails to prepare.
std::string TranslateJetSql(const std::string& sql);

// The text with every single quote doubled, for use inside '...' literals.
std::string SqlText(const std::string& text);
