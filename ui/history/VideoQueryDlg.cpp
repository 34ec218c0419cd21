// The history dialog's window: controls, layout and the modal run.
#include "VideoQueryDlg.h"

#include "DayTimeline.h"

#include "DialogUnits.h"
#include "Dialogs.h"
#include "ETButton.h"
#include "Images.h"
#include "RecordList.h"
#include "VideoPlayDlg.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>

namespace {

constexpr auto kFont = TemplateFont::ShellDlg8;

QComboBox* AddCombo(QWidget* parent, const QRect& geometry)
{
    auto* combo = new QComboBox(parent);  // owned by the dialog
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Only an entry chosen from the list filters: the box would otherwise
    // take a typed text that matches an entry when it loses the focus or on
    // Enter, and filter by it.
    QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
    QObject::disconnect(combo->lineEdit(), &QLineEdit::returnPressed, combo, nullptr);
    combo->setGeometry(geometry.x(), geometry.y(), geometry.width(), combo->sizeHint().height());
    return combo;
}

}  // namespace

CVideoQueryDlg::CVideoQueryDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("历史录像查询"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QPixmap::fromImage(AppIconImage())));
    resize(DluX(454), DluY(233, kFont));
    SetBackground(this, Qt::white);
    CreateControls();
    CreateTimeline();
}

// The player, a child, stops and joins its thread. The list's scroll bar
// still reports while the children are torn down, after the cursor is gone.
CVideoQueryDlg::~CVideoQueryDlg()
{
    disconnect(m_recordList->verticalScrollBar(), nullptr, this, nullptr);
}

void CVideoQueryDlg::CreateControls()
{
    m_hint = AddLabel(this, QStringLiteral("选择双击记录，则播放\n  右键则删除记录"), DluRect(338, 9, 81, 18, kFont));
    m_icon = AddLabel(this, QString(), QRect(DluRect(424, 7, 21, 20, kFont).topLeft(), QSize(32, 32)));
    m_icon->setPixmap(QPixmap::fromImage(AppIconImage()));
    m_header = AddHeading(this, QStringLiteral("  选择查询条件"), DluRect(324, 34, 129, 12, kFont));
    m_deviceLabel = AddLabel(this, QStringLiteral("设备"), DluRect(338, 52, 17, 8, kFont));
    m_deviceCombo = AddCombo(this, DluRect(363, 51, 48, 67, kFont));
    m_dateLabel = AddLabel(this, QStringLiteral("日期"), DluRect(338, 66, 17, 8, kFont));
    m_dateCombo = AddCombo(this, DluRect(363, 65, 83, 161, kFont));
    m_btnExport = new CETButton(QStringLiteral("导出"), this);
    m_btnExport->setFixedSize(50, m_deviceCombo->height());
    m_btnExport->Bind(QRect(DluX(454) - 60, m_deviceCombo->y(), 50, m_deviceCombo->height()));
    connect(m_btnExport, &QPushButton::clicked, this, &CVideoQueryDlg::OnExport);
    m_frame = AddLabel(this, QStringLiteral("静态"), DluRect(7, 7, 317, 219, kFont));
    m_frame->setFrameShape(QFrame::Box);
    SetBackground(m_frame, Qt::black);
    CreateRecordList();
    connect(m_deviceCombo, qOverload<int>(&QComboBox::activated), this, &CVideoQueryDlg::OnSelendokFilter);
    connect(m_dateCombo, qOverload<int>(&QComboBox::activated), this, &CVideoQueryDlg::OnSelendokFilter);
    m_bControlsBound = true;
}

void CVideoQueryDlg::CreateRecordList()
{
    m_recordList = new CRecordList(this);
    m_recordList->setGeometry(DluRect(330, 81, 116, 145, kFont));
    m_recordList->setHorizontalHeaderLabels({QStringLiteral("设备"), QStringLiteral("日期"), QStringLiteral("文件路径")});
    m_recordList->horizontalHeaderItem(2)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[3] = {37, 120, 256};
    for (int column = 0; column < 3; ++column)
        m_recordList->setColumnWidth(column, widths[column]);
    m_recordList->verticalHeader()->hide();
    m_recordList->setShowGrid(true);
    connect(m_recordList, &QTableWidget::cellDoubleClicked, this, &CVideoQueryDlg::OnDblclkRecordList);
    connect(m_recordList, &CRecordList::PlayAsked, this, &CVideoQueryDlg::PlayRow);
    connect(m_recordList, &CRecordList::DeleteAsked, this, &CVideoQueryDlg::OnRclickRecordList);
    connect(m_recordList->verticalScrollBar(), &QScrollBar::valueChanged, this, &CVideoQueryDlg::OnListScrolled);
}

