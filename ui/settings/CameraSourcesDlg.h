// CCameraSourcesDlg ("摄像头设置"): the camera of each of the four positions,
// "自动" (the V4L2 device at that position, the drivers' names listed) or a
// source the user gives: a V4L2 node, an RTSP address, an MJPEG stream over
// HTTP or TCP. A test button opens a source on a thread of its own and shows
// its first picture or the error. Beside each camera's motion sensitivity,
// 区域 opens its zones left out of motion detection, drawn on its picture
// (the test's, else the live one). OK stores the four sources, their
// sensitivities and zones.
#pragma once

#include "CaptureSource.h"
#include "MotionZones.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <thread>

class QComboBox;
class QLabel;
class QPushButton;

class CCameraSourcesDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPositions = 4;

    explicit CCameraSourcesDlg(QWidget* parent = nullptr);
    ~CCameraSourcesDlg() override;

    // The positions whose source OK changed; empty before OK.
    const std::vector<int>& Changed() const { return m_changed; }
    QComboBox* SourceBox(int position) const { return m_boxes.at(static_cast<std::size_t>(position)); }
    // 关, 低, 中 or 高: how readily the camera's pictures count as motion.
    QComboBox* MotionBox(int position) const { return m_motionBoxes.at(static_cast<std::size_t>(position)); }
    QPushButton* ZonesButton(int position) const { return m_zoneButtons.at(static_cast<std::size_t>(position)); }
    const std::vector<MotionZone>& Zones(int position) const { return m_zones.at(static_cast<std::size_t>(position)); }
    QLabel* Preview() const { return m_preview; }
    // What a position's panel shows now, for drawing its zones on.
    void SetLivePictures(std::function<QImage(int position)> live) { m_live = std::move(live); }
    QLabel* Status() const { return m_status; }

    void OnTest(int position);
    void OnZones(int position);
    void OnOK();

private:
    void AddRow(int position, const QStringList& devices);
    void AddMotionBox(int position);
    void ShowTestResult(int position, const QImage& picture, const QString& error);
    void ShowZoneCount(int position);
    void EndTest();

    std::array<QComboBox*, kPositions> m_boxes{};
    std::array<QComboBox*, kPositions> m_motionBoxes{};
    std::array<QPushButton*, kPositions> m_zoneButtons{};
    std::array<std::vector<MotionZone>, kPositions> m_zones;
    std::array<QImage, kPositions> m_tested;  // the last test's picture of each position
    std::function<QImage(int)> m_live;
    QLabel* m_preview = nullptr;
    QLabel* m_status = nullptr;
    std::vector<int> m_changed;
    std::unique_ptr<CaptureSource> m_testSource;  // read by m_tester only
    std::thread m_tester;                         // "camera-test"; joined by EndTest
};
