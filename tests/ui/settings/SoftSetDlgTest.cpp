// The settings dialog: what it shows, what it accepts and what it stores.
#include "ui/ModalAnswerer.h"
#include "Settings.h"
#include "SoftSetDlg.h"
#include "store/TempDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <functional>
#include <fstream>

namespace {
const QString kNotNumber = QStringLiteral("请输入数字，周期是以 天 计算的！");
const QString kBadFolder = QStringLiteral("您设置的目录不正确，请重新选择！");
}  // namespace

class SoftSetDlgTest : public TempDatabaseTest {
protected:
    QString Folder(const std::string& name) const { return QString::fromStdString(m_dir + "/" + name); }
    // Types `text` into the days box as one edit, as pasting it would.
    static void TypeDays(CSoftSetDlg& dlg, const QString& text)
    {
        dlg.DaysCombo()->setEditText(text);
        emit dlg.DaysCombo()->lineEdit()->textEdited(text);
    }
    // Moves the focus on from the days box, as Tab does.
    static void LeaveDays(CSoftSetDlg& dlg)
    {
        QApplication::setActiveWindow(&dlg);  // back from a message, as the window manager does
        dlg.FreeSpaceEdit()->setFocus();
        QApplication::processEvents();
    }
};

TEST_F(SoftSetDlgTest, ShowsTheStoredValuesExactlyAndOkWithoutAChangeKeepsThem)
{
    WriteSetting(kKeyVideoRootPath, m_dir);
    for (const char* days : {"12", "3", "1", "30", "45"}) {
        WriteSetting(kKeyCycleDelDays, days);
        CSoftSetDlg dlg;
        EXPECT_EQ(dlg.PathEdit()->text(), QString::fromStdString(m_dir));
        EXPECT_EQ(dlg.DaysCombo()->currentText(), QString::fromLatin1(days)) << "not a list entry beginning with it";
        dlg.OnOK();
        EXPECT_EQ(ReadSetting(kKeyCycleDelDays), days);
    }
}

// The days are looked at when the field is left, not while a number is
// typed: deleting the old digits first is no mistake.
TEST_F(SoftSetDlgTest, TheDaysMustBeAWholeNumberOfAtLeastOneWhenTheFieldIsLeft)
{
    CSoftSetDlg dlg;
    dlg.show();
    ModalAnswerer answerer;
    dlg.DaysCombo()->setFocus();
    dlg.DaysCombo()->lineEdit()->selectAll();
    QTest::keyClick(dlg.DaysCombo()->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(dlg.DaysCombo()->lineEdit(), QStringLiteral("45"));
    EXPECT_EQ(answerer.Count(kNotNumber), 0) << "nothing said while typing";
    LeaveDays(dlg);
    EXPECT_EQ(dlg.DaysCombo()->currentText(), QStringLiteral("45"));
    const auto typeOver = [&dlg](const char* text) {
        QApplication::setActiveWindow(&dlg);
        dlg.DaysCombo()->setFocus();
        dlg.DaysCombo()->lineEdit()->selectAll();
        QTest::keyClick(dlg.DaysCombo()->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(dlg.DaysCombo()->lineEdit(), QString::fromLatin1(text));
        LeaveDays(dlg);
    };
    for (const char* bad : {"045", "4.5", "0", "", "-3", "7 ", "9999997459"}) {
        typeOver(bad);
        EXPECT_EQ(dlg.DaysCombo()->currentText(), QStringLiteral("30")) << bad;
    }
    EXPECT_EQ(answerer.Count(kNotNumber), 7);
    typeOver("2147483647");
    EXPECT_EQ(dlg.DaysCombo()->currentText(), QStringLiteral("2147483647"));
}

TEST_F(SoftSetDlgTest, OkCreatesOneNewFolderLevelAndStoresBothValues)
{
    CSoftSetDlg dlg;
    dlg.PathEdit()->setText(Folder("new"));
    TypeDays(dlg, QStringLiteral("90"));
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(std::filesystem::is_directory(m_dir + "/new"));
    EXPECT_EQ(std::filesystem::status(m_dir + "/new").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all) << "footage is for its owner";
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), m_dir + "/new");
    EXPECT_EQ(ReadSetting(kKeyCycleDelDays), "90");
}

