// The history dialog on a database of several cameras and days: filters,
// deletion and layout.
#include "DayTimeline.h"
#include "OpenRecordings.h"
#include "Settings.h"
#include "TextFormat.h"
#include "VideoPlayDlg.h"
#include "VideoQueryDlg.h"
#include "RecordList.h"
#include "OpenRecordings.h"
#include "store/TempDatabase.h"
#include "capture/CaptureTestSupport.h"
#include "ui/ModalAnswerer.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include <QContextMenuEvent>
#include <QApplication>
#include <functional>
#include <cstdlib>
#include <algorithm>
#include <filesystem>

namespace {
const QString kQuestion = QStringLiteral("是否要删除录像文件？");

ModalAnswerer::Hook Answer(QMessageBox::StandardButton button)
{
    return [button](QDialog* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog); box != nullptr && box->button(button) != nullptr)
            box->button(button)->click();
    };
}
}  // namespace

class VideoQueryDlgTest : public TempDatabaseTest {
protected:
    void SetUp() override
    {
        TempDatabaseTest::SetUp();
        WriteSetting(kKeyVideoRootPath, m_dir);
        const std::pair<int, const char*> rows[] = {
            {2, "2009-10-31 23:00:00"}, {1, "2009-10-31 08:00:00"}, {2, "2009-11-01 00:00:01"},
            {1, "2009-11-01 00:00:01"}, {3, "2009-11-02 12:00:00"}};
        for (const auto& [camera, time] : rows) {
            std::string name = time;
            name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
            const std::string path = m_dir + "/dv(" + std::to_string(camera) + ")-" + name + ".mpg";
            AddRow(camera, path, time);
            WriteFile(path);
        }
        m_dlg.OnInitDialog();
    }
    QStringList Column(int column) const
    {
        QStringList texts;
        for (int row = 0; row < m_dlg.RecordList()->rowCount(); ++row)
            texts << m_dlg.RecordList()->item(row, column)->text();
        return texts;
    }
    static QStringList Entries(const QComboBox* combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }
    static void Choose(QComboBox* combo, const QString& entry)
    {
        combo->setCurrentIndex(combo->findText(entry));
        emit combo->activated(combo->currentIndex());
    }
    void SelectRow(int row) { m_dlg.RecordList()->selectRow(row); }
    std::string PathOf(int row) const { return m_dlg.RecordList()->item(row, 2)->text().toStdString(); }
    static int RowCount() { return std::stoi(ScalarText("select count(*) as n from video_save_history")); }

    CVideoQueryDlg m_dlg;
};

TEST_F(VideoQueryDlgTest, OpensWithEveryRowNewestFirstAndEveryDay)
{
    EXPECT_EQ(Column(0), QStringList({"3", "1", "2", "2", "1"}));
    EXPECT_EQ(Column(1).first(), QStringLiteral("2009-11-02 12:00:00"));
    EXPECT_EQ(Entries(m_dlg.DateCombo()), QStringList({"全部", "2009-11-02", "2009-11-01", "2009-10-31"}));
    EXPECT_EQ(Entries(m_dlg.DeviceCombo()), QStringList({"全部", "1", "2", "3", "4"}));
    EXPECT_EQ(m_dlg.DeviceCombo()->currentText(), QStringLiteral("全部"));
}

TEST_F(VideoQueryDlgTest, FiltersByDeviceAndDay)
{
    Choose(m_dlg.DeviceCombo(), "2");
    EXPECT_EQ(Column(1), QStringList({"2009-11-01 00:00:01", "2009-10-31 23:00:00"}));
    EXPECT_EQ(Entries(m_dlg.DateCombo()), QStringList({"全部", "2009-11-01", "2009-10-31"}));
    EXPECT_EQ(m_dlg.DateCombo()->currentIndex(), 0);

    Choose(m_dlg.DeviceCombo(), "全部");
    Choose(m_dlg.DateCombo(), "2009-11-01");
    EXPECT_EQ(Column(0), QStringList({"1", "2"}));
    EXPECT_EQ(Entries(m_dlg.DateCombo()).size(), 4) << "a chosen day keeps the day list";
    EXPECT_EQ(m_dlg.DateCombo()->currentText(), QStringLiteral("2009-11-01"));

    Choose(m_dlg.DeviceCombo(), "3");
    EXPECT_TRUE(Column(0).isEmpty()) << "camera 3 has nothing that day";
    Choose(m_dlg.DateCombo(), "2009-11-02");
    EXPECT_EQ(Column(0), QStringList({"3"}));

    m_dlg.DateCombo()->setEditText(QStringLiteral("2009-10-31"));
    EXPECT_EQ(Column(0), QStringList({"3"})) << "typed text is no filter";
}

