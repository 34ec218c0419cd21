// CvardoApp: the application object. It names the program Lumaro (message
// box caption and profile key), runs the main window modally and ends.
#pragma once

#include <QApplication>

class CvardoApp : public QApplication {
    Q_OBJECT
public:
    CvardoApp(int& argc, char** argv);

    // Runs the main window; the process exit code.
    int InitInstance();
};
