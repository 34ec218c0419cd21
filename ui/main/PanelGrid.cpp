#include "PanelGrid.h"

#include "CameraDlg.h"
#include "CameraSources.h"
#include "RecordFormat.h"

#include <algorithm>

namespace {

const QPoint kPanelOrigins[PanelGrid::kPanelCount] = {{5, 2}, {327, 2}, {5, 244}, {327, 244}};
const QSize kPanelSize(320, 240);

}  // namespace

PanelGrid::PanelGrid(QWidget* canvas)
{
    for (auto& panel : m_panels) {
        panel = new CCameraDlg(canvas);  // owned by the canvas
        panel->hide();
    }
}

void PanelGrid::Start(const std::string& root)
{
    for (int i = 0; i < kPanelCount; ++i) {
        CCameraDlg* panel = Panel(i);
        panel->SetRecordingRoot(root);
        panel->setGeometry(QRect(kPanelOrigins[i], kPanelSize));
        panel->show();
    }
    for (int i = 0; i < kPanelCount; ++i) {
        CCameraDlg* panel = Panel(i);
        panel->SetDeviceIndex(i);
        panel->Capture().SetSource(ReadCameraSource(i));
        panel->Capture().SetMotionSettings(ReadMotionSettings(i));
    }
    StartCameras();
}

void PanelGrid::StartCameras()
{
    for (CCameraDlg* panel : m_panels) {
        panel->KillTimer(CCameraDlg::TIMER_CAMERA_START);
        panel->SetTimer(CCameraDlg::TIMER_CAMERA_START, CCameraDlg::kRetryPeriodMs);
    }
}

void PanelGrid::StopCameras()
{
    for (CCameraDlg* panel : m_panels) {
        panel->StopCapture();
        panel->ShowStopped();
    }
}

void PanelGrid::ToggleFullView(CCameraDlg* panel)
{
    if (panel->IsFullView())
        return ShowAll();
    for (CCameraDlg* other : m_panels)
        other->setVisible(other == panel);
    panel->SetFullView(true, VideoArea());
}

void PanelGrid::ShowAll()
{
    if (std::none_of(m_panels.begin(), m_panels.end(), [](CCameraDlg* panel) { return panel->IsFullView(); }))
        return;
    for (CCameraDlg* panel : m_panels) {
        panel->SetFullView(false);
        panel->show();
    }
}

void PanelGrid::ChangeRoot(const std::string& root, bool monitoring)
{
    for (CCameraDlg* panel : m_panels)
        panel->ChangeRecordingRoot(root, monitoring);
}

// A changed camera takes effect at once: its recording ends properly and
// the new source is opened.
void PanelGrid::ApplyCameraSettings(const std::vector<int>& changed, bool monitoring)
{
    for (int position = 0; position < kPanelCount; ++position)
        Panel(position)->Capture().SetMotionSettings(ReadMotionSettings(position));
    for (int position : changed)
        Panel(position)->ChangeSource(ReadCameraSource(position), monitoring);
}

void PanelGrid::Release()
{
    for (CCameraDlg* panel : m_panels)
        if (CCaptureGraph* graph = panel->Capture().Control())
            graph->RequestStop();
    for (CCameraDlg* panel : m_panels) {
        panel->StopCapture();
        panel->Capture().ReleaseGraph();
    }
}

double PanelGrid::TypicalMpeg1Rate() const
{
    double rate = 0;
    for (CCameraDlg* panel : m_panels)
        if (const CCaptureGraph* graph = panel->Capture().Control(); graph != nullptr && graph->Renderer().FrameWidth() > 0)
            rate += TypicalBytesPerSecond(RecordFormat::kMpeg1, graph->Renderer().FrameWidth(),
                                          graph->Renderer().FrameHeight());
    return rate;
}

QRect PanelGrid::VideoArea()
{
    return QRect(kPanelOrigins[0], kPanelOrigins[kPanelCount - 1] + QPoint(kPanelSize.width() - 1, kPanelSize.height() - 1));
}
