#include "PlayerToolbar.h"

#include "Dialogs.h"
#include "ETButton.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 18;
constexpr int kEventButtonWidth = 66;
constexpr int kRoomyWidth = 640;

CETButton* AddButton(const QString& text, const QString& tip, QWidget* parent, QHBoxLayout* row)
{
    auto* button = new CETButton(text, parent);  // owned by the toolbar
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::StrongFocus);  // reachable with Tab, pressed with Space
    button->Bind(QRect(0, 0, kButtonWidth, kButtonHeight));
    button->setFixedSize(kButtonWidth, kButtonHeight);
    row->addWidget(button);
    return button;
}

QLabel* AddText(const QString& text, QWidget* parent, QHBoxLayout* row)
{
    auto* label = new QLabel(text, parent);  // owned by the toolbar
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    row->addWidget(label);
    return label;
}

}  // namespace

CPlayerToolbar::CPlayerToolbar(QWidget* parent) : QWidget(parent)
{
    SetBackground(this, Qt::black);
    auto* row = new QHBoxLayout(this);  // owned by the toolbar
    row->setContentsMargins(4, 2, 2, 2);
    row->setSpacing(6);
    m_time = AddText(QString(), this, row);
    m_time->setToolTip(QStringLiteral("画面的时间"));
    m_previousEvent = AddButton(QString(), QStringLiteral("上一个事件：这个摄像头当天的上一个移动事件"), this, row);
    m_nextEvent = AddButton(QString(), QStringLiteral("下一个事件：这个摄像头当天的下一个移动事件"), this, row);
    row->addStretch(1);
    m_jumpLabel = AddText(QStringLiteral("跳转到"), this, row);
    m_jump = new QLineEdit(this);  // owned by the toolbar
    m_jump->setPlaceholderText(QStringLiteral("时:分:秒"));
    m_jump->setToolTip(QStringLiteral("输入时间（例如 14:05:00）后按回车"));
    m_jump->setInputMask(QStringLiteral("99:99:99;_"));
    m_jump->setFixedSize(64, kButtonHeight);
    row->addWidget(m_jump);
    m_speedLabel = AddText(QStringLiteral("速度"), this, row);
    m_speed = new QComboBox(this);  // owned by the toolbar
    for (int speed : kSpeeds)
        m_speed->addItem(QStringLiteral("%1×").arg(speed), speed);
    m_speed->setToolTip(QStringLiteral("8× 和 16× 只显示关键帧"));
    m_speed->setFocusPolicy(Qt::StrongFocus);
    m_speed->setFixedHeight(kButtonHeight);
    row->addWidget(m_speed);
    m_stepBack = AddButton(QStringLiteral("上一帧"), QStringLiteral("暂停时后退一帧"), this, row);
    m_step = AddButton(QStringLiteral("单帧"), QStringLiteral("暂停时前进一帧"), this, row);
    m_snapshot = AddButton(QStringLiteral("截图"), QStringLiteral("把当前画面保存为 PNG 图片"), this, row);
    connect(m_speed, qOverload<int>(&QComboBox::activated), this, [this] { emit speedChosen(Speed()); });
    connect(m_step, &QPushButton::clicked, this, &CPlayerToolbar::stepClicked);
    connect(m_stepBack, &QPushButton::clicked, this, &CPlayerToolbar::stepBackClicked);
    connect(m_jump, &QLineEdit::returnPressed, this, [this] { emit jumpRequested(m_jump->text()); });
    connect(m_snapshot, &QPushButton::clicked, this, &CPlayerToolbar::snapshotClicked);
    FitToWidth();
    connect(m_previousEvent, &QPushButton::clicked, this, [this] { emit eventAsked(false); });
    connect(m_nextEvent, &QPushButton::clicked, this, [this] { emit eventAsked(true); });
}

// A narrow player (the history dialog not maximised) gets the short names,
// the time of day without its date, and no words before the field and the
// speed (their tooltips say them).
void CPlayerToolbar::FitToWidth()
{
    const bool roomy = width() >= kRoomyWidth;
    m_jumpLabel->setVisible(roomy);
    m_speedLabel->setVisible(roomy);
    SetTimeText(m_timeText);
    const int buttonWidth = roomy ? kEventButtonWidth : kButtonWidth;
    m_previousEvent->setText(roomy ? QStringLiteral("上一个事件") : QStringLiteral("◀事件"));
    m_nextEvent->setText(roomy ? QStringLiteral("下一个事件") : QStringLiteral("事件▶"));
    for (CETButton* button : {m_previousEvent, m_nextEvent}) {
        button->Bind(QRect(0, 0, buttonWidth, kButtonHeight));
        button->setFixedSize(buttonWidth, kButtonHeight);
    }
}

void CPlayerToolbar::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    FitToWidth();
}

void CPlayerToolbar::SetTimeText(const QString& text)
{
    m_timeText = text;
    m_time->setToolTip(text.isEmpty() ? QStringLiteral("画面的时间") : text);
    m_time->setText(width() >= kRoomyWidth || text.size() <= 11 ? text : text.mid(11));
}

QString CPlayerToolbar::TimeText() const
{
    return m_timeText;
}

int CPlayerToolbar::Speed() const
{
    return m_speed->currentData().toInt();
}

void CPlayerToolbar::SetSpeed(int speed)
{
    const int index = m_speed->findData(speed);
    if (index >= 0) {
        m_speed->setCurrentIndex(index);
        emit speedChosen(speed);
    }
}

QList<QWidget*> CPlayerToolbar::FocusChain() const
{
    return {m_previousEvent, m_nextEvent, m_jump, m_speed, m_stepBack, m_step, m_snapshot};
}
