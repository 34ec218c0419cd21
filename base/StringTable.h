// The program's string table: numeric ids to UTF-8 texts.
#pragma once

struct StringTableEntry {
    unsigned id;
    const char* text;
};

// Entries sorted by id; the last entry has id 0 and a null text.
extern const StringTableEntry kStringTable[];