TEST_F(SoftSetDlgTest, ABadFolderIsRefusedAndNothingIsStored)
{
    WriteFile(m_dir + "/plain");
    ModalAnswerer answerer;
    for (const std::string& bad : {std::string("two/levels"), std::string("plain"), std::string()}) {
        CSoftSetDlg dlg;
        dlg.PathEdit()->setText(bad.empty() ? QString() : Folder(bad));
        TypeDays(dlg, QStringLiteral("60"));
        dlg.OnOK();
        EXPECT_NE(dlg.result(), QDialog::Accepted) << bad;
    }
    EXPECT_EQ(answerer.Count(kBadFolder), 3);
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/two"));
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), "");
    EXPECT_EQ(ReadSetting(kKeyCycleDelDays), "30");
}

TEST_F(SoftSetDlgTest, EscapeStoresNothing)
{
    CSoftSetDlg dlg;
    dlg.show();
    dlg.PathEdit()->setText(Folder("unused"));
    TypeDays(dlg, QStringLiteral("365"));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(ReadSetting(kKeyVideoRootPath), "");
    EXPECT_EQ(ReadSetting(kKeyCycleDelDays), "30");
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/unused"));
}

TEST_F(SoftSetDlgTest, TypedDaysAreSavedExactlyAsTypedWithoutCompletion)
{
    for (const char* typed : {"36", "1", "12"}) {
        CSoftSetDlg dlg;
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        dlg.PathEdit()->setText(Folder("rec"));
        dlg.DaysCombo()->lineEdit()->setFocus();
        dlg.DaysCombo()->lineEdit()->clear();
        QTest::keyClicks(dlg.DaysCombo()->lineEdit(), QString::fromLatin1(typed));
        EXPECT_EQ(dlg.DaysCombo()->currentText(), QString::fromLatin1(typed)) << "no 365, 120 from the list";
        dlg.OnOK();
        EXPECT_EQ(ReadSetting(kKeyCycleDelDays), typed);
    }
}

TEST_F(SoftSetDlgTest, NoPeriodIsEverSavedAsEmptyOrBelowOneDay)
{
    WriteSetting(kKeyVideoRootPath, m_dir);
    WriteSetting(kKeyCycleDelDays, "");
    CSoftSetDlg empty;
    EXPECT_EQ(empty.DaysCombo()->currentText(), QStringLiteral("30")) << "the first entry matches the empty text";

    ModalAnswerer answerer;
    for (const char* stored : {"0", "abc", "-7"}) {
        WriteSetting(kKeyCycleDelDays, stored);
        CSoftSetDlg dlg;
        dlg.OnOK();
        EXPECT_NE(dlg.result(), QDialog::Accepted) << stored;
        EXPECT_EQ(ReadSetting(kKeyCycleDelDays), stored) << "nothing saved";
        EXPECT_EQ(dlg.DaysCombo()->currentText(), QStringLiteral("30"));
        dlg.OnOK();
        EXPECT_EQ(ReadSetting(kKeyCycleDelDays), "30") << "the second OK saves what the field shows";
    }
    EXPECT_EQ(answerer.Count(kNotNumber), 3);
}

