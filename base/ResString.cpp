#include "ResString.h"

#include "StringTable.h"

std::string LoadResString(unsigned id)
{
    for (const StringTableEntry* e = kStringTable; e->text != nullptr; ++e) {
        if (e->id == id)
            return e->text;
    }
    return {};
}
