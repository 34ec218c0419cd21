// Helpers shared by the program's dialogs: labels, coloured headings, message boxes.
#pragma once

#include <QFileDialog>

// Qt's own file dialog, in Chinese from Qt's translations whatever the
// desktop's language; a desktop's native dialog follows LANG.
inline constexpr QFileDialog::Option kQtFileDialog = QFileDialog::DontUseNativeDialog;

#include "DialogUnits.h"

#include <QColor>
#include <QLabel>
#include <QString>

#include <functional>

class QDialog;
class QDialogButtonBox;
class QKeyEvent;
class QWidget;

// A plain label at a template position.
QLabel* AddLabel(QWidget* parent, const QString& text, const QRect& geometry);
// A heading strip: white text on the blue (68, 154, 232) brush, vertically centred.
QLabel* AddHeading(QWidget* parent, const QString& text, const QRect& geometry,
                   QColor background = QColor(68, 154, 232), QColor textColour = Qt::white);
void SetBackground(QWidget* widget, QColor colour);

// Message boxes captioned Lumaro: OK with a warning or an information icon;
// Yes/No with a question, Yes by default unless `defaultNo`.
void MessageBoxWarning(QWidget* parent, const QString& text);
void MessageBoxInformation(QWidget* parent, const QString& text);
// A warning that does not wait for an answer: what happens goes on meanwhile.
void ShowNotice(QWidget* parent, const QString& text);
bool MessageBoxYesNo(QWidget* parent, const QString& text, bool defaultNo = false);

// 确定 and 取消 under a laid-out dialog: 确定 calls `ok` (which accepts when
// it likes), 取消 rejects.
QDialogButtonBox* AddOkCancel(QDialog* dialog, std::function<void()> ok);

// Return or the keypad's Enter, without modifiers: a dialog's standard OK.
bool IsEnterKey(const QKeyEvent* e);
