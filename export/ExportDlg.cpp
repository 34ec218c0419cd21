#include "ExportDlg.h"

#include "ClipExporter.h"
#include "Dialogs.h"
#include "ETButton.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>

#include <algorithm>
#include <pthread.h>

namespace {

QDateTimeEdit* TimeEdit(QWidget* parent, TimeValue time)
{
    auto* edit = new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(time), parent);  // owned by the dialog
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    edit->setCalendarPopup(true);
    return edit;
}

CETButton* Button(const QString& text, QWidget* parent)
{
    auto* button = new CETButton(text, parent);
    button->setFixedSize(75, 23);
    button->Bind(QRect(0, 0, 75, 23));
    return button;
}

}  // namespace

CExportDlg::CExportDlg(QWidget* parent, int camera, TimeValue from, TimeValue to) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("导出录像"));
    SetBackground(this, Qt::white);
    m_camera = new QComboBox(this);
    m_camera->addItems({"1", "2", "3", "4"});
    m_camera->setCurrentIndex(std::clamp(camera, 1, 4) - 1);
    m_from = TimeEdit(this, from);
    m_to = TimeEdit(this, to);
    m_output = new QLineEdit(QDir::home().filePath(QStringLiteral("录像片段.mp4")), this);
    m_output->setMinimumWidth(320);
    auto* browse = Button(QStringLiteral("选择"), this);
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(m_output);
    outputRow->addWidget(browse);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_btnExport = Button(QStringLiteral("导出"), this);
    auto* cancel = Button(QStringLiteral("取消"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnExport);
    buttons->addWidget(cancel);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("摄像头"), m_camera);
    form->addRow(QStringLiteral("开始时间"), m_from);
    form->addRow(QStringLiteral("结束时间"), m_to);
    form->addRow(QStringLiteral("保存为"), outputRow);
    form->addRow(QStringLiteral("进度"), m_progress);
    form->addRow(buttons);
    connect(browse, &QPushButton::clicked, this, &CExportDlg::OnBrowse);
    connect(m_btnExport, &QPushButton::clicked, this, &CExportDlg::OnExport);
    connect(cancel, &QPushButton::clicked, this, &CExportDlg::reject);
}

CExportDlg::~CExportDlg()
{
    m_cancel = true;
    EndWorker();
}

void CExportDlg::OnBrowse()
{
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("保存录像片段"), m_output->text(),
                                                        QStringLiteral("MP4 视频 (*.mp4)"));
    if (!chosen.isEmpty())
        m_output->setText(chosen.endsWith(QLatin1String(".mp4"), Qt::CaseInsensitive) ? chosen : chosen + ".mp4");
}

void CExportDlg::OnExport()
{
    if (IsRunning())
        return;
    const ExportRequest request{m_camera->currentIndex() + 1, m_from->dateTime().toSecsSinceEpoch(),
                                m_to->dateTime().toSecsSinceEpoch(), m_output->text().trimmed().toStdString()};
    if (request.to <= request.from) {
        MessageBoxWarning(this, QStringLiteral("结束时间必须晚于开始时间!"));
        return;
    }
    m_cancel = false;
    m_btnExport->setEnabled(false);
    m_progress->setValue(0);
    m_worker = std::thread([this, request] {
        pthread_setname_np(pthread_self(), "clip-export");
        const ExportResult result = ClipExporter::Run(request, &m_cancel, [this](double fraction, long long) {
            QMetaObject::invokeMethod(this, [this, fraction] { ShowProgress(fraction); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(this, [this, result] { Finished(result); }, Qt::QueuedConnection);
    });
}

void CExportDlg::ShowProgress(double fraction)
{
    m_progress->setValue(static_cast<int>(fraction * 1000));
}

void CExportDlg::Finished(const ExportResult& result)
{
    EndWorker();
    m_btnExport->setEnabled(true);
    if (result.ok) {
        m_progress->setValue(1000);
        MessageBoxWarning(this, QStringLiteral("导出完成：%1 个画面\n%2\n校验文件：%3")
                                    .arg(result.pictures)
                                    .arg(m_output->text(), QString::fromStdString(result.checksumFile)));
        accept();
    } else if (result.error == "cancelled") {
        QDialog::reject();  // cancelled on purpose: nothing is kept, nothing to say
    } else {
        MessageBoxWarning(this, QStringLiteral("导出失败：%1").arg(QString::fromStdString(result.error)));
    }
}

void CExportDlg::reject()
{
    if (IsRunning()) {
        m_cancel = true;  // the worker ends at the next picture; Finished follows
        return;
    }
    QDialog::reject();
}

void CExportDlg::EndWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}
