// CSoftSetDlg: the recording folder, the retention period and the free space
// to keep. All are read when the dialog opens and written together by its OK
// button only.
#pragma once

#include "RecordFormatRow.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class CSoftSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSoftSetDlg(QWidget* parent = nullptr);
    // Folder browsing result handling; exposed for the dialog's own button.
    void OnBrowse();
    void OnOK();

    QLineEdit* PathEdit() const { return m_pathEdit; }
    QComboBox* DaysCombo() const { return m_daysCombo; }
    QCheckBox* AutostartBox() const { return m_autostart; }
    QLineEdit* FreeSpaceEdit() const { return m_freeSpaceEdit; }
    // What the camera button (摄像头设置) opens; without it the button is hidden.
    void SetCameraSettings(std::function<void()> open);
    // Shows 远程查看, which calls `open`.
    void SetRemoteView(std::function<void()> open);
    // Empty (automatic) or a whole number of MiB, 0 for no check.
    static bool IsValidFreeSpace(const QString& text);
    // The dialog of the first start, which asks for the recording folder.
    void SetFirstStart(bool firstStart) { m_firstStart = firstStart; }
    RecordFormatRow& FormatRow() { return *m_formatRow; }

protected:
    // Enter is 确定 (everything checked and saved), Escape leaves unsaved.
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void ShowStoredTexts();
    void TakeFieldTexts();

    void RefuseDays();
    void AddFreeSpaceRow();

    QString m_strPath;
    QString m_strDays;
    QLineEdit* m_pathEdit;
    QComboBox* m_daysCombo;
    QLineEdit* m_freeSpaceEdit = nullptr;
    QPushButton* m_btnCameras = nullptr;
    std::function<void()> m_openCameras;
    QPushButton* m_btnRemote = nullptr;
    std::function<void()> m_openRemote;
    bool m_firstStart = false;
    QCheckBox* m_autostart = nullptr;  // 开机自动启动
    std::unique_ptr<RecordFormatRow> m_formatRow;  // 录像格式
};
