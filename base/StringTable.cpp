#include "StringTable.h"

const StringTableEntry kStringTable[] = {
    {101, "关于 Lumaro(&A)..."},
    {103, LUMARO_VERSION},  // one version everywhere: the build's
    {105, "是否要删除录像文件？"},
    {57344, "Lumaro"},
    {0, nullptr},
};
