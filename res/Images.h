// The program's pictures, drawn for it at the sizes its windows use.
#pragma once

#include <QImage>

QImage AppIconImage();        // 32 × 32, the application icon
QImage TitleImage();          // 151 × 50, product name and tagline
QImage HouseImage();          // 91 × 85
QImage HelpButtonImage();     // 32 × 32, "HELP"
QImage SplashImage();         // 497 × 302, three interlaced rings on white
QImage ProductIconImage();    // 65 × 65, a figure on four coloured tiles
QImage DownloadImage();       // 184 × 54, orange download button
QImage StopButtonImage();     // 16 × 16, a square
QImage PauseButtonImage();    // 16 × 16, two bars
QImage PlayButtonImage();     // 16 × 16, a triangle

// Makes the embedded welcome page (qrc:/miniWelcome.html) available; the
// resource lives in a static library, so its users call this once.
void InitWelcomeResources();
