// SHA-256 of files and their sha256sum lines: what lets anyone check later
// that a clip, its report or a source recording is the one exported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct FileDigest {
    std::string hex;         // 64 lowercase hex digits
    std::int64_t bytes = 0;  // how many were read (a recording may still grow)
};

// SHA-256 of bytes given a piece at a time, as they are read for other work.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void Update(const std::uint8_t* data, std::size_t size);
    // The 64 lowercase hex digits; call once, after the last Update.
    std::string Hex();

private:
    struct AVSHA* m_sha;
};

// False when the file cannot be read.
bool DigestFile(const std::string& path, FileDigest* digest);

// "HEX  NAME\n", the line `sha256sum -c` checks for a file NAME beside it.
std::string ChecksumLine(const FileDigest& digest, const std::string& path);