TEST_F(VideoQueryDlgTest, TypedTextFiltersNeitherOnFocusLossNorOnEnter)
{
    m_dlg.show();
    for (QComboBox* combo : {m_dlg.DeviceCombo(), m_dlg.DateCombo()}) {
        combo->lineEdit()->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), combo == m_dlg.DeviceCombo() ? QStringLiteral("2")
                                                                         : QStringLiteral("2009-10-31"));
        emit combo->lineEdit()->editingFinished();  // what the focus moving away sends
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(Column(0).size(), 5) << "still every row";
    }
}

TEST_F(VideoQueryDlgTest, EscapeInThePlayerClosesTheDialogAndEndsThePlayback)
{
    const std::string path = m_dir + "/long.m1v";
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 250 "
                           "-c:v mpeg1video -f mpeg1video '" + path + "'").c_str()), 0);
    m_dlg.show();
    ASSERT_EQ(m_dlg.Player()->PlayFile(path), CVideoPlayDlg::kPlayStarted);
    for (QWidget* target : m_dlg.Player()->findChildren<QWidget*>()) {
        if (!target->isVisible())
            continue;
        m_dlg.show();
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(m_dlg.isVisible()) << target->metaObject()->className();
        EXPECT_EQ(m_dlg.Player()->State(), Stopped);
    }
}

TEST_F(VideoQueryDlgTest, ALongListIsReadAsItIsScrolledToItsEnd)
{
    ExecuteCommand("begin");
    for (int i = 0; i < 1200; ++i)
        AddRow(4, m_dir + "/many" + std::to_string(i) + ".mpg", "2009-12-01 10:00:00");
    ExecuteCommand("commit");
    m_dlg.show();
    Choose(m_dlg.DeviceCombo(), "4");
    EXPECT_EQ(m_dlg.RecordList()->rowCount(), 500);
    QScrollBar* bar = m_dlg.RecordList()->verticalScrollBar();
    for (int expected : {1000, 1200, 1200}) {
        Pump(50);  // the list lays out its scroll range
        bar->setValue(bar->maximum());
        EXPECT_EQ(m_dlg.RecordList()->rowCount(), expected);
    }
    Choose(m_dlg.DeviceCombo(), "全部");
    EXPECT_EQ(m_dlg.RecordList()->rowCount(), 500) << "a new filter starts at its first page";
    EXPECT_EQ(Column(0).first(), QStringLiteral("4")) << "still newest first";
}

