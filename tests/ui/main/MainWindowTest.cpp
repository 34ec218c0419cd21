// The main window: its start-up paths, monitoring on and off, the end of the
// program and the timers' work, with virtual cameras.
#include "CameraDlg.h"
#include "CameraSources.h"
#include "CameraSourcesDlg.h"
#include "ETButton.h"
#include "Explorer1.h"
#include "InstanceLock.h"
#include "Profile.h"
#include "Settings.h"
#include "SplashDlg.h"
#include "VardoApp.h"
#include "VardoDlg.h"
#include "PlayerToolbar.h"
#include "VideoPlayDlg.h"
#include "VideoQueryDlg.h"
#include "RecordList.h"
#include "capture/CaptureTestSupport.h"
#include "record/Mpeg1File.h"
#include "store/TempDatabase.h"
#include "ui/ModalAnswerer.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QImage>
#include <QFileDialog>
#include <QTranslator>
#include <QWindow>

#include <filesystem>

namespace {
const char* const kCamera = "lavfi:color=c=black:size=320x240:rate=25";
const QString kNoFolder = QStringLiteral("还没有设置保存录像文件的路径，请马上设置！");
const QString kNoDatabase = QStringLiteral("数据库连接失败，请确保程序完成，软件才能正常使用！");
}  // namespace

// Closes the window as a user does, answering 是 to the question asked
// while the cameras record.
void CloseConfirmed(CvardoDlg& dlg)
{
    ModalAnswerer yes([](QDialog* open) {
        if (auto* box = qobject_cast<QMessageBox*>(open))
            box->button(QMessageBox::Yes)->click();
    });
    dlg.close();
}

class MainWindowTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_dir + "/config"));
        m_root = m_dir + "/rec";
        std::filesystem::create_directory(m_root);
        WriteSetting(kKeyVideoRootPath, m_root);
        WriteProfileInt(QStringLiteral("start"), QStringLiteral("show_help"), 0);
    }
    static std::vector<std::string> Recordings()
    {
        WaitForRows();
        return Column(ExecuteCommand("select * from video_save_history order by rowid"), "video_save_path");
    }
    std::string m_root;
};

TEST_F(MainWindowTest, AStartWithADatabaseLogsThreeLinesAndMonitorsAtOnce)
{
    VirtualCameras cameras(std::string(kCamera) + ";" + kCamera);
    ModalAnswerer answerer;
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    EXPECT_EQ(dlg.LogText(), QStringLiteral("初始化编码器 ... (OK)\r\n连接数据库  ...  (OK)\r\n初始化监视窗 ... (OK)\r\n"));
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_FALSE(dlg.StartButton()->isEnabled());
    EXPECT_TRUE(dlg.StopButton()->isEnabled());
    EXPECT_EQ(dlg.Panel(3)->parentWidget()->size(), QSize(803, 566)) << "the window's content at its own size";
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(QRect(QPoint(), dlg.size())) ||
                dlg.size() == QSize(803, 566)) << "the window fits the screen, or has its content's size";
    EXPECT_EQ(dlg.Panel(3)->geometry(), QRect(327, 244, 320, 240));
    EXPECT_EQ(dlg.CycleDelDays(), QStringLiteral("30"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d\\n \\d\\d:\\d\\d:\\d\\d$"))
                    .match(dlg.ClockText()).hasMatch()) << dlg.ClockText().toStdString();
    for (int id : {CvardoDlg::TIMER_CLOCK, CvardoDlg::TIMER_SPLASH_END, CvardoDlg::TIMER_CLEANUP,
                   CvardoDlg::TIMER_REMOTE_WELCOME})
        EXPECT_TRUE(dlg.IsTimerActive(id)) << id;
    Pump(1600);
    EXPECT_TRUE(dlg.Panel(0)->Capture().Control()->IsRunning());
    EXPECT_TRUE(dlg.Panel(1)->Capture().Control()->IsRunning());
    EXPECT_EQ(dlg.Panel(2)->Capture().Control(), nullptr);
    EXPECT_TRUE(dlg.Panel(2)->IsTimerActive(CCameraDlg::TIMER_CAMERA_START)) << "a missing camera keeps retrying";
    EXPECT_EQ(Recordings().size(), 2u);
}

