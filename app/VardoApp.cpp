#include "VardoApp.h"

#include "ExitSignals.h"
#include "ResString.h"
#include "VardoDlg.h"

#include <QFont>
#include <QSettings>

CvardoApp::CvardoApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromStdString(LoadResString(AFX_IDS_APP_TITLE)));
    setOrganizationName(QString());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    setFont(font);
}

int CvardoApp::InitInstance()
{
    CvardoDlg dialog;
    ExitSignals exitSignals;
    connect(&exitSignals, &ExitSignals::ExitRequested, &dialog, &CvardoDlg::RequestClose);
    dialog.DoModal();
    return 0;
}
