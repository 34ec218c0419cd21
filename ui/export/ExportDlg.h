// CExportDlg ("导出录像"): a camera and a time range as an MP4 clip, chosen
// in the history dialog. The export runs on a thread of its own with a
// progress bar and a cancel button; a message says how it ended.
#pragma once

#include "TextFormat.h"

#include <QDialog>

#include <atomic>
#include <string>
#include <thread>

class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;
struct ExportResult;

class CExportDlg : public QDialog {
    Q_OBJECT
public:
    CExportDlg(QWidget* parent, int camera, TimeValue from, TimeValue to);
    ~CExportDlg() override;

    void OnBrowse();
    void OnExport();
    // Cancels a running export (its file is not kept), else closes.
    void reject() override;

    QComboBox* CameraBox() const { return m_camera; }
    QDateTimeEdit* FromEdit() const { return m_from; }
    QDateTimeEdit* ToEdit() const { return m_to; }
    QLineEdit* OutputEdit() const { return m_output; }
    bool IsRunning() const { return m_worker.joinable(); }

private:
    // Whether the names may be written: asks before replacing an earlier
    // export, refuses anything else that exists. Sets `overwrite`.
    bool MayWrite(const std::string& output, bool* overwrite);
    void ShowProgress(double fraction);
    void Finished(const ExportResult& result);
    void EndWorker();

    QComboBox* m_camera;
    QDateTimeEdit* m_from;
    QDateTimeEdit* m_to;
    QLineEdit* m_output;
    QProgressBar* m_progress;
    QPushButton* m_btnExport;
    std::atomic<bool> m_cancel{false};
    std::thread m_worker;  // "clip-export"; joined by EndWorker
};