// Tab goes from the list to the filters and the export, through the
// player's row, to the day timeline; the list has the focus first.
void CVideoQueryDlg::ChainFocus()
{
    QList<QWidget*> chain{m_recordList, m_deviceCombo, m_dateCombo, m_btnExport};
    chain += m_player->FocusChain();
    chain << m_timeline;
    for (int i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
    m_recordList->setFocus();
}

int CVideoQueryDlg::DoModal()
{
    OnInitDialog();
    return exec();
}

bool CVideoQueryDlg::OnInitDialog()
{
    CaptureGeometry();
    m_player = new CVideoPlayDlg(this);
    m_player->show();
    ConnectPlayerEvents();
    ChainFocus();
    m_deviceCombo->addItems({QStringLiteral("全部"), "1", "2", "3", "4"});
    m_deviceCombo->setCurrentIndex(0);
    QueryHistory(QStringLiteral("全部"), QStringLiteral("全部"));
    ReloadTimeline();
    StartRefreshing();
    setWindowState(windowState() | Qt::WindowMaximized);
    return true;
}

void CVideoQueryDlg::CaptureGeometry()
{
    const int w0 = width(), h0 = height();
    const QRect device = m_deviceCombo->geometry();
    m_deviceRightDistance = w0 - device.left();
    m_deviceTop = device.top();
    m_dateGeometry = m_dateCombo->geometry();
    m_labelDistance = w0 - m_deviceLabel->x();
    const QRect frame = m_frame->geometry();
    m_frameOrigin = frame.topLeft();
    m_frameRightMargin = (w0 - (frame.right() + 1)) + frame.left();
    m_frameBottomMargin = h0 - (frame.bottom() + 1) + kTimelineSpace;  // the day timeline below the frame
}

void CVideoQueryDlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    if (m_bControlsBound && m_player != nullptr)
        LayoutControls(width(), height());
}

void CVideoQueryDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_player != nullptr)
        m_player->show();
}

void CVideoQueryDlg::LayoutControls(int cx, int cy)
{
    m_recordList->setGeometry(cx - 193, 133, 183, cy - 143);
    m_recordList->show();
    m_deviceCombo->move(cx - m_deviceRightDistance, m_deviceTop);
    m_dateCombo->move(cx - 10 - m_dateGeometry.width(), m_dateGeometry.top());
    m_btnExport->move(cx - 10 - m_btnExport->width(), m_deviceTop);
    m_deviceLabel->move(cx - m_labelDistance, m_deviceLabel->y());
    m_dateLabel->move(cx - m_labelDistance, m_dateLabel->y());
    m_hint->move(cx - m_labelDistance - 15, m_hint->y());
    m_header->move(cx - m_labelDistance - 30, m_header->y());
    m_icon->move(cx - 50, m_icon->y());
    const int frameWidth = cx - m_frameRightMargin - m_frameOrigin.x();
    const int frameHeight = cy - m_frameBottomMargin - m_frameOrigin.y();
    m_frame->setGeometry(QRect(m_frameOrigin, QSize(frameWidth, frameHeight)));
    m_frame->show();
    m_player->setGeometry(m_frameOrigin.x() + 2, m_frameOrigin.y() + 2, frameWidth - 4, frameHeight - 4);
    m_player->raise();
    m_player->show();
    m_timeline->setGeometry(m_frameOrigin.x(), m_frameOrigin.y() + frameHeight + 4, frameWidth, CDayTimeline::kHeight);
    m_timeline->show();
    update();
}

// The player's thread ends with the dialog.
void CVideoQueryDlg::done(int result)
{
    if (m_player != nullptr)
        m_player->OnClose();
    m_cursor.reset();
    QDialog::done(result);
}
