#include "Dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QMessageBox>

QLabel* AddLabel(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);  // owned by its parent
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* AddHeading(QWidget* parent, const QString& text, const QRect& geometry, QColor background,
                   QColor textColour)
{
    QLabel* label = AddLabel(parent, text, geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, textColour);
    label->setPalette(palette);
    return label;
}

void SetBackground(QWidget* widget, QColor colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void MessageBoxWarning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Lumaro"), text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowNotice(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Lumaro"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);  // owned by Qt until closed
    box->setModal(false);
    box->show();
}

void MessageBoxInformation(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Lumaro"), text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxYesNo(QWidget* parent, const QString& text, bool defaultNo)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lumaro"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool IsEnterKey(const QKeyEvent* e)
{
    const bool plain = e->modifiers() == Qt::NoModifier ||
                       (e->modifiers() == Qt::KeypadModifier && e->key() == Qt::Key_Enter);
    return plain && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter);
}

QDialogButtonBox* AddOkCancel(QDialog* dialog, std::function<void()> ok)
{
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, std::move(ok));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}
