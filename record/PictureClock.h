// The one time rule of a recording: picture n of a file shows the moment
// (its first picture + n / 25 s). The recorder feeds the encoder 25
// pictures a second of wall-clock time, so this holds whatever the camera
// does. The first picture's time lies in the file itself, to the
// microsecond, in a user-data block after its first sequence header, which
// decoders pass over; a file without it (recorded before the block existed)
// starts at the second its name gives. Everything that maps times to
// pictures (player, snapshot, export) goes through these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Microseconds since 1970-01-01 00:00:00 UTC.
using PreciseTime = std::int64_t;

inline constexpr int kRecordingPicturesPerSecond = 25;
inline constexpr PreciseTime kMicrosPerSecond = 1000000;
inline constexpr PreciseTime kPictureInterval = kMicrosPerSecond / kRecordingPicturesPerSecond;

PreciseTime CurrentPreciseTime();

// The moment picture `number` of a file whose first picture is `first` shows.
inline PreciseTime PictureTime(PreciseTime first, long long number)
{
    return first + number * kPictureInterval;
}

// The number of the picture nearest to `moment` (negative before the file).
long long PictureAt(PreciseTime first, PreciseTime moment);

// The whole second of a moment, and its hundredths (0 to 99); moments
// before 1970 round towards the past like positive ones.
std::int64_t WholeSeconds(PreciseTime moment);
int Hundredths(PreciseTime moment);

// "YYYY-MM-DD HH:MM:SS.cc" in local time, to the hundredth.
std::string PreciseText(PreciseTime moment);

// The user-data block (start code 00 00 01 B2) that names the first
// picture's time and says the file holds the scene's true colours; it holds
// only printable characters, so no start code.
std::string FirstPictureMark(PreciseTime first);

// The time in a mark within the first bytes of a stream, if one is there.
std::optional<PreciseTime> FindFirstPictureMark(const std::uint8_t* data, std::size_t size);
// The same as an H.264 SEI message (unregistered user data, with its NAL
// start code), which goes before a transport stream's first picture, and
// the time in such a message within a stream's first video bytes.
std::string H264FirstPictureMark(PreciseTime first);
std::optional<PreciseTime> FindH264FirstPictureMark(const std::uint8_t* data, std::size_t size);
// Whether that mark says true colours. Files recorded before it did hold
// the scene with red and blue exchanged.
bool FindTrueColourMark(const std::uint8_t* data, std::size_t size);

// Where a mark goes into a new file's first coded bytes: before the first
// group-of-pictures header (after the sequence header); `size` when none.
std::size_t FirstPictureMarkPlace(const std::uint8_t* data, std::size_t size);

// A recording's first picture time: the mark of the file, else the start
// its name gives, else nothing.
std::optional<PreciseTime> RecordingFirstPicture(const std::string& path);
// Whether a recording holds the scene's true colours (its mark says so).
bool RecordingHasTrueColours(const std::string& path);
