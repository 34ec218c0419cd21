#include "VardoDlg.h"

#include "MainCanvas.h"

#include "FolderLock.h"

#include "AboutDlg.h"
#include "CameraDlg.h"
#include "CameraSources.h"
#include "CameraSourcesDlg.h"
#include "DialogUnits.h"
#include "Dialogs.h"
#include "ETBitmapButton.h"
#include "ETButton.h"
#include "Explorer1.h"
#include "HelpDlg.h"
#include "Images.h"
#include "ResString.h"
#include "Settings.h"
#include "SoftSetDlg.h"
#include "SplashDlg.h"
#include "VideoQueryDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QGuiApplication>
#include <QVBoxLayout>
#include <QScrollArea>
#include <QPlainTextEdit>
#include <QShowEvent>

namespace {

constexpr auto kFont = TemplateFont::SimSun9;
const QColor kBackground(193, 215, 225);
const QColor kVideoArea(100, 100, 100);

CETButton* AddButton(QWidget* parent, const char* text, int y)
{
    auto* button = new CETButton(QString::fromUtf8(text), parent);  // owned by the window
    button->Bind(DluRect(461, y, 50, 14, kFont));
    return button;
}

void AddGroupBox(QWidget* parent, const QRect& geometry, bool flat)
{
    auto* box = new QGroupBox(parent);
    box->setGeometry(geometry);
    box->setFlat(flat);
    box->lower();
}

}  // namespace

CvardoDlg::CvardoDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Lumaro - 您的安防助手"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QPixmap::fromImage(AppIconImage())));
    CreateCanvas();
    for (auto& panel : m_cameraDlg) {
        panel = new CCameraDlg(m_canvas);
        panel->hide();
    }
    CreateControls();
    ConnectCommands();
    ConnectPanelEvents();
}

// The recording folder's lock goes with the window: its cameras are done.
CvardoDlg::~CvardoDlg()
{
    ReleaseCameras();
    FolderLock::Instance().Release();
}

void CvardoDlg::CreateControls()
{
    CreatePictures();
    m_btnStart = AddButton(m_canvas, "启动监控", 124);
    m_btnStop = AddButton(m_canvas, "停止监控", 141);
    m_btnQuery = AddButton(m_canvas, "查询历史", 157);
    m_btnSettings = AddButton(m_canvas, "设置", 174);
    m_btnAbout = AddButton(m_canvas, "关于", 191);
    m_btnHelp = new CETBitmapButton(m_canvas);
    m_btnHelp->setText(QStringLiteral("HELP"));
    m_btnHelp->setGeometry(DluRect(475, 229, 21, 16, kFont));
    m_logBox = new QPlainTextEdit(m_canvas);
    m_logBox->setGeometry(DluRect(440, 254, 89, 54, kFont));
    m_logBox->setReadOnly(true);
    m_logBox->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_logBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_logBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_logBox->viewport()->setAutoFillBackground(false);
    m_logBox->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; border: 1px solid gray; }"));
    m_clock = AddLabel(m_canvas, QString(), DluRect(465, 100, 54, 18, kFont));
    QPalette clockPalette = m_clock->palette();
    clockPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_clock->setPalette(clockPalette);
    m_browser = new CExplorer1(m_canvas);
    m_browser->setGeometry(DluRect(0, 324, 434, 52, kFont));
}

// The title picture, the house and the frames of the right-hand column; the
// pictures keep their own size at their template position.
void CvardoDlg::CreatePictures()
{
    AddGroupBox(m_canvas, DluRect(434, 30, 101, 294, kFont), false);
    AddGroupBox(m_canvas, DluRect(434, 320, 101, 57, kFont), false);
    AddGroupBox(m_canvas, DluRect(446, 92, 78, 30, kFont), true);
    const QImage title = TitleImage();
    AddLabel(m_canvas, QString(), QRect(DluRect(434, 0, 101, 33, kFont).topLeft(), title.size()))
        ->setPixmap(QPixmap::fromImage(title));
    const QImage house = HouseImage();
    AddLabel(m_canvas, QString(), QRect(DluRect(455, 38, 61, 57, kFont).topLeft(), house.size()))
        ->setPixmap(QPixmap::fromImage(house));
}

void CvardoDlg::ConnectCommands()
{
    connect(m_btnStart, &QPushButton::clicked, this, &CvardoDlg::StartMonitoring);
    connect(m_btnStop, &QPushButton::clicked, this, &CvardoDlg::StopMonitoring);
    connect(m_btnQuery, &QPushButton::clicked, this, &CvardoDlg::OnQueryHistory);
    connect(m_btnSettings, &QPushButton::clicked, this, &CvardoDlg::OnSettings);
    connect(m_btnAbout, &QPushButton::clicked, this, &CvardoDlg::OnAbout);
    connect(m_btnHelp, &QAbstractButton::clicked, this, &CvardoDlg::OnHelp);
    connect(m_browser, &CExplorer1::NavigateError, this, &CvardoDlg::OnNavigateError);
    connect(m_browser, &CExplorer1::HelpAsked, this, &CvardoDlg::OnHelp);
}

