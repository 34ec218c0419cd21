// CMotionZonesDlg ("不侦测的区域"): the zones of one camera's picture left
// out of motion detection, drawn on its picture (see CZoneCanvas). OK
// hands them back to 摄像头设置, which stores them with its own OK.
#pragma once

#include "MotionZones.h"

#include <QDialog>
#include <QImage>

#include <vector>

class CZoneCanvas;
class QLabel;

class CMotionZonesDlg : public QDialog {
    Q_OBJECT
public:
    CMotionZonesDlg(int position, const QImage& picture, std::vector<MotionZone> zones, QWidget* parent = nullptr);

    std::vector<MotionZone> Zones() const;
    CZoneCanvas* Canvas() const { return m_canvas; }

private:
    void ShowCount();

    CZoneCanvas* m_canvas = nullptr;
    QLabel* m_count = nullptr;
};
