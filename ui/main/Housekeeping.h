// The main window's periodic work on the recordings and the database:
// once a second the database's state and the disk's free space, once a
// minute the retention sweep (in batches), the database file and the
// recording folder's lock and disk. What it finds goes into the status
// box; what the user must act on also in a message that does not block.
#pragma once

#include "FreeSpace.h"
#include "RetentionSweep.h"

#include <QString>

#include <string>

class EventLog;
class QWidget;

class Housekeeping {
public:
    // `window` is the parent of the messages.
    Housekeeping(EventLog& log, QWidget* window) : m_log(log), m_window(window) {}

    // The retention days and the space reserve, read again after every
    // use of the settings dialog; no free-space sweep before.
    void ReadSettings();
    const QString& RetentionDays() const { return m_retentionDays; }

    // `spaceAsked`: a camera found its disk full.
    void EverySecond(const std::string& root, bool spaceAsked);
    // True when a retention sweep has begun and has batches left (SweepStep).
    bool EveryMinute(const std::string& root, TimeValue now);
    // One batch of a large sweep; true while more are left.
    bool SweepStep() { return m_sweep.Step(); }
    bool IsSweeping() const { return m_sweep.IsRunning(); }
    // What the cameras wrote a second over the last minutes; 0 before a measurement.
    double WriteBytesPerSecond() { return m_writeRate.Measure(std::chrono::steady_clock::now()); }
    // A recording folder set but out of reach, told once in the box and
    // in a message.
    void TellRecordingFolder(const std::string& root);

private:
    void WatchDatabase();
    void KeepFreeSpace(const std::string& root);
    void CheckDatabaseFile();
    void WatchRecordingFolder(const std::string& root);

    static constexpr int kSpaceCheckSeconds = 60;
    static constexpr int kShortSpaceCheckSeconds = 5;
    static constexpr double kHeadroomSeconds = 120;

    EventLog& m_log;
    QWidget* m_window;
    CRetentionSweep m_sweep;
    WriteRate m_writeRate;
    QString m_retentionDays;
    QString m_minFreeSpace;
    bool m_settingsRead = false;
    int m_secondsToSpaceCheck = 0;
    bool m_databaseFailing = false;
    bool m_folderTakenTold = false;
};
