// The one writer of history rows. A camera hands the row of a new recording
// file over and goes on at once; a thread of the writer's own writes the rows
// in the order they came and retries a row that the database does not take
// (locked by another program, busy, briefly broken) until it does, also after
// the camera's file was closed. A row keeps its file's own start time however
// late it is written. Rows still pending when the writer stops get one last
// try; what the database refuses then is found again at the next start, from
// the recording files themselves.
#pragma once

#include "TextFormat.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct HistoryRow {
    int camera = 0;  // 1 to 4
    std::string path;
    TimeValue startTime = 0;
};

// The select that finds (or, when empty, lets the writer add) the row of `path`.
std::string HistoryRowStatement(const std::string& path);

// "video_save_path>='<root>/' and video_save_path<'<root>0'": the rows of
// the files directly or deeper in `root` ('0' follows '/'), a range that the
// index on the path serves.
std::string FolderRowsClause(const std::string& root);

// Writes one row now: a new row with the camera, path and start time, or
// nothing when the path has its row already (a continued file keeps its one
// row). False when the database did not take it.
bool WriteHistoryRow(const HistoryRow& row);

class HistoryWriter {
public:
    static HistoryWriter& Instance();
    ~HistoryWriter() { Stop(); }

    // Queues the row and returns at once; never waits on the database.
    void Submit(HistoryRow row);
    // Queues another row's write, tried in order with the rest until it
    // returns true.
    void SubmitWrite(std::function<bool()> write);
    // Waits until every queued row is written, at most `timeout`.
    bool WaitUntilWritten(std::chrono::milliseconds timeout);
    // Ends the thread after one last try of each pending row. Safe to call
    // twice; a later Submit starts the thread again.
    void Stop();
    std::size_t Pending() const;
    // The database refused the last row tried; rows wait until it takes them.
    bool IsFailing() const { return m_failing.load(std::memory_order_relaxed); }
    void SetRetryPeriod(std::chrono::milliseconds period) { m_retryPeriod = period; }

private:
    HistoryWriter() = default;
    void Run();
    bool WriteFront(std::unique_lock<std::mutex>& lock);
    void TryRemaining(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<bool()>> m_rows;  // guarded by m_mutex; the front is being written
    bool m_stopping = false;
    std::atomic<bool> m_failing{false};
    std::chrono::milliseconds m_retryPeriod{1000};
    std::thread m_thread;  // "history-rows"; joined by Stop
};
