#include "FileDigest.h"

#include "TextFormat.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <fstream>
#include <memory>
#include <vector>

bool DigestFile(const std::string& path, FileDigest* digest)
{
    std::unique_ptr<AVSHA, void (*)(void*)> sha(av_sha_alloc(), &av_free);
    std::ifstream in(path, std::ios::binary);
    if (!sha || !in || av_sha_init(sha.get(), 256) < 0)
        return false;
    std::vector<char> buffer(1 << 20);
    digest->bytes = 0;
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        av_sha_update(sha.get(), reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<unsigned>(in.gcount()));
        digest->bytes += in.gcount();
    }
    if (in.bad())
        return false;
    std::uint8_t value[32];
    av_sha_final(sha.get(), value);
    digest->hex.clear();
    for (std::uint8_t byte : value)
        digest->hex += StrFormat("%02x", byte);
    return true;
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
