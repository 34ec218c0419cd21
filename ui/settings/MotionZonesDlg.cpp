#include "MotionZonesDlg.h"

#include "Dialogs.h"
#include "ETButton.h"
#include "ZoneCanvas.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CMotionZonesDlg::CMotionZonesDlg(int position, const QImage& picture, std::vector<MotionZone> zones, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("不侦测的区域 - 摄像头 %1").arg(position + 1));
    SetBackground(this, Qt::white);
    auto* layout = new QVBoxLayout(this);  // owned by the dialog
    auto* hint = new QLabel(QStringLiteral("在画面上按住鼠标左键拖出不侦测移动的区域（风扇、招牌、马路、树等）；"
                                           "右键点区域即删除。时间和标题所在的角落总是不侦测。"),
                            this);
    hint->setWordWrap(true);
    hint->setFixedWidth(CZoneCanvas::kWidth);
    layout->addWidget(hint);
    m_canvas = new CZoneCanvas(picture, std::move(zones), this);
    layout->addWidget(m_canvas);
    auto* row = new QHBoxLayout;
    m_count = new QLabel(this);
    row->addWidget(m_count);
    row->addStretch();
    auto* clear = new CETButton(QStringLiteral("全部清除"), this);
    auto* ok = new CETButton(QStringLiteral("确定"), this);
    auto* cancel = new CETButton(QStringLiteral("取消"), this);
    for (CETButton* button : {clear, ok, cancel}) {
        button->setFixedSize(75, 23);
        button->Bind(QRect(0, 0, 75, 23));
        row->addWidget(button);
    }
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(clear, &QPushButton::clicked, m_canvas, &CZoneCanvas::Clear);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_canvas, &CZoneCanvas::ZonesChanged, this, &CMotionZonesDlg::ShowCount);
    ShowCount();
    m_canvas->setFocus();
}

std::vector<MotionZone> CMotionZonesDlg::Zones() const
{
    return m_canvas->Zones();
}

void CMotionZonesDlg::ShowCount()
{
    const std::size_t count = m_canvas->Zones().size();
    m_count->setText(count == 0 ? QStringLiteral("整个画面都侦测")
                     : count >= CZoneCanvas::kMostZones ? QStringLiteral("已有 %1 个区域（最多）").arg(count)
                                                         : QStringLiteral("已有 %1 个区域").arg(count));
}
