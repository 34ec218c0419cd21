// Where one camera's coded bytes go: the recording folder's readiness, the
// file of each recording (under a free name, with its history row), and
// what the disk does to it: a full disk ends the file and waits for room,
// a failing disk or a folder out of reach is tried again once a second.
// Its state is what the camera's panel shows; any thread may read it.
#pragma once

#include "RecordState.h"
#include "RecordingFile.h"
#include "TextFormat.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

class RecordingTarget {
public:
    void SetRoot(const std::string& root);
    const std::string& Root() const { return m_root; }
    void SetCamera(int deviceIndex) { m_deviceIndex = deviceIndex; }

    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_file.Path(); }
    RecordState State() const { return m_state.load(std::memory_order_relaxed); }

    // No file is open since the disk was full, and it has no room yet.
    bool AwaitsRoom();
    // No file is open, and a second has passed since the last try.
    bool RetryDue() const { return !m_file.IsOpen() && std::chrono::steady_clock::now() >= m_nextTry; }
    // Ends the file open now and opens the file of a recording that starts
    // at `start`, with its history row; false, with the state saying why,
    // when there is none.
    bool Open(TimeValue start, const char* extension = ".mpg");
    // Bytes the disk refuses end the file at its last whole picture.
    bool Write(const std::uint8_t* data, std::size_t size);
    bool Rewrite(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
    {
        return m_file.Rewrite(offset, data, size);
    }
    std::uint64_t Size() const { return m_file.Size(); }
    RecordingFile::Trouble CheckTrouble() { return m_file.CheckTrouble(); }
    int LastError() const { return m_file.LastError(); }
    // The disk refused the file: it ends, and a new one is tried a second later.
    void EndForError(int error);
    // Writes `endCode` into the file open now and ends it.
    void Close(const std::uint8_t* endCode, std::size_t size);

private:
    void EndForSpace();
    void ReleaseHeldFile();
    bool HasRoomAgain();
    int OpenFreeName(TimeValue start, const char* extension, std::string* path);
    bool FolderReady();
    void ReportFolder(RecordState state);
    void SetState(RecordState state) { m_state.store(state, std::memory_order_relaxed); }

    // While nothing can be recorded (no folder, its disk away or failing), a
    // new file is tried once a second, not at every picture.
    static constexpr std::chrono::seconds kRetryPeriod{1};
    static constexpr std::uint64_t kRoomToResume = 256 * 1024;  // seconds of a camera
    static constexpr int kFreeNameTries = 60;

    RecordingFile m_file;
    std::string m_root;
    int m_deviceIndex = 0;
    std::chrono::steady_clock::time_point m_nextTry{};
    std::string m_heldPath;  // a file ended by a full disk, kept from the sweep until the next one begins
    bool m_awaitingSpace = false;
    int m_lastOpenError = 0;  // errno of the last failed open, reported once
    RecordState m_reportedFolder = RecordState::kRecording;  // the folder's trouble last reported
    std::atomic<RecordState> m_state{RecordState::kIdle};
};
