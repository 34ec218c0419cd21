#include "VardoApp.h"

#include "ExitSignals.h"
#include "FileSyncer.h"
#include "HistoryWriter.h"
#include "ResString.h"
#include "VardoDlg.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>

CvardoApp::CvardoApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromStdString(LoadResString(AFX_IDS_APP_TITLE)));
    setOrganizationName(QString());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(9);
    setFont(font);
    if (LoadQtTranslations(&m_qtTranslator))
        installTranslator(&m_qtTranslator);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));  // Qt's own texts and dates, whatever LANG is
}

bool CvardoApp::LoadQtTranslations(QTranslator* translator)
{
    return translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

int CvardoApp::InitInstance()
{
    // Caught before the window exists, so a signal at any point of the
    // start-up ends the program the normal way.
    ExitSignals exitSignals;
    CvardoDlg dialog;
    connect(&exitSignals, &ExitSignals::ExitRequested, &dialog, &CvardoDlg::RequestClose);
    dialog.DoModal();
    // Every camera has ended its file: the last rows and syncs go out before
    // the process does.
    FileSyncer::Instance().Stop();
    HistoryWriter::Instance().Stop();
    return 0;
}
