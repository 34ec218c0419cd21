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

CETButton* AddButton(const QString& text, const QString& tip, QWidget* parent, QHBoxLayout* row)
{
    auto* button = new CETButton(text, parent);  // owned by the toolbar
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);  // keys stay with the trackbar
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
    row->addStretch(1);
    AddText(QStringLiteral("跳转到"), this, row);
    m_jump = new QLineEdit(this);  // owned by the toolbar
    m_jump->setPlaceholderText(QStringLiteral("时:分:秒"));
    m_jump->setToolTip(QStringLiteral("输入时间（例如 14:05:00）后按回车"));
    m_jump->setInputMask(QStringLiteral("99:99:99;_"));
    m_jump->setFixedSize(64, kButtonHeight);
    row->addWidget(m_jump);
    AddText(QStringLiteral("速度"), this, row);
    m_speed = new QComboBox(this);  // owned by the toolbar
    for (int speed : kSpeeds)
        m_speed->addItem(QStringLiteral("%1×").arg(speed), speed);
    m_speed->setToolTip(QStringLiteral("8× 和 16× 只显示关键帧"));
    m_speed->setFocusPolicy(Qt::NoFocus);
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
}

void CPlayerToolbar::SetTimeText(const QString& text)
{
    m_time->setText(text);
}

QString CPlayerToolbar::TimeText() const
{
    return m_time->text();
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
