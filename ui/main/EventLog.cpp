#include "EventLog.h"

#include "TextFormat.h"

#include <QPlainTextEdit>
#include <QScrollBar>

void EventLog::AddStep(const char* text)
{
    m_startup += QString::fromUtf8(text);
    Show();
}

void EventLog::AddEvent(const QString& text)
{
    m_events.append(QString::fromStdString(FormatLocalTime("%H:%M:%S ", CurrentTime())) + text);
    while (m_events.size() > kMaxEvents)
        m_events.removeFirst();
    Show();
}

void EventLog::Show()
{
    QString shown = m_startup;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!m_events.isEmpty())
        shown += m_events.join(QLatin1Char('\n'));
    m_box->setPlainText(shown);
    m_box->moveCursor(QTextCursor::End);
    m_box->ensureCursorVisible();
    m_box->horizontalScrollBar()->setValue(0);
}
