#include "MainControls.h"

#include "DialogUnits.h"
#include "Dialogs.h"
#include "ETBitmapButton.h"
#include "ETButton.h"
#include "Explorer1.h"
#include "Images.h"
#include "MainCanvas.h"

#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

constexpr auto kFont = TemplateFont::SimSun9;
const QColor kBackground(193, 215, 225);
const QColor kVideoArea(100, 100, 100);
constexpr int kVideoAreaWidth = 652;
// Where the banner asks for its page; a closed local port by default, so a
// machine without a network falls back to the embedded page at once.
const char* const kWelcomeHostVariable = "LUMARO_WELCOME_HOST";
const char* const kDefaultWelcomeHost = "127.0.0.1:9";

void FitToScreen(QDialog* window, const QSize& design)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize room = screen != nullptr ? screen->availableGeometry().size() - QSize(16, 40) : design;
    if (room.width() >= design.width() && room.height() >= design.height())
        return window->setFixedSize(design);
    // A scroll bar one way takes room the other way: the window grows by it
    // where the screen allows, so the content scrolls only one way if it can.
    const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const bool tall = design.height() > room.height();
    const bool wide = design.width() + (tall ? bar : 0) > room.width();
    const QSize wanted(design.width() + (tall ? bar : 0), design.height() + (wide ? bar : 0));
    window->setMaximumSize(wanted);
    window->resize(wanted.boundedTo(room));
}

CETButton* AddButton(QWidget* parent, const char* text, int y)
{
    auto* button = new CETButton(QString::fromUtf8(text), parent);  // owned by the canvas
    button->Bind(DluRect(461, y, 50, 14, kFont));
    return button;
}

void AddGroupBox(QWidget* parent, const QRect& geometry, bool flat)
{
    auto* box = new QGroupBox(parent);  // owned by the canvas
    box->setGeometry(geometry);
    box->setFlat(flat);
    box->lower();
}

// The pictures keep their own size at their template position.
void AddPictures(QWidget* canvas)
{
    AddGroupBox(canvas, DluRect(434, 30, 101, 294, kFont), false);
    AddGroupBox(canvas, DluRect(434, 320, 101, 57, kFont), false);
    AddGroupBox(canvas, DluRect(446, 92, 78, 30, kFont), true);
    const QImage title = TitleImage();
    AddLabel(canvas, QString(), QRect(DluRect(434, 0, 101, 33, kFont).topLeft(), title.size()))
        ->setPixmap(QPixmap::fromImage(title));
    const QImage house = HouseImage();
    AddLabel(canvas, QString(), QRect(DluRect(455, 38, 61, 57, kFont).topLeft(), house.size()))
        ->setPixmap(QPixmap::fromImage(house));
}

QPlainTextEdit* AddLogBox(QWidget* canvas)
{
    auto* box = new QPlainTextEdit(canvas);  // owned by the canvas
    box->setGeometry(DluRect(440, 254, 89, 54, kFont));
    box->setReadOnly(true);
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->viewport()->setAutoFillBackground(false);
    box->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; border: 1px solid gray; }"));
    return box;
}

}  // namespace

MainControls CreateMainControls(QWidget* canvas)
{
    AddPictures(canvas);
    MainControls controls;
    controls.start = AddButton(canvas, "启动监控", 124);
    controls.stop = AddButton(canvas, "停止监控", 141);
    controls.query = AddButton(canvas, "查询历史", 157);
    controls.settings = AddButton(canvas, "设置", 174);
    controls.about = AddButton(canvas, "关于", 191);
    controls.help = new CETBitmapButton(canvas);  // owned by the canvas
    controls.help->setText(QStringLiteral("HELP"));
    controls.help->setGeometry(DluRect(475, 229, 21, 16, kFont));
    controls.logBox = AddLogBox(canvas);
    controls.clock = AddLabel(canvas, QString(), DluRect(465, 100, 54, 18, kFont));
    QPalette clockPalette = controls.clock->palette();
    clockPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    controls.clock->setPalette(clockPalette);
    controls.browser = new CExplorer1(canvas);  // owned by the canvas
    controls.browser->setGeometry(DluRect(0, 324, 434, 52, kFont));
    return controls;
}

QWidget* CreateMainCanvas(QDialog* window)
{
    auto* canvas = new CMainCanvas(kBackground, kVideoArea, kVideoAreaWidth);  // owned by the scroll area
    canvas->setFixedSize(DluX(535), DluY(377, kFont));
    auto* scroll = new QScrollArea(window);  // owned by the window
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(canvas);
    auto* layout = new QVBoxLayout(window);  // owned by the window
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    FitToScreen(window, canvas->size());
    return canvas;
}

QString WelcomeAddresses::Remote()
{
    const char* host = std::getenv(kWelcomeHostVariable);
    if (host == nullptr || *host == '\0')
        host = kDefaultWelcomeHost;
    return QStringLiteral("http://") + QString::fromUtf8(host) + QStringLiteral("/vardo/miniWelcome.asp");
}

QString WelcomeAddresses::Local()
{
    return QStringLiteral("qrc:/miniWelcome.html");
}