// The window manager owns the title-bar menu, so the about item goes into
// the window's own context menu.
void CvardoDlg::AddSystemMenuItem()
{
    const QString text = QString::fromStdString(LoadResString(IDS_ABOUTBOX));
    if (text.isEmpty())
        return;
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* about = new QAction(text, this);
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    addAction(separator);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CvardoDlg::OnSysCommand(int id)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX)
        OnAbout();
}

void CvardoDlg::OnQueryHistory()
{
    CVideoQueryDlg dialog(this);
    dialog.DoModal();
}

void CvardoDlg::OpenSettings(bool firstStart)
{
    CSoftSetDlg dialog(this);
    dialog.SetFirstStart(firstStart);
    dialog.SetCameraSettings([this, &dialog] { OnCameraSettings(&dialog); });
    dialog.exec();
    ReadPeriodicSettings();
    if (!firstStart)
        ApplyRecordingRoot();
}

// A changed camera takes effect at once: its recording ends properly and the
// new source is opened.
void CvardoDlg::OnCameraSettings(QWidget* parent)
{
    CCameraSourcesDlg dialog(parent);
    dialog.SetLivePictures([this](int position) { return m_cameraDlg.at(static_cast<std::size_t>(position))->Canvas(); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (int position = 0; position < kPanelCount; ++position)
        m_cameraDlg.at(static_cast<std::size_t>(position))->Capture().SetMotionSettings(ReadMotionSettings(position));
    for (int position : dialog.Changed())
        m_cameraDlg.at(static_cast<std::size_t>(position))->ChangeSource(ReadCameraSource(position), m_bMonitoring == 1);
}

// What the sweeps use, read again after every use of the settings dialog.
void CvardoDlg::ReadPeriodicSettings()
{
    m_strCycleDelDays = QString::fromStdString(ReadSetting(kKeyCycleDelDays));
    m_strMinFreeSpace = QString::fromStdString(ReadSetting(kKeyMinFreeSpaceMb));
    m_spaceSettingsRead = true;
}

void CvardoDlg::OnAbout()
{
    CAboutDlg dialog(this);
    dialog.exec();
}

void CvardoDlg::OnHelp()
{
    CHelpDlg dialog(this);
    dialog.exec();
}

// The window's content keeps its size and place on a canvas: where the
// screen is smaller than the window (a high-DPI screen, a scale factor) the
// canvas scrolls in the window, which fits the screen, rather than being
// cut off.
void CvardoDlg::CreateCanvas()
{
    const QSize design(DluX(535), DluY(377, kFont));
    m_canvas = new CMainCanvas(kBackground, kVideoArea, kVideoAreaWidth);  // owned by the scroll area
    m_canvas->setFixedSize(design);
    auto* scroll = new QScrollArea(this);  // owned by the window
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(m_canvas);
    auto* layout = new QVBoxLayout(this);  // owned by the window
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    FitToScreen();
}

void CvardoDlg::FitToScreen()
{
    const QSize design = m_canvas->size();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize room = screen != nullptr ? screen->availableGeometry().size() - QSize(16, 40) : design;
    if (room.width() >= design.width() && room.height() >= design.height())
        return setFixedSize(design);
    // A scroll bar one way takes room the other way: the window grows by it
    // where the screen allows, so the content scrolls only one way if it can.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const bool tall = design.height() > room.height();
    const bool wide = design.width() + (tall ? bar : 0) > room.width();
    const QSize wanted(design.width() + (tall ? bar : 0), design.height() + (wide ? bar : 0));
    setMaximumSize(wanted);
    resize(wanted.boundedTo(room));
}

// Only the first show ends the splash (and may bring the help); a restore
// from minimised shows the window again and must not.
void CvardoDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_bShownOnce)
        return;
    m_bShownOnce = true;
    m_timers.SetTimer(TIMER_SPLASH_END, 2000);
}

// A window closed by a slip of the mouse would end every recording: while
// the cameras record, the user is asked first (否 by default). Signals end
// the program at once, through RequestClose.
void CvardoDlg::closeEvent(QCloseEvent* e)
{
    if (!m_bEnded && IsMonitoring() && !MessageBoxYesNo(this, QStringLiteral("正在录像，确定要退出吗？"), true)) {
        e->ignore();
        return;
    }
    e->accept();
    done(QDialog::Rejected);
}

// Whatever ends the window ends the cameras first, so every recording gets
// its end code before the panels go.
void CvardoDlg::done(int result)
{
    m_bEnded = true;
    ReleaseCameras();
    QDialog::done(result);
}

void CvardoDlg::ReleaseCameras()
{
    m_historyCheck.Stop();
    // Every camera is told first, so they all end side by side.
    for (CCameraDlg* panel : m_cameraDlg)
        if (CCaptureGraph* graph = panel->Capture().Control())
            graph->RequestStop();
    for (CCameraDlg* panel : m_cameraDlg) {
        panel->StopCapture();
        panel->Capture().ReleaseGraph();
    }
}

void CvardoDlg::RequestClose()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog != this && dialog->isVisible() && dialog != m_splashDlg.get())
            dialog->done(QDialog::Rejected);
    }
    done(QDialog::Rejected);
}
