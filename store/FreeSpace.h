// The free space kept on the recording folder's file system. When it falls
// below the setting plus a headroom (what the cameras write in two minutes,
// from the measured write rate), the oldest recordings (by start time, any
// camera) are deleted, file then row, until it is back; a file being
// written is never deleted. Runs on the interface thread, every minute, every
// few seconds while space is short, and at once when a recording write finds
// the disk full.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct SpaceInfo {
    std::uint64_t freeBytes = 0;   // available to the program
    std::uint64_t totalBytes = 0;  // size of the file system
};
using SpaceProbe = std::function<std::optional<SpaceInfo>(const std::string& folder)>;

// statvfs of the folder; nullopt when the folder cannot be looked at.
std::optional<SpaceInfo> ReadSpace(const std::string& folder);

inline constexpr std::uint64_t kMiB = 1024 * 1024;
inline constexpr std::uint64_t kDefaultMinFreeCapMb = 4096;

// The setting's text: nullopt for automatic (empty, or no whole number of
// MiB at all), else the MiB to keep (0: the check is off). A number too
// large for the disk is taken as it is.
std::optional<std::uint64_t> ParseMinFreeSpaceMb(const std::string& text);
// Bytes to keep: the setting, or automatic: the smaller of 5 % of the file
// system and 4096 MiB. A setting not below half of a file system of known
// size (a slip of the finger would empty the disk every minute) counts as
// automatic.
std::uint64_t MinFreeBytes(const std::string& setting, std::uint64_t totalBytes);
// Whether the setting is such a slip for a file system of that size.
bool IsOversizedReserve(const std::string& setting, std::uint64_t totalBytes);

// Deletes the oldest recordings until the folder's file system has the free
// space the setting asks for plus `headroom` bytes (together at most half the
// file system). The number of files deleted.
int RunFreeSpaceSweep(const std::string& root, const std::string& setting, const SpaceProbe& probe = ReadSpace,
                      std::uint64_t headroom = 0);
// Whether less than the reserve and two headrooms is free: time to look
// again within seconds rather than a minute.
bool IsSpaceShort(const std::string& root, const std::string& setting, std::uint64_t headroom,
                  const SpaceProbe& probe = ReadSpace);

// Bytes written into recordings (any thread).
void CountWrittenBytes(std::uint64_t bytes);

// The cameras' write rate in bytes a second, measured between calls from
// what CountWrittenBytes counted, smoothed over the last minutes.
class WriteRate {
public:
    double Measure(std::chrono::steady_clock::time_point now);

private:
    std::uint64_t m_lastBytes = 0;
    std::chrono::steady_clock::time_point m_last{};
    double m_rate = -1;
};

// A write found the disk full (any thread); the interface thread takes the
// request and sweeps at once.
void RequestFreeSpace();
bool TakeFreeSpaceRequest();
