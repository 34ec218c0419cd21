// Answers the modal dialogs that open while it lives, as a user would close
// them: it notes what each one was (a message box's text, else the dialog's
// class name), lets the test look at the moment through a hook, and closes it.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QDialog;

class ModalAnswerer : public QObject {
public:
    using Hook = std::function<void(QDialog*)>;
    explicit ModalAnswerer(Hook hook = {});

    const std::vector<QString>& Seen() const { return m_seen; }
    int Count(const QString& what) const;

private:
    void Answer();

    Hook m_hook;
    QTimer m_timer;
    std::vector<QString> m_seen;
};
