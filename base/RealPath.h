// A path as the file system resolves it.
#pragma once

#include <string>

// `path` with `..` and links resolved; empty when it does not exist.
std::string RealPath(const std::string& path);