TEST_F(MainWindowTest, StopEndsTheRetriesAndStartBeginsNewRecordings)
{
    VirtualCameras cameras(kCamera);
    ModalAnswerer answerer;
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    Pump(1500);
    dlg.StopMonitoring();
    EXPECT_TRUE(dlg.StartButton()->isEnabled());
    EXPECT_FALSE(dlg.StopButton()->isEnabled());
    EXPECT_FALSE(dlg.Panel(0)->Capture().Control()->IsRunning());
    for (int i = 0; i < CvardoDlg::kPanelCount; ++i)
        EXPECT_FALSE(dlg.Panel(i)->IsTimerActive(CCameraDlg::TIMER_CAMERA_START)) << i;
    Pump(1200);  // a new second, so the next file has a new name
    const QImage stopped = dlg.Panel(0)->Canvas();
    EXPECT_EQ(stopped.pixel(10, 10), qRgb(0, 0, 0)) << "no still picture after 停止监控";
    int lit = 0;  // the glyphs of 已停止 in the middle
    for (int y = stopped.height() / 2 - 10; y < stopped.height() / 2 + 10; ++y)
        for (int x = stopped.width() / 2 - 30; x < stopped.width() / 2 + 30; ++x)
            lit += stopped.pixel(x, y) != qRgb(0, 0, 0);
    EXPECT_GT(lit, 20) << "已停止 in the middle";
    dlg.StartMonitoring();
    EXPECT_FALSE(dlg.StartButton()->isEnabled());
    Pump(1500);
    EXPECT_TRUE(dlg.Panel(0)->Capture().Control()->IsRunning());
    dlg.RequestClose();  // as a signal ends it: the answerer above would say 否 to the question
    const auto paths = Recordings();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_NE(paths[0], paths[1]);
    for (const auto& path : paths)
        EXPECT_EQ(ReadBytes(path).back(), 0xB7) << path;
}

TEST_F(MainWindowTest, EscapeDoesNothingAndClosingAsksFirstThenEndsTheCameras)
{
    VirtualCameras cameras(kCamera);
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    Pump(1500);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.HasEnded());
    {
        ModalAnswerer no;  // closes the question as Escape does: 否
        dlg.close();
        ASSERT_EQ(no.Seen(), std::vector<QString>{QStringLiteral("正在录像，确定要退出吗？")});
    }
    EXPECT_TRUE(dlg.isVisible()) << "still recording";
    EXPECT_FALSE(dlg.HasEnded());
    CloseConfirmed(dlg);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.Panel(0)->Capture().Control(), nullptr);
    const auto paths = Recordings();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(ReadBytes(paths[0]).back(), 0xB7);
}

TEST_F(MainWindowTest, WithoutTheDatabaseTheProgramSaysSoAndEnds)
{
    std::filesystem::remove_all("db");  // no working folder here (one whose database alone is gone gets a new one)
    ModalAnswerer answerer;
    CvardoDlg dlg;
    testing::internal::CaptureStdout();
    dlg.DoModal();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(dlg.HasEnded());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.LogText().contains(QStringLiteral("连接数据库  ... (失败)\r\n")));
    EXPECT_FALSE(dlg.StartButton()->isEnabled());
    EXPECT_FALSE(dlg.StopButton()->isEnabled());
    EXPECT_EQ(answerer.Seen(), std::vector<QString>{kNoDatabase});
    EXPECT_FALSE(std::filesystem::exists(kDatabaseFile)) << "never created outside a working folder";
}

