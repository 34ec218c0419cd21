// The export window: an export with its progress and result message, a
// cancel that keeps nothing, and the history dialog's export button.
#include "ExportDlg.h"
#include "ETButton.h"
#include "VideoEncoder.h"
#include "VideoQueryDlg.h"
#include "RecordList.h"
#include "capture/CaptureTestSupport.h"
#include "record/Frames.h"
#include "store/TempDatabase.h"
#include "ui/ModalAnswerer.h"

#include "Settings.h"
#include "ShellOutput.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableWidget>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr TimeValue kStart = 1257064200;  // 2009-11-01 08:30:00 UTC

class ExportDlgTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void Record(TimeValue start, int frames, int camera = 0)
    {
        const auto frame = SolidFrame(320, 240, 30, 30, 200);
        CVideoEncoder encoder;
        encoder.SetRecordingRoot(m_dir);
        encoder.SetClock([start] { return start; });
        encoder.Init(camera, 320, 240);
        for (int i = 0; i < frames; ++i)
            encoder.EncodeFrame(frame.data(), 320, 240);
        encoder.Close();
        WaitForRows();
    }
    static void WaitWhileRunning(const CExportDlg& dlg)
    {
        for (int i = 0; i < 1500 && dlg.IsRunning(); ++i)
            Pump(20);
        Pump(100);
    }
};

TEST_F(ExportDlgTest, AnExportRunsOffTheInterfaceAndSaysHowItEnded)
{
    Record(kStart, 100);
    ModalAnswerer answerer;
    CExportDlg dlg(nullptr, 1, kStart + 1, kStart + 3);
    dlg.OutputEdit()->setText(QString::fromStdString(m_dir + "/ui.mp4"));
    dlg.show();
    dlg.OnExport();
    EXPECT_TRUE(dlg.IsRunning() || !answerer.Seen().empty());
    WaitWhileRunning(dlg);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_TRUE(answerer.Seen()[0].startsWith(QStringLiteral("导出完成：51 个画面"))) << answerer.Seen()[0].toStdString();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(Exists(m_dir + "/ui.mp4"));
    EXPECT_TRUE(Exists(m_dir + "/ui.mp4.sha256"));
    EXPECT_TRUE(Exists(m_dir + "/ui.txt"));

    CExportDlg empty(nullptr, 2, kStart + 1, kStart + 3);  // camera 2 recorded nothing
    empty.OutputEdit()->setText(QString::fromStdString(m_dir + "/none.mp4"));
    empty.OnExport();
    WaitWhileRunning(empty);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_TRUE(answerer.Seen()[1].startsWith(QStringLiteral("导出失败："))) << answerer.Seen()[1].toStdString();
    EXPECT_FALSE(Exists(m_dir + "/none.mp4"));
}

TEST_F(ExportDlgTest, AnEarlierExportIsReplacedOnlyWhenConfirmedAndARecordingNever)
{
    Record(kStart, 100);
    WriteSetting(kKeyVideoRootPath, m_dir);
    const std::string recording = Column(ExecuteCommand("select * from video_save_history"), "video_save_path")[0];
    const std::string out = m_dir + "-out";  // beside the recording folder, not in it
    std::filesystem::create_directory(out);
    struct Case {
        std::string output;
        QMessageBox::StandardButton answer;
        std::vector<QString> seen;  // how each message begins
        QMessageBox::Icon lastIcon;
        bool replaced;
    };
    const QString question = QStringLiteral("%1 已经存在。").arg(QString::fromStdString(out + "/earlier.mp4"));
    const std::vector<Case> cases = {
        {out + "/earlier.mp4", QMessageBox::No, {question}, QMessageBox::Question, false},
        {out + "/earlier.mp4", QMessageBox::Yes, {question, QStringLiteral("导出完成：51 个画面")},
         QMessageBox::Information, true},
        {recording, QMessageBox::Yes, {QStringLiteral("不能保存为 ")}, QMessageBox::Warning, false},
    };
    for (const Case& c : cases) {
        WriteFile(out + "/earlier.mp4", "an earlier export");
        const std::string before = ShellOutput("sha256sum '" + recording + "'");
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        ModalAnswerer answerer([&](QDialog* open) {
            if (auto* box = qobject_cast<QMessageBox*>(open)) {
                icon = box->icon();
                if (icon == QMessageBox::Question) {
                    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No)) << "Enter keeps the file";
                }
                if (box->button(c.answer) != nullptr)
                    box->button(c.answer)->click();
            }
        });
        CExportDlg dlg(nullptr, 1, kStart + 1, kStart + 3);
        dlg.OutputEdit()->setText(QString::fromStdString(c.output));
        dlg.show();
        dlg.OnExport();
        WaitWhileRunning(dlg);
        ASSERT_EQ(answerer.Seen().size(), c.seen.size()) << c.output;
        for (std::size_t i = 0; i < c.seen.size(); ++i)
            EXPECT_TRUE(answerer.Seen()[i].startsWith(c.seen[i])) << answerer.Seen()[i].toStdString();
        EXPECT_EQ(icon, c.lastIcon) << c.output;
        EXPECT_EQ(std::filesystem::file_size(out + "/earlier.mp4") != 17, c.replaced) << c.output;
        EXPECT_EQ(ShellOutput("sha256sum '" + recording + "'"), before) << "the recording stays as it was";
    }
    std::filesystem::remove_all(out);
}

TEST_F(ExportDlgTest, ACancelKeepsNothing)
{
    Record(kStart, 1500);  // a minute
    ModalAnswerer answerer;
    CExportDlg dlg(nullptr, 1, kStart, kStart + 59);
    dlg.OutputEdit()->setText(QString::fromStdString(m_dir + "/cancelled.mp4"));
    dlg.show();
    dlg.OnExport();
    Pump(200);
    dlg.reject();
    WaitWhileRunning(dlg);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(answerer.Seen().empty()) << "cancelled on purpose: no message";
    EXPECT_FALSE(Exists(m_dir + "/cancelled.mp4"));
    for (const auto& entry : std::filesystem::directory_iterator(m_dir))
        EXPECT_NE(entry.path().extension(), ".part");
    EXPECT_FALSE(Exists(m_dir + "/cancelled.mp4.sha256"));
}

TEST_F(ExportDlgTest, TheHistoryDialogExportsTheSelectedRecording)
{
    Record(kStart + 3600, 25, 2);  // camera 3
    CVideoQueryDlg history;
    history.OnInitDialog();
    history.setWindowState(Qt::WindowNoState);
    history.show();
    history.resize(1000, 600);
    const QRect button = history.ExportButton()->geometry();
    EXPECT_TRUE(history.ExportButton()->isVisible());
    for (QWidget* control : {static_cast<QWidget*>(history.DeviceCombo()), static_cast<QWidget*>(history.DateCombo()),
                             static_cast<QWidget*>(history.RecordList())})
        EXPECT_FALSE(button.intersects(control->geometry().adjusted(0, 1, 0, 0))) << "clear of the list and filters";
    history.RecordList()->selectRow(0);
    int camera = 0;
    QString from;
    ModalAnswerer answerer([&](QDialog* open) {
        if (auto* exportDlg = qobject_cast<CExportDlg*>(open)) {
            camera = exportDlg->CameraBox()->currentIndex() + 1;
            from = exportDlg->FromEdit()->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
    });
    history.ExportButton()->click();
    EXPECT_EQ(camera, 3);
    EXPECT_EQ(from, QStringLiteral("2009-11-01 09:30:00"));
}

}  // namespace