// Enter is 确定 wherever the focus is: everything checked and saved as by
// the button, never a close without saving; a bad value keeps the dialog.
TEST_F(SoftSetDlgTest, EnterIsOkFromEveryField)
{
    const struct {
        const char* what;
        std::function<QWidget*(CSoftSetDlg&)> field;
        QString days;
        bool saved;
    } cases[] = {
        {"the folder", [](CSoftSetDlg& d) { return static_cast<QWidget*>(d.PathEdit()); }, "45", true},
        {"the days", [](CSoftSetDlg& d) { return static_cast<QWidget*>(d.DaysCombo()->lineEdit()); }, "46", true},
        {"the free space", [](CSoftSetDlg& d) { return static_cast<QWidget*>(d.FreeSpaceEdit()); }, "47", true},
        {"the autostart box", [](CSoftSetDlg& d) { return static_cast<QWidget*>(d.AutostartBox()); }, "48", true},
        {"the browse button", [](CSoftSetDlg& d) { return d.findChild<QPushButton*>(QString(), Qt::FindDirectChildrenOnly); },
         "49", true},
        {"bad days", [](CSoftSetDlg& d) { return static_cast<QWidget*>(d.DaysCombo()->lineEdit()); }, "4x", false},
    };
    for (const auto& c : cases) {
        const std::string before = ReadSetting(kKeyCycleDelDays);
        ModalAnswerer answerer;
        CSoftSetDlg dlg;
        dlg.show();
        dlg.PathEdit()->setText(Folder(std::string("typed-") + c.days.toStdString()));
        TypeDays(dlg, c.days);
        QWidget* field = c.field(dlg);
        ASSERT_NE(field, nullptr) << c.what;
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(dlg.isVisible(), !c.saved) << c.what;
        EXPECT_EQ(ReadSetting(kKeyCycleDelDays), c.saved ? c.days.toStdString() : before) << c.what;
        EXPECT_EQ(std::filesystem::exists(m_dir + "/typed-" + c.days.toStdString()), c.saved) << c.what;
        EXPECT_EQ(answerer.Seen().size(), c.saved ? 0u : 1u) << c.what << ": no folder browser, and no message when all is right";
    }
}

TEST_F(SoftSetDlgTest, TheFreeSpaceToKeepIsEmptyForAutomaticOrWholeMegabytes)
{
    WriteSetting(kKeyMinFreeSpaceMb, "2048");
    ModalAnswerer answerer;
    CSoftSetDlg dlg;
    EXPECT_EQ(dlg.FreeSpaceEdit()->text(), QStringLiteral("2048"));
    EXPECT_FALSE(dlg.FreeSpaceEdit()->geometry().intersects(dlg.DaysCombo()->geometry()));
    dlg.PathEdit()->setText(Folder("rec"));
    for (const char* bad : {"-1", "1.5", "abc", "3 GB", "999999999"}) {
        dlg.FreeSpaceEdit()->setText(QString::fromLatin1(bad));
        dlg.OnOK();
        EXPECT_NE(dlg.result(), QDialog::Accepted) << bad;
    }
    EXPECT_EQ(answerer.Count(QStringLiteral("请输入数字，保留空间是以 MB 计算的！")), 4);
    ASSERT_EQ(answerer.Seen().size(), 5u);
    EXPECT_TRUE(answerer.Seen()[4].startsWith(QStringLiteral("保留空间必须小于磁盘容量的一半"))) << "a typo of a terabyte";
    EXPECT_EQ(ReadSetting(kKeyMinFreeSpaceMb), "2048") << "nothing saved";
    dlg.FreeSpaceEdit()->setText(QString());
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(ReadSetting(kKeyMinFreeSpaceMb), "") << "automatic";
}

TEST_F(SoftSetDlgTest, StartingWithTheSessionWritesAndRemovesAnAutostartEntry)
{
    setenv("XDG_CONFIG_HOME", (m_dir + "/config").c_str(), 1);
    WriteSetting(kKeyVideoRootPath, m_dir);
    const std::string entry = m_dir + "/config/autostart/lumaro.desktop";
    for (const bool on : {true, false}) {
        CSoftSetDlg dlg;
        EXPECT_EQ(dlg.AutostartBox()->isChecked(), !on) << "shows what is there";
        for (QWidget* other : dlg.findChildren<QWidget*>()) {
            if (other != dlg.AutostartBox() && other->parentWidget() == &dlg && !other->isHidden()) {
                EXPECT_FALSE(dlg.AutostartBox()->geometry().intersects(other->geometry())) << "no control covered";
            }
        }
        dlg.AutostartBox()->setChecked(on);
        dlg.OnOK();
        EXPECT_EQ(std::filesystem::exists(entry), on);
    }
    CSoftSetDlg again;
    again.AutostartBox()->setChecked(true);
    again.OnOK();
    std::ifstream in(entry);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[Desktop Entry]"), std::string::npos) << text;
    EXPECT_NE(text.find(" --home \"" + std::filesystem::current_path().string() + "\"\n"), std::string::npos)
        << "the working folder in use: " << text;
    unsetenv("XDG_CONFIG_HOME");
}