// A folder never set is asked for at once, with the splash out of the way;
// one that is set but not there is told in the status box and a notice
// that stops nothing. The cameras start either way.
TEST_F(MainWindowTest, AFolderNeverSetIsAskedForAndOneNotThereIsToldWithoutStoppingAnything)
{
    WriteFile(m_dir + "/plain");
    const struct {
        std::string root;
        bool asked;
    } cases[] = {{"", true}, {"/", true}, {m_dir + "/missing", false}, {m_dir + "/plain", false}};
    for (const auto& c : cases) {
        WriteSetting(kKeyVideoRootPath, c.root);
        WriteSetting(kKeyCycleDelDays, "30");
        CvardoDlg dlg;
        bool splashHidden = true;
        ModalAnswerer answerer([&](QDialog* open) {
            splashHidden = splashHidden && !dlg.Splash()->isVisible();
            if (open->inherits("CSoftSetDlg"))
                WriteSetting(kKeyCycleDelDays, "7");  // as if OK had stored it
        });
        testing::internal::CaptureStderr();
        dlg.OnInitDialog();
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(dlg.LogText().contains(QStringLiteral("初始化监视窗 ... (OK)\r\n"))) << c.root << ": cameras first";
        for (int i = 0; i < CvardoDlg::kPanelCount; ++i)
            EXPECT_TRUE(dlg.Panel(i)->IsTimerActive(CCameraDlg::TIMER_CAMERA_START)) << c.root;
        EXPECT_EQ(dlg.VideoRootPath().toStdString(), c.root) << "nothing usable chosen: the root it read";
        if (c.asked) {
            EXPECT_EQ(answerer.Seen(), (std::vector<QString>{kNoFolder, QStringLiteral("CSoftSetDlg")})) << c.root;
            EXPECT_TRUE(splashHidden) << c.root;
            EXPECT_TRUE(dlg.Splash()->isVisible()) << c.root;
            EXPECT_EQ(dlg.CycleDelDays(), QStringLiteral("7"));
            continue;
        }
        EXPECT_TRUE(answerer.Seen().empty()) << c.root << ": nothing stands before the cameras";
        const QString told = QStringLiteral("录像文件夹不存在：") + QString::fromStdString(c.root);
        EXPECT_TRUE(dlg.Events().join(QLatin1Char('\n')).contains(told)) << dlg.Events().join(QLatin1Char('\n')).toStdString();
        const auto notices = dlg.findChildren<QMessageBox*>();
        EXPECT_TRUE(std::any_of(notices.begin(), notices.end(), [&](QMessageBox* box) {
            return box->isVisible() && !box->isModal() && box->text().startsWith(told);
        })) << c.root;
    }
}

TEST_F(MainWindowTest, AFolderChosenAtTheFirstStartIsRecordedIntoAtOnce)
{
    VirtualCameras cameras(kCamera);
    WriteSetting(kKeyVideoRootPath, "");
    const std::string chosen = m_dir + "/chosen";
    ModalAnswerer answerer([&](QDialog* open) {
        if (open->inherits("CSoftSetDlg")) {
            std::filesystem::create_directory(chosen);
            WriteSetting(kKeyVideoRootPath, chosen);  // as if OK had stored it
        }
    });
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    EXPECT_EQ(dlg.VideoRootPath().toStdString(), chosen);
    Pump(1600);
    CloseConfirmed(dlg);
    const auto paths = Recordings();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].rfind(chosen + "/dv(1)-", 0), 0u) << paths[0];
}

// Each step of a run, what the first panel's mark says and the event it
// brings to the status box.
TEST_F(MainWindowTest, ThePanelsSayWhetherTheyRecordAndTheStatusBoxTellsWhatHappened)
{
    VirtualCameras cameras(kCamera);
    WriteSetting(kKeyVideoRootPath, "");
    const std::string later = m_dir + "/later";
    const std::string taken = m_dir + "/taken";
    for (const auto& folder : {later, taken})
        std::filesystem::create_directory(folder);
    InstanceLock otherLumaro;
    ASSERT_EQ(otherLumaro.Acquire(RecordingFolderLockPath(taken)), InstanceLock::Result::Acquired);
    std::string typed;  // what the settings dialog stores as the folder
    ModalAnswerer answerer([&](QDialog* open) {
        if (open->inherits("CSoftSetDlg"))
            WriteSetting(kKeyVideoRootPath, typed);
    });
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    struct Step {
        const char* what;
        std::function<void()> act;
        const char* mark;
        const char* event;  // the status box's newest line, after its time
    };
    const Step steps[] = {
        {"no folder", [] {}, "未录像：没有设置录像文件夹", "摄像头1 未录像：没有设置录像文件夹"},
        {"a folder set", [&] { typed = later; dlg.OnSettings(); }, "录像", "摄像头1 恢复录像"},
        {"another Lumaro's folder", [&] { typed = taken; dlg.OnSettings(); }, "录像", "摄像头1 恢复录像"},
        {"the folder removed", [&] { std::filesystem::remove_all(later); }, "未录像：录像文件夹不存在",
         "摄像头1 未录像：录像文件夹不存在"},
        {"stopped", [&] { dlg.StopMonitoring(); }, "未录像：监控已停止", "监控已停止"},
    };
    for (const Step& step : steps) {
        step.act();
        Pump(1500);
        EXPECT_EQ(dlg.Panel(0)->Mark().text.toStdString(), step.mark) << step.what;
        ASSERT_FALSE(dlg.Events().isEmpty()) << step.what;
        EXPECT_EQ(dlg.Events().back().mid(9).toStdString(), step.event) << step.what;
        if (&step == &steps[1]) {
            EXPECT_EQ(dlg.VideoRootPath().toStdString(), later);
            EXPECT_EQ(Recordings().size(), 1u) << "recorded into at once";
        }
    }
    EXPECT_EQ(std::count_if(answerer.Seen().begin(), answerer.Seen().end(),
                            [](const QString& seen) { return seen.startsWith(QStringLiteral("另一个 Lumaro")); }),
              1);
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), later) << "the taken folder is not kept";
    EXPECT_EQ(dlg.Panel(3)->Mark().text.toStdString(), "未录像：监控已停止");
}

