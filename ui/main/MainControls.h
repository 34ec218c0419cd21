// The main window's canvas and its controls in their template places: the
// command buttons, the help button, the status box, the clock, the banner,
// and the title picture, the house and the frames of the right-hand column.
#pragma once

#include <QString>

class CETBitmapButton;
class CETButton;
class CExplorer1;
class QLabel;
class QDialog;
class QPlainTextEdit;
class QWidget;

// The window's content keeps its size and place on a canvas: where the
// screen is smaller than the window (a high-DPI screen, a scale factor) the
// canvas scrolls in the window, which fits the screen, rather than being
// cut off. The canvas is owned by `window`'s scroll area.
QWidget* CreateMainCanvas(QDialog* window);

struct MainControls {
    CETButton* start = nullptr;
    CETButton* stop = nullptr;
    CETButton* query = nullptr;
    CETButton* settings = nullptr;
    CETButton* about = nullptr;
    CETBitmapButton* help = nullptr;
    QPlainTextEdit* logBox = nullptr;
    QLabel* clock = nullptr;
    CExplorer1* browser = nullptr;
};

// Every control is a child of `canvas`.
MainControls CreateMainControls(QWidget* canvas);

// The banner's pages: the remote one (without the version query) and the
// embedded one it falls back to.
namespace WelcomeAddresses {
QString Remote();
QString Local();
}  // namespace WelcomeAddresses
