#include "RealPath.h"

#include <climits>
#include <cstdlib>

std::string RealPath(const std::string& path)
{
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) != nullptr ? std::string(real) : std::string();
}
