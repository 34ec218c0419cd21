#include "HistoryWriter.h"
#include "ErrorLog.h"

#include "WorkerStop.h"

#include "Database.h"
#include "JetDialect.h"

#include <cstdio>
#include <pthread.h>

std::string HistoryRowStatement(const std::string& path)
{
    return StrFormat("select * from video_save_history where video_save_path='%s'", SqlText(path).c_str());
}

std::string FolderRowsClause(const std::string& root)
{
    const std::string quoted = SqlText(root);
    return StrFormat("video_save_path>='%s/' and video_save_path<'%s0'", quoted.c_str(), quoted.c_str());
}

bool WriteHistoryRow(const HistoryRow& row)
{
    RecordsetPtr rs = OpenRecordset(HistoryRowStatement(row.path));
    if (!rs)
        return false;
    if (!rs->IsEOF())
        return true;
    rs->AddNew();
    rs->SetField("capdrive", std::int64_t{row.camera});
    rs->SetField("capdrive_name", std::string());
    rs->SetField("video_save_path", row.path);
    rs->SetField("start_time", FormatLocalTime("%Y-%m-%d %H:%M:%S", row.startTime));
    const bool written = rs->Update();
    rs->Close();
    return written;
}

HistoryWriter& HistoryWriter::Instance()
{
    static HistoryWriter writer;
    return writer;
}

void HistoryWriter::Submit(HistoryRow row)
{
    SubmitWrite([row = std::move(row)] { return WriteHistoryRow(row); });
}

void HistoryWriter::SubmitWrite(std::function<bool()> write)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rows.push_back(std::move(write));
    if (!m_thread.joinable()) {
        m_stopping = false;
        m_thread = std::thread(&HistoryWriter::Run, this);
    }
    m_changed.notify_all();
}

bool HistoryWriter::WaitUntilWritten(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_rows.empty(); });
}

std::size_t HistoryWriter::Pending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rows.size();
}

void HistoryWriter::Stop()
{
    StopWorkerThread(m_mutex, m_changed, m_stopping, m_thread);
}

void HistoryWriter::Run()
{
    pthread_setname_np(pthread_self(), "history-rows");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        if (m_rows.empty()) {
            m_changed.wait(lock, [this] { return m_stopping || !m_rows.empty(); });
            continue;
        }
        if (!WriteFront(lock))
            m_changed.wait_for(lock, m_retryPeriod, [this] { return m_stopping; });
    }
    TryRemaining(lock);
}

// The database is used without the lock held, so cameras never wait for it.
bool HistoryWriter::WriteFront(std::unique_lock<std::mutex>& lock)
{
    const std::function<bool()> write = m_rows.front();
    lock.unlock();
    const bool written = write();
    m_failing.store(!written, std::memory_order_relaxed);
    lock.lock();
    if (written) {
        m_rows.pop_front();
        m_changed.notify_all();
    }
    return written;
}

void HistoryWriter::TryRemaining(std::unique_lock<std::mutex>& lock)
{
    while (!m_rows.empty() && WriteFront(lock)) {
    }
    if (!m_rows.empty())
        LogError("%zu history rows could not be written; they are added at the next start\n",
                     m_rows.size());
    m_rows.clear();
    m_changed.notify_all();
}
