// CVideoQueryDlg: the history of recordings. The list is narrowed by camera
// and by day; a double click plays a recording in the embedded player, a
// right click deletes it (file, row and line). While it is open, new
// recordings and events come into the list and the day timeline every few
// seconds (VideoQueryRefresh.cpp).
#pragma once

#include "DayTimelineData.h"
#include "HistoryQuery.h"
#include "PictureClock.h"
#include "RowCursor.h"

#include <QDialog>
#include <QRect>
#include <QString>

#include <memory>

class CDayTimeline;
class CVideoPlayDlg;
class QComboBox;
class CETButton;
class CRecordList;
class QLabel;


class CVideoQueryDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr std::size_t kPageRows = 500;
    static constexpr int kTimelineSpace = 110;  // below the player's frame
    static constexpr int kRefreshMs = 5000;

    explicit CVideoQueryDlg(QWidget* parent = nullptr);
    ~CVideoQueryDlg() override;

    // Initialisation, then the modal run, shown maximised.
    int DoModal();
    bool OnInitDialog();

    void QueryHistory(const QString& device, const QString& date);
    void OnSelendokFilter();
    void OnDblclkRecordList();
    void PlayRow(int row);
    // Deletes the selected recordings after a question that names them (否
    // by default): each goes, file and row, or the reason it stays is said.
    void OnRclickRecordList();
    // The export window, for the selected recording's camera and time (or
    // the last minute of the chosen camera when none is selected).
    void OnExport();
    void LayoutControls(int cx, int cy);


    QComboBox* DeviceCombo() const { return m_deviceCombo; }
    QComboBox* DateCombo() const { return m_dateCombo; }
    CRecordList* RecordList() const { return m_recordList; }
    CVideoPlayDlg* Player() const { return m_player; }
    QLabel* Frame() const { return m_frame; }
    CETButton* ExportButton() const { return m_btnExport; }
    CDayTimeline* Timeline() const { return m_timeline; }
    // The day timeline shows the chosen day (today while 全部 is chosen).
    void ReloadTimeline();
    // From the timeline: camera `camera` played from `moment`; a range of
    // it offered for export.
    void PlayAt(int camera, PreciseTime moment);
    void OfferExport(int camera, PreciseTime from, PreciseTime to);
    // 上一个事件 / 下一个事件 of the player: the start of the camera's
    // previous or next motion event that day, in whichever file holds it.
    void GoToEvent(bool next);
    // New recordings into the list (above, the rows in view and the
    // selection staying where they are), new days into the day filter, the
    // timeline read again keeping its view: every kRefreshMs while shown.
    void RefreshHistory();

public slots:
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void CreateControls();
    void CreateRecordList();
    void ChainFocus();
    void CaptureGeometry();
    void FillRecordList(const QString& device, const QString& date);
    void FetchMoreRows();
    void AppendRows(CRecordset& rs);
    void SetRow(int row, const CRecordset& rs);
    void OnListScrolled(int value);
    void RebuildDateCombo(const QString& device);
    int FirstSelectedRow() const;
    QString DeleteRecordingFile(const QString& path);
    void CreateTimeline();
    void ConnectPlayerEvents();
    void PlayIn(const DayTimelineData& day, int camera, PreciseTime moment);
    void MarkPlayingEvents(const DayTimelineData& day, int camera);
    void MarkEventsOfPlayingRecording();
    std::optional<DayTimelineData> DayOf(PreciseTime moment) const;
    void StartRefreshing();
    void TakeNewRows();
    void TakeNewDays();

    CVideoPlayDlg* m_player = nullptr;
    CDayTimeline* m_timeline = nullptr;
    QComboBox* m_deviceCombo = nullptr;
    int m_deviceRightDistance = 0;  // of its left edge from the client's right edge
    int m_deviceTop = 0;
    QComboBox* m_dateCombo = nullptr;
    QRect m_dateGeometry;
    CRecordList* m_recordList = nullptr;
    int m_labelDistance = 0;
    QPoint m_frameOrigin;
    int m_frameRightMargin = 0;
    int m_frameBottomMargin = 0;
    QLabel* m_deviceLabel = nullptr;
    QLabel* m_dateLabel = nullptr;
    QLabel* m_hint = nullptr;
    QLabel* m_header = nullptr;
    QLabel* m_icon = nullptr;
    QLabel* m_frame = nullptr;
    CETButton* m_btnExport = nullptr;  // right of the device box, clear of the template's controls
    bool m_bControlsBound = false;
    QString m_strDevice;
    QString m_strDate;
    std::unique_ptr<CRowCursor> m_cursor;  // the list's rows not read yet
    bool m_bFetching = false;
};
