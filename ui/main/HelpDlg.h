// CHelpDlg: the usage tips, with the show-at-start check box whose state is
// stored in the profile (section start, entry show_help) on every click.
#pragma once

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;

class CHelpDlg : public QDialog {
    Q_OBJECT
public:
    explicit CHelpDlg(QWidget* parent = nullptr);
    static QString HelpText();
    static bool ShowAtStart();

protected:
    // Enter closes the tips, as their OK would.
    void keyPressEvent(QKeyEvent* e) override;

private:
    void OnCheckShowHelp();

    QPlainTextEdit* m_text;
    QCheckBox* m_check;
};