// 录像格式: the stored choice is shown (anything but "h264" reads as MPEG-1),
// 确定 stores the one shown, and the estimate follows the choice: from the
// measured rate (the other format at its typical share), else from the
// cameras' typical rate.
TEST_F(SoftSetDlgTest, TheRecordingFormatIsShownStoredAndItsDaysEstimated)
{
    const struct {
        const char* stored;
        int shown;
        int chosen;
        const char* saved;
    } choices[] = {{"", 0, 1, "h264"}, {"h264", 1, 0, "mpeg1"}, {"H264", 0, 0, "mpeg1"}, {"mpeg2", 0, 1, "h264"}};
    for (const auto& c : choices) {
        WriteSetting(kKeyRecordFormat, c.stored);
        CSoftSetDlg dlg;
        dlg.PathEdit()->setText(Folder("rec"));
        EXPECT_EQ(dlg.FormatRow().Combo()->currentIndex(), c.shown) << c.stored;
        dlg.FormatRow().Combo()->setCurrentIndex(c.chosen);
        dlg.OnOK();
        EXPECT_EQ(ReadSetting(kKeyRecordFormat), c.saved) << c.stored;
    }
    const std::uint64_t tenDaysOfAKilobyteASecond = 10ULL * 86400 * 1000;
    const struct {
        RecordFormatRow::Estimate inputs;
        int chosen;
        const char* days;
    } estimates[] = {
        {{tenDaysOfAKilobyteASecond, 1000, RecordFormat::kMpeg1, 0}, 0, "10"},
        {{tenDaysOfAKilobyteASecond, 1000, RecordFormat::kMpeg1, 0}, 1, "40"},
        {{tenDaysOfAKilobyteASecond, 250, RecordFormat::kH264, 0}, 0, "10"},
        {{tenDaysOfAKilobyteASecond, 0, RecordFormat::kMpeg1, 500}, 0, "20"},
    };
    for (const auto& e : estimates) {
        CSoftSetDlg dlg;
        dlg.FormatRow().Combo()->setCurrentIndex(e.chosen);
        dlg.FormatRow().SetEstimate(e.inputs);
        EXPECT_EQ(dlg.FormatRow().EstimateText(), QStringLiteral("按现在的摄像头，这个磁盘约可保存 %1 天录像").arg(e.days));
    }
    CSoftSetDlg nothing;
    nothing.FormatRow().SetEstimate({tenDaysOfAKilobyteASecond, 0, RecordFormat::kMpeg1, 0});
    EXPECT_TRUE(nothing.FormatRow().EstimateText().isEmpty()) << "no camera, no estimate";

    // A folder typed in the dialog, made or not yet, is estimated on its disk.
    for (const QString& typed : {Folder("rec"), Folder("rec") + "/not/made/yet"}) {
        CSoftSetDlg dlg;
        dlg.FormatRow().Combo()->setCurrentIndex(0);
        dlg.FormatRow().SetEstimate({0, 1000, RecordFormat::kMpeg1, 0});
        dlg.PathEdit()->setText(typed);
        emit dlg.PathEdit()->editingFinished();
        const int days = DaysOfRecordings(SpaceForRecordings(Folder("rec").toStdString()), 1000);
        EXPECT_GT(days, 0);
        EXPECT_EQ(dlg.FormatRow().EstimateText().toStdString(),
                  QStringLiteral("按现在的摄像头，这个磁盘约可保存 %1 天录像").arg(days).toStdString()) << typed.toStdString();
    }
}