TEST_F(MainWindowTest, EnterAndEscapeNeitherStopTheCamerasNorEndTheProgram)
{
    VirtualCameras cameras(kCamera);
    ModalAnswerer answerer;
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    dlg.activateWindow();
    Pump(1500);
    for (QWidget* focus : {static_cast<QWidget*>(dlg.StopButton()), static_cast<QWidget*>(&dlg)}) {
        focus->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(focus, key);
    }
    Pump(100);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.HasEnded());
    EXPECT_TRUE(dlg.IsMonitoring());
    EXPECT_TRUE(dlg.Panel(0)->Capture().Control()->IsRunning());
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(MainWindowTest, TheHelpOpensAfterTheFirstShowOnlyAndEnterClosesIt)
{
    WriteProfileInt(QStringLiteral("start"), QStringLiteral("show_help"), 1);
    bool closedByEnter = false;
    ModalAnswerer answerer([&](QDialog* open) {
        QTest::keyClick(open->focusWidget() != nullptr ? open->focusWidget() : open, Qt::Key_Return);
        closedByEnter = !open->isVisible();
    });
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    Pump(2500);
    EXPECT_EQ(answerer.Count(QStringLiteral("CHelpDlg")), 1);
    EXPECT_TRUE(closedByEnter);
    dlg.showMinimized();
    Pump(100);
    dlg.showNormal();
    dlg.hide();
    dlg.show();
    Pump(2500);
    EXPECT_EQ(answerer.Count(QStringLiteral("CHelpDlg")), 1) << "a restore brings no help";
}

TEST_F(MainWindowTest, TheSplashIsOnScreenBeforeTheDatabaseStep)
{
    CvardoDlg dlg;
    dlg.OnInitDialog();
    ASSERT_NE(dlg.Splash(), nullptr);
    ASSERT_NE(dlg.Splash()->windowHandle(), nullptr);
    EXPECT_TRUE(dlg.Splash()->windowHandle()->isExposed());
}

TEST_F(MainWindowTest, ASecondCopyOnTheSameWorkingOrRecordingFolderSaysSoAndEndsWithoutRecording)
{
    const std::pair<std::string, QString> locks[] = {
        {kInstanceLockFile, QStringLiteral("Lumaro 已经在运行")},
        {RecordingFolderLockPath(m_root), QStringLiteral("另一个 Lumaro 正在向录像文件夹")},  // another working folder
    };
    for (const auto& [lockFile, said] : locks) {
        VirtualCameras cameras(kCamera);
        InstanceLock first;
        ASSERT_EQ(first.Acquire(lockFile), InstanceLock::Result::Acquired);
        {
            ModalAnswerer answerer;
            CvardoDlg dlg;
            testing::internal::CaptureStdout();
            testing::internal::CaptureStderr();
            dlg.DoModal();
            testing::internal::GetCapturedStdout();
            testing::internal::GetCapturedStderr();
            ASSERT_EQ(answerer.Seen().size(), 1u) << lockFile;
            EXPECT_TRUE(answerer.Seen()[0].startsWith(said)) << answerer.Seen()[0].toStdString();
            EXPECT_TRUE(dlg.HasEnded());
            EXPECT_FALSE(dlg.IsTimerActive(CvardoDlg::TIMER_CLEANUP)) << "no sweep";
            for (int i = 0; i < CvardoDlg::kPanelCount; ++i)
                EXPECT_FALSE(dlg.Panel(i)->IsTimerActive(CCameraDlg::TIMER_CAMERA_START)) << i;
            Pump(1500);
            EXPECT_TRUE(Recordings().empty()) << lockFile;
        }

        first.Release();  // the first copy ended, however it ended: the next start runs
        CvardoDlg next;
        next.OnInitDialog();
        EXPECT_FALSE(next.HasEnded()) << lockFile;
        EXPECT_TRUE(next.IsTimerActive(CvardoDlg::TIMER_CLEANUP));
    }
}

