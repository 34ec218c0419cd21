// The main window's status box: the start-up log (its steps, each line
// ended by "\r\n"), then the events after it, each with its time, the
// newest at the bottom and in view.
#pragma once

#include <QString>
#include <QStringList>

class QPlainTextEdit;

class EventLog {
public:
    explicit EventLog(QPlainTextEdit* box) : m_box(box) {}

    // A start-up step's text, shown at once.
    void AddStep(const char* text);
    // One line with the time now; the oldest go beyond 200.
    void AddEvent(const QString& text);

    const QString& StartupText() const { return m_startup; }
    const QStringList& Events() const { return m_events; }
    void Show();

private:
    static constexpr int kMaxEvents = 200;

    QPlainTextEdit* m_box;  // the window's
    QString m_startup;
    QStringList m_events;
};
