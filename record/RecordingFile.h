// One recording file being written. Every write goes straight to the kernel,
// so a killed process leaves all pictures written so far in the file; the
// file syncer pushes the data to the disk every second from its own thread.
// Failures are reported once per file on standard error. A write is whole or
// nothing: one refused part way (a full disk) is cut off again, so the file
// always ends with a whole picture.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

class RecordingFile {
public:
    RecordingFile() = default;
    ~RecordingFile() { Close(); }
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // Creates `path`, which must not exist (a file, a link or anything else
    // of the name is never written). On failure returns the errno value (the
    // caller decides whether to report it) and stays closed.
    int Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // False when the bytes could not all be written; none of them stay.
    bool Write(const std::uint8_t* data, std::size_t size);
    // Writes bytes over some already in the file (a header's field); the
    // file's length stays.
    bool Rewrite(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    std::uint64_t Size() const { return m_size; }
    enum class Trouble {
        kNone,
        kRemoved,     // no name left: the file or its folder was deleted
        kOutOfReach,  // its path leads elsewhere now: its disk was unmounted
        kDiskError,   // the disk refused to keep its data (LastError)
    };
    // What would lose what is written now; looked at once a second at most.
    Trouble CheckTrouble();
    // The error of the last write the disk refused, or of the last sync.
    int LastError() const { return m_lastError; }
    void Close();

private:
    void ReportOnce(const char* what, int error);

    int m_fd = -1;
    std::string m_path;
    std::uint64_t m_size = 0;  // bytes in the file
    bool m_reported = false;
    int m_lastError = 0;
    std::uint64_t m_syncTicket = 0;
    std::chrono::steady_clock::time_point m_lastLinkCheck;
};