TEST_F(MainWindowTest, TheStartUpGivesARowToARecordingThatHadNone)
{
    const std::string orphan = m_root + "/dv(2)-2009-11-01 080000.mpg";
    WriteFile(orphan, std::string("\0\0\1\xb3", 4));  // its row was still pending when the last run ended
    CvardoDlg dlg;
    testing::internal::CaptureStdout();
    dlg.OnInitDialog();
    EXPECT_TRUE(WaitFor([&] { return Recordings() == std::vector<std::string>{orphan}; })) << "beside the cameras";
    testing::internal::GetCapturedStdout();
}

TEST_F(MainWindowTest, ACameraChosenInTheSettingsRecordsAndAChangeTakesEffectAtOnce)
{
    unsetenv("LUMARO_CAPTURE_DEVICES");  // no environment list: the settings choose
    WriteSetting(CameraSourceKey(0), "lavfi:color=c=black:size=320x240:rate=25");
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    Pump(2600);  // the next file's name is a second later
    ASSERT_NE(dlg.Panel(0)->Capture().Control(), nullptr);
    EXPECT_TRUE(dlg.Panel(0)->Capture().Control()->IsRunning());
    ModalAnswerer answerer([](QDialog* open) {
        if (auto* cameras = qobject_cast<CCameraSourcesDlg*>(open)) {
            cameras->SourceBox(0)->setEditText(QStringLiteral("lavfi:color=c=red:size=320x240:rate=25"));
            cameras->OnOK();
        }
    });
    dlg.OnCameraSettings(&dlg);
    Pump(1500);
    EXPECT_GT(qRed(dlg.Panel(0)->Canvas().pixel(160, 120)), 150) << "the new camera shows";
    CloseConfirmed(dlg);
    const auto paths = Recordings();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(ReadBytes(paths[0]).back(), 0xB7) << "the first camera's file ended properly";
    EXPECT_EQ(ReadSetting(CameraSourceKey(0)), "lavfi:color=c=red:size=320x240:rate=25");
}

// A double-click shows one camera alone in the video area at up to its own
// size; a double-click or Escape brings the four back.
TEST_F(MainWindowTest, ADoubleClickedPanelFillsTheVideoAreaUntilEscapeOrAnotherDoubleClick)
{
    VirtualCameras cameras("lavfi:color=c=red:size=320x240:rate=25;lavfi:color=c=blue:size=1280x720:rate=25");
    ModalAnswerer answerer;
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    Pump(1500);
    const QRect grid = dlg.Panel(1)->geometry();
    const struct {
        int panel;
        QSize shown;  // the picture in the middle of the area
        bool escape;
    } cases[] = {{0, QSize(320, 240), false}, {1, QSize(642, 361), true}};
    for (const auto& c : cases) {
        CCameraDlg* panel = dlg.Panel(c.panel);
        QTest::mouseDClick(panel, Qt::LeftButton, {}, QPoint(100, 100));
        Pump(400);
        EXPECT_EQ(panel->geometry(), QRect(5, 2, 642, 482)) << c.panel;
        EXPECT_FALSE(dlg.Panel(2)->isVisible());
        const QImage& canvas = panel->Canvas();
        const QPoint corner((642 - c.shown.width()) / 2, (482 - c.shown.height()) / 2);
        EXPECT_NE(canvas.pixel(corner + QPoint(c.shown.width() / 2, 30)), qRgb(0, 0, 0)) << c.panel;
        EXPECT_EQ(canvas.pixel(corner + QPoint(c.shown.width() / 2, c.shown.height() + 1)), qRgb(0, 0, 0))
            << "black below the picture " << c.panel;
        if (c.escape)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            QTest::mouseDClick(panel, Qt::LeftButton, {}, QPoint(100, 100));
        Pump(400);
        EXPECT_EQ(panel->geometry().size(), grid.size()) << c.panel;
        EXPECT_TRUE(dlg.Panel(2)->isVisible());
        EXPECT_EQ(panel->Canvas().size(), QSize(320, 240));
    }
    EXPECT_EQ(dlg.Panel(1)->geometry(), grid);
    EXPECT_TRUE(dlg.isVisible()) << "Escape only ended the full view";
}

TEST_F(MainWindowTest, QtsOwnTextsAreChinese)
{
    QTranslator translator;
    ASSERT_TRUE(CvardoApp::LoadQtTranslations(&translator)) << "Debian's qt6-translations-l10n";
    QCoreApplication::installTranslator(&translator);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
    QCoreApplication::removeTranslator(&translator);
}

