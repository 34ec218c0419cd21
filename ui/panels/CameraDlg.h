// CCameraDlg: the black panel that stands for one camera in the main window.
// It starts the capture graph from a one-second retry timer, runs it once it
// is built, blinks "没有信号" in its top-right corner until the first frame
// comes (the device opens on the graph's own thread), and goes back to
// retrying when its device is lost or cannot be opened. What it shows (the last picture
// and the mark) is kept in the panel, so a covered panel repaints it.
#pragma once

#include "RecordMark.h"
#include "VideoCapture.h"
#include "WindowTimers.h"

#include <QDialog>
#include <QImage>

#include <memory>
#include <optional>
#include <string>

class LiveTap;
class PanelLink;
class QPainter;

class CCameraDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int TIMER_CAMERA_START = 1;
    static constexpr int TIMER_NO_SIGNAL = 3;  // blinks the mark while a built graph has no frame yet
    static constexpr int kRetryPeriodMs = 1000;

    explicit CCameraDlg(QWidget* parent = nullptr);
    ~CCameraDlg() override;

    // Also names the camera's way to the remote view.
    void SetDeviceIndex(int deviceIndex);
    int DeviceIndex() const { return m_deviceIndex; }
    void SetRecordingRoot(const std::string& root) { m_strRecordRoot = root; }

    void SetTimer(int id, int periodMs) { m_timers.SetTimer(id, periodMs); }
    void KillTimer(int id) { m_timers.KillTimer(id); }
    bool IsTimerActive(int id) const { return m_timers.IsActive(id); }

    CVideoCapture& Capture() { return m_capture; }
    // What the panel shows now, and why its camera could not be opened.
    const QImage& Canvas() const { return m_canvas; }
    const QString& FailureText() const { return m_failureText; }
    // Whether the camera is recorded, or why not, as the panel shows it.
    const RecordMark& Mark() const { return m_mark; }
    // The camera's pictures, name and mark for the remote view; the same
    // from the panel's making to its end.
    std::shared_ptr<LiveTap> Live() const { return m_remote; }

    void OnTimer(int id);
    // A device-lost notice from the streaming thread of capture `captureId`.
    // The panel says why a camera could not be opened; one that refused the
    // user name or password is asked again after 1, 2, 4 … at most 60 s, so
    // that its account is not locked.
    void OnGraphNotify(std::uint64_t captureId, OpenFailure failure = OpenFailure::kNone);
    static int RetryPeriodMs(int refusals);
    // Monitoring off: no retry, no blinking, the graph stopped.
    void StopCapture();
    // After 停止监控: the panel says 已停止 instead of holding a still
    // picture, until its camera starts again.
    void ShowStopped();
    // A new source for this panel: the graph is released (its file ends
    // properly) and, while monitoring runs, built again at once.
    void ChangeSource(std::optional<CaptureDeviceEntry> source, bool monitoring);
    // Full view: the panel covers `area` and shows its camera alone, at up
    // to the picture's own size; off: back to its place in the grid.
    void SetFullView(bool on, const QRect& area = QRect());
    bool IsFullView() const { return m_fullView; }
    // A new recording folder: the camera's file ends properly and, while
    // monitoring runs, the camera records on in the new folder at once.
    void ChangeRecordingRoot(const std::string& root, bool monitoring);

signals:
    // Something the status box should tell, without its time.
    void StatusEvent(const QString& text);
    // The panel was double-clicked: into its full view or out of it.
    void FullViewAsked(CCameraDlg* panel);

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void DrawNoSignalMark();
    void DrawFailureText(QPainter& painter);
    void TakeDisplayImage();
    void FitCanvas();
    void UpdateRecordMark();
    void TellLoss();
    QString CameraName() const;

    int m_deviceIndex = 0;
    std::string m_strRecordRoot;
    CVideoCapture m_capture;
    int m_blinkPhase = 0;
    bool m_stopped = false;
    int m_refusals = 0;  // the camera's refusals of the credentials in a row
    QString m_failureText;  // why the camera could not be opened
    bool m_live = false;  // a picture came since the graph was built
    bool m_lossTold = false;  // the status box was told of a loss not yet ended
    QString m_failureTold;  // the open failure the status box was told of last
    RecordMark m_mark;
    std::optional<RecordMarkInput> m_markInput;  // what m_mark was made from
    bool m_fullView = false;
    QRect m_gridGeometry;  // the panel's place while in full view
    QSize m_shownSize;     // of the last picture drawn
    QString m_reasonTold;  // the 未录像 reason the status box was told of last
    QImage m_canvas;
    WindowTimers m_timers{this};
    std::shared_ptr<PanelLink> m_link;
    std::shared_ptr<LiveTap> m_remote;
};
