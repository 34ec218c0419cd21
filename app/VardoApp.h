// CvardoApp: the application object. It names the program Lumaro (message
// box caption and profile key), runs the main window modally and ends.
#pragma once

#include <QApplication>
#include <QTranslator>

class CvardoApp : public QApplication {
    Q_OBJECT
public:
    CvardoApp(int& argc, char** argv);

    // Runs the main window; the process exit code.
    int InitInstance();

    // Qt's own texts (message-box buttons, the folder browser, context
    // menus) in Simplified Chinese, from the system's Qt translations; false
    // when they are not installed, and Qt's English stays.
    static bool LoadQtTranslations(QTranslator* translator);

private:
    QTranslator m_qtTranslator;
};