TEST_F(MainWindowTest, TheSplashEndsAfterTwoSecondsWithHelpAsTheProfileSays)
{
    CvardoDlg dlg;
    bool clockRan = false;
    ModalAnswerer answerer([&](QDialog* open) {
        const QString before = dlg.ClockText();
        Pump(1100);
        clockRan = dlg.ClockText() != before;
        if (auto* box = open->findChild<QCheckBox*>())
            box->click();  // untick "show at start"
    });
    WriteProfileInt(QStringLiteral("start"), QStringLiteral("show_help"), 1);
    dlg.OnInitDialog();
    dlg.show();
    Pump(5000);  // 2 s to the help, 1.1 s in it, and room for a loaded machine
    EXPECT_EQ(dlg.Splash(), nullptr);
    EXPECT_TRUE(clockRan) << "the clock ticks while the help is open";
    EXPECT_EQ(answerer.Count(QStringLiteral("CHelpDlg")), 1);
    EXPECT_EQ(GetProfileInt(QStringLiteral("start"), QStringLiteral("show_help"), 1), 0);
    dlg.show();
    dlg.OnTimer(CvardoDlg::TIMER_SPLASH_END);
    EXPECT_EQ(answerer.Count(QStringLiteral("CHelpDlg")), 1) << "not shown again once unticked";
}

TEST_F(MainWindowTest, SettingsCommandRereadsTheRetentionPeriod)
{
    CvardoDlg dlg;
    dlg.OnInitDialog();
    ModalAnswerer answerer([](QDialog*) { WriteSetting(kKeyCycleDelDays, "365"); });
    dlg.OnSettings();
    EXPECT_EQ(dlg.CycleDelDays(), QStringLiteral("365"));
    EXPECT_EQ(dlg.VideoRootPath().toStdString(), m_root);
}

namespace {

// Presses Tab in `window` until `target` has the focus; whether it got it.
bool TabTo(QWidget* window, QWidget* target)
{
    QApplication::setActiveWindow(window);
    for (int i = 0; i < 40 && QApplication::focusWidget() != target; ++i)
        QTest::keyClick(QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window, Qt::Key_Tab);
    return QApplication::focusWidget() == target;
}

}  // namespace

// Without a mouse: Tab to 查询历史 and Space, Home and Enter in the list to
// play the newest recording, Tab to 截图 and Space, a name typed into the
// save dialog, Escape out of the history.
TEST_F(MainWindowTest, AKeyboardAloneGoesFromTheHistoryToAPlayingRecordingAndASnapshot)
{
    VirtualCameras cameras(kCamera);
    CvardoDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    ASSERT_TRUE(WaitFor([] { return !Recordings().empty(); }, 5000));
    Pump(1500);
    dlg.StopMonitoring();  // the recording ends, whole
    const std::string snapshot = m_dir + "/walk.png";
    bool played = false;
    ModalAnswerer answerer([&](QDialog* open) {
        auto* history = qobject_cast<CVideoQueryDlg*>(open);
        if (history == nullptr)
            return;
        QApplication::setActiveWindow(history);
        ASSERT_EQ(QApplication::focusWidget(), history->RecordList()) << "the list first";
        QTest::keyClick(history->RecordList(), Qt::Key_Home);
        QTest::keyClick(history->RecordList(), Qt::Key_Return);
        played = WaitFor([&] { return history->Player()->State() == Playing; }, 3000);
        CETButton* shot = history->Player()->Toolbar()->SnapshotButton();
        ASSERT_TRUE(TabTo(history, shot));
        ModalAnswerer saver([&](QDialog* save) {
            if (auto* name = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                name->setText(QString::fromStdString(snapshot));
                QTest::keyClick(name, Qt::Key_Return);
            }
        });
        QTest::keyClick(shot, Qt::Key_Space);
        WaitFor([&] { return std::filesystem::exists(snapshot); }, 3000);
        QTest::keyClick(history, Qt::Key_Escape);
    });
    ASSERT_TRUE(TabTo(&dlg, dlg.QueryButton()));
    QTest::keyClick(dlg.QueryButton(), Qt::Key_Space);
    EXPECT_TRUE(played);
    EXPECT_TRUE(std::filesystem::exists(snapshot));
    EXPECT_FALSE(QImage(QString::fromStdString(snapshot)).isNull());
}
