// The four camera panels of the main window in their 2 × 2 grid: placing
// and starting them, monitoring on and off, a panel's full view, a new
// recording folder or camera, and ending every camera side by side.
#pragma once

#include <QRect>

#include <array>
#include <string>
#include <vector>

class CCameraDlg;
class QWidget;

class PanelGrid {
public:
    static constexpr int kPanelCount = 4;

    // The panels are children of `canvas`, hidden until Start.
    explicit PanelGrid(QWidget* canvas);

    CCameraDlg* Panel(int i) const { return m_panels.at(static_cast<std::size_t>(i)); }
    const std::array<CCameraDlg*, kPanelCount>& Panels() const { return m_panels; }

    // Shows the panels in their places and starts each camera from its
    // settings, recording into `root`.
    void Start(const std::string& root);
    void StartCameras();
    void StopCameras();
    // A double-click on a panel: that camera alone in the video area, or
    // all four again.
    void ToggleFullView(CCameraDlg* panel);
    void ShowAll();
    // Each camera ends its file and begins the next in `root`.
    void ChangeRoot(const std::string& root, bool monitoring);
    // The motion settings of every camera, and the sources of `changed`,
    // read again from the settings.
    void ApplyCameraSettings(const std::vector<int>& changed, bool monitoring);
    // Every camera is told first, so they all end side by side; each
    // recording gets its end code.
    void Release();

    // What the cameras running now typically write in MPEG-1, bytes a second.
    double TypicalMpeg1Rate() const;

    // The four panels' area, which a panel's full view covers.
    static QRect VideoArea();

private:
    std::array<CCameraDlg*, kPanelCount> m_panels{};  // children of the canvas
};