// What is deleted is what the question named: a right click on a row not
// selected selects it first; on a selected row, or with Delete or the Menu
// key, the selection goes. The question names each recording, 否 is its
// default, and a recording still being written stays, with the reason.
TEST_F(VideoQueryDlgTest, WhatIsDeletedIsWhatTheQuestionNamed)
{
    CRecordList* list = m_dlg.RecordList();
    const auto click = [list](int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(list->item(row, 0)).center());
    };
    const auto rightClick = [list](int row) {
        const QPoint at = list->visualItemRect(list->item(row, 0)).center();
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &menu);
    };
    const auto key = [list](Qt::Key k) {
        if (k == Qt::Key_Menu) {
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(1, 1), list->mapToGlobal(QPoint(1, 1)));
            QApplication::sendEvent(list, &menu);
        } else {
            QTest::keyClick(list, k);
        }
    };
    const struct {
        const char* what;
        std::vector<int> asked;  // the rows the question is to name
        std::function<void()> act;
        QMessageBox::StandardButton answer;
        bool openRecording;
    } cases[] = {
        {"No keeps everything", {1}, [&] { click(1); rightClick(1); }, QMessageBox::No, false},
        {"a right click on a row not selected takes that row", {3}, [&] { click(1); rightClick(3); }, QMessageBox::Yes,
         false},
        {"a range, then a right click inside it", {0, 1}, [&] { click(0); click(1, Qt::ShiftModifier); rightClick(1); },
         QMessageBox::Yes, false},
        {"Delete on the selection", {0}, [&] { click(0); key(Qt::Key_Delete); }, QMessageBox::Yes, false},
        {"the Menu key, a recording still being written", {0}, [&] { click(0); key(Qt::Key_Menu); }, QMessageBox::Yes,
         true},
    };
    for (const auto& c : cases) {
        const QStringList before = Column(2);
        std::vector<std::string> asked;
        for (int row : c.asked)
            asked.push_back(PathOf(row));
        if (c.openRecording)
            AddOpenRecording(asked.front());
        QStringList seen;
        {
            ModalAnswerer answerer([&](QDialog* dialog) {
                auto* box = qobject_cast<QMessageBox*>(dialog);
                if (box == nullptr)
                    return;
                seen << box->text();
                if (box->button(QMessageBox::No) != nullptr) {
                    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No)) << c.what << ": 否 by default";
                }
                if (box->button(c.answer) != nullptr)
                    box->button(c.answer)->click();
                else
                    box->accept();
            });
            m_dlg.RecordList()->clearSelection();
            c.act();
        }
        ASSERT_FALSE(seen.isEmpty()) << c.what;
        for (int row = 0; row < before.size(); ++row) {
            const std::string path = before[row].toStdString();
            const bool named = std::find(asked.begin(), asked.end(), path) != asked.end();
            EXPECT_EQ(seen.front().contains(before[row]), named) << c.what << ": " << path;
            const bool gone = named && c.answer == QMessageBox::Yes && !c.openRecording;
            EXPECT_EQ(Exists(path), !gone) << c.what << ": " << path;
            EXPECT_EQ(Column(2).contains(before[row]), !gone) << c.what << ": " << path;
            EXPECT_EQ(ScalarText("select count(*) as n from video_save_history where video_save_path='" + path + "'"),
                      gone ? "0" : "1") << c.what << ": " << path;
        }
        EXPECT_TRUE(seen.front().startsWith(asked.size() == 1 ? kQuestion : QStringLiteral("是否要删除这 %1 个").arg(asked.size())))
            << c.what << ": " << seen.front().toStdString();
        if (c.openRecording) {
            ASSERT_EQ(seen.size(), 2) << c.what;
            EXPECT_TRUE(seen[1].contains(QStringLiteral("正在录制"))) << seen[1].toStdString();
            RemoveOpenRecording(asked.front());
        }
    }
}

