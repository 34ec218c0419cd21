#include "FileDigest.h"

#include "TextFormat.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <fstream>
#include <vector>

Sha256::Sha256() : m_sha(av_sha_alloc())
{
    if (m_sha != nullptr)
        av_sha_init(m_sha, 256);
}

Sha256::~Sha256()
{
    av_free(m_sha);
}

void Sha256::Update(const std::uint8_t* data, std::size_t size)
{
    if (m_sha != nullptr)
        av_sha_update(m_sha, data, size);
}

std::string Sha256::Hex()
{
    if (m_sha == nullptr)
        return std::string();
    std::uint8_t value[32];
    av_sha_final(m_sha, value);
    std::string hex;
    for (std::uint8_t byte : value)
        hex += StrFormat("%02x", byte);
    return hex;
}

bool DigestFile(const std::string& path, FileDigest* digest)
{
    Sha256 sha;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<char> buffer(1 << 20);
    digest->bytes = 0;
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        sha.Update(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(in.gcount()));
        digest->bytes += in.gcount();
    }
    if (in.bad())
        return false;
    digest->hex = sha.Hex();
    return !digest->hex.empty();
}

// A name with a backslash or a line break is escaped the way sha256sum
// writes and reads it: a backslash before the line, \\ and \n in the name.
std::string ChecksumLine(const FileDigest& digest, const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string escaped;
    for (char c : name)
        escaped += c == '\\' ? std::string("\\\\") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return (escaped == name ? "" : "\\") + digest.hex + "  " + escaped + "\n";
}
