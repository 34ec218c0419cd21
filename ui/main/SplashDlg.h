// CSplashDlg: the picture shown while the program starts. Escape does not
// close it; the main window hides and destroys it.
#pragma once

#include <QDialog>

class QLabel;

class CSplashDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSplashDlg(QWidget* owner = nullptr);
    QString VersionLine() const;

protected:
    void reject() override {}

private:
    QLabel* m_version;
};