TEST_F(VideoQueryDlgTest, SeveralSelectedRowsAllGoAfterOneQuestionThatNamesThem)
{
    SelectRow(3);
    m_dlg.RecordList()->selectionModel()->select(m_dlg.RecordList()->model()->index(1, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::string first = PathOf(1), other = PathOf(3);
    ModalAnswerer yes(Answer(QMessageBox::Yes));
    m_dlg.OnRclickRecordList();
    ASSERT_EQ(yes.Seen().size(), 1u);
    EXPECT_TRUE(yes.Seen()[0].contains(QString::fromStdString(first)) && yes.Seen()[0].contains(QString::fromStdString(other)));
    EXPECT_FALSE(Exists(first));
    EXPECT_FALSE(Exists(other));
}

TEST_F(VideoQueryDlgTest, ARecordingInProgressOrAFileThatStaysIsNotDeleted)
{
    SelectRow(0);
    const std::string recording = PathOf(0);
    AddOpenRecording(recording);
    {
        ModalAnswerer yes(Answer(QMessageBox::Yes));
        m_dlg.OnRclickRecordList();
        ASSERT_EQ(yes.Seen().size(), 2u) << "the question, then why it stays";
        EXPECT_TRUE(yes.Seen()[1].contains(QStringLiteral("正在录制"))) << yes.Seen()[1].toStdString();
    }
    RemoveOpenRecording(recording);
    EXPECT_TRUE(Exists(recording));
    EXPECT_EQ(RowCount(), 5);

    std::filesystem::remove(recording);
    std::filesystem::create_directories(recording + "/inside");  // not a recording any more
    {
        ModalAnswerer yes(Answer(QMessageBox::Yes));
        m_dlg.OnRclickRecordList();
        ASSERT_EQ(yes.Seen().size(), 2u) << "the question, then what was done";
        EXPECT_TRUE(yes.Seen()[1].startsWith(QStringLiteral("只删除了这条记录"))) << yes.Seen()[1].toStdString();
    }
    EXPECT_TRUE(std::filesystem::exists(recording + "/inside")) << "left alone";
    EXPECT_EQ(RowCount(), 4);
    EXPECT_EQ(m_dlg.RecordList()->rowCount(), 4);
    std::filesystem::remove_all(recording);

    SelectRow(0);  // gone already: row and line go
    ModalAnswerer yes(Answer(QMessageBox::Yes));
    m_dlg.OnRclickRecordList();
    EXPECT_EQ(RowCount(), 3);
    EXPECT_EQ(m_dlg.RecordList()->rowCount(), 3);
}

TEST_F(VideoQueryDlgTest, TheListKeepsItsWidthAndMarginsWhenTheDialogGrows)
{
    m_dlg.setWindowState(Qt::WindowNoState);
    m_dlg.show();
    m_dlg.resize(1100, 700);
    EXPECT_EQ(m_dlg.RecordList()->geometry(), QRect(1100 - 193, 133, 183, 700 - 143));
    const QRect date = m_dlg.DateCombo()->geometry();
    EXPECT_EQ(date.right() + 1, 1100 - 10);
    EXPECT_EQ(m_dlg.Frame()->geometry().topLeft(), QPoint(11, 11));
    const QRect player = m_dlg.Frame()->geometry().adjusted(2, 2, -2, -2);
    EXPECT_EQ(m_dlg.Player()->geometry(), player);
    m_dlg.resize(900, 500);
    EXPECT_EQ(m_dlg.Frame()->geometry().width(), player.width() + 4 - 200);
}

// While the dialog stays open, a recording and an event of today come in:
// the row on top of the list with the rows in view and the selection kept,
// today in the day filter, both on the timeline with its hour kept; a
// second look adds nothing twice.
TEST_F(VideoQueryDlgTest, NewRecordingsAndEventsComeInWithoutMovingTheView)
{
    for (int i = 0; i < 100; ++i)
        AddRow(4, m_dir + "/old" + std::to_string(i) + ".mpg", StrFormat("2009-10-01 10:%02d:%02d", i / 60, i % 60));
    m_dlg.QueryHistory(kAllFilter, kAllFilter);
    m_dlg.show();
    CRecordList* list = m_dlg.RecordList();
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum() / 2);
    SelectRow(40);
    const QString inView = list->indexAt(QPoint(1, 1)).siblingAtColumn(2).data().toString();
    const std::string selected = PathOf(40);
    const std::string today = FormatLocalTime("%Y-%m-%d", CurrentTime());
    m_dlg.Timeline()->ZoomToHour(m_dlg.Timeline()->Data().dayStart + 3 * CDayTimeline::kHour);
    const PreciseTime viewFrom = m_dlg.Timeline()->ViewFrom();

    const std::string path = m_dir + "/dv(2)-today.mpg";
    AddRow(2, path, today + " 00:00:05");
    ExecuteCommand("INSERT INTO motion_event (capdrive, video_save_path, start_time, end_time, peak, kind) VALUES (2, '" +
                   path + "', '" + today + " 00:00:06.00', '" + today + " 00:00:09.00', 0.9, 'tamper')");
    m_dlg.RefreshHistory();
    m_dlg.RefreshHistory();
    EXPECT_EQ(Column(2).first().toStdString(), path);
    EXPECT_EQ(Column(2).count(QString::fromStdString(path)), 1);
    EXPECT_EQ(list->indexAt(QPoint(1, 1)).siblingAtColumn(2).data().toString(), inView) << "the rows in view stay";
    EXPECT_EQ(list->SelectedRows(), std::vector<int>{41});
    EXPECT_EQ(PathOf(41), selected);
    EXPECT_EQ(Entries(m_dlg.DateCombo()).at(1).toStdString(), today);
    EXPECT_EQ(m_dlg.DateCombo()->currentText(), kAllFilter);
    const CameraDay& camera2 = m_dlg.Timeline()->Data().cameras[1];
    ASSERT_EQ(camera2.events.size(), 1u);
    EXPECT_EQ(camera2.events[0].kind, MotionEventKind::kTamper);
    EXPECT_EQ(camera2.recorded.size(), 1u);
    EXPECT_EQ(m_dlg.Timeline()->ViewFrom(), viewFrom) << "the timeline keeps its hour";
}
