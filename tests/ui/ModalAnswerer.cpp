#include "ui/ModalAnswerer.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

#include <algorithm>

ModalAnswerer::ModalAnswerer(Hook hook) : m_hook(std::move(hook))
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::Answer);
    m_timer.start(20);
}

int ModalAnswerer::Count(const QString& what) const
{
    return static_cast<int>(std::count(m_seen.begin(), m_seen.end(), what));
}

void ModalAnswerer::Answer()
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || dialog->inherits("CvardoDlg"))
        return;  // the main window runs modally itself
    if (auto* box = qobject_cast<QMessageBox*>(dialog))
        m_seen.push_back(box->text());
    else
        m_seen.push_back(QString::fromLatin1(dialog->metaObject()->className()));
    if (m_hook)
        m_hook(dialog);
    if (dialog->isVisible())  // the hook may have answered it already
        dialog->done(QDialog::Rejected);
}
