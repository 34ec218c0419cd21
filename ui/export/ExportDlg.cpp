#include "ExportDlg.h"

#include "ClipExporter.h"
#include "Dialogs.h"
#include "ETButton.h"
#include "ExportOutput.h"

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
    // The question before replacing a file is asked once, on 导出.
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("保存录像片段"), m_output->text(),
                                                        QStringLiteral("MP4 视频 (*.mp4)"), nullptr,
                                                        QFileDialog::DontConfirmOverwrite | kQtFileDialog);
    if (!chosen.isEmpty())
        m_output->setText(chosen.endsWith(QLatin1String(".mp4"), Qt::CaseInsensitive) ? chosen : chosen + ".mp4");
}

void CExportDlg::OnExport()
{
    if (IsRunning())
        return;
    ExportRequest request{m_camera->currentIndex() + 1, m_from->dateTime().toSecsSinceEpoch(),
                          m_to->dateTime().toSecsSinceEpoch(), m_output->text().trimmed().toStdString(), false,
                          "窗口：查询历史 → 导出"};
    if (request.to <= request.from) {
        MessageBoxWarning(this, QStringLiteral("结束时间必须晚于开始时间！"));
        return;
    }
    if (!MayWrite(request.output, &request.overwrite))
        return;
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

bool CExportDlg::MayWrite(const std::string& output, bool* overwrite)
{
    const ExportNames names = NamesFor(output);
    const std::vector<std::string> guarded = GuardedFolders();
    const OutputCheck check = CheckOutput(names, false, guarded);
    if (check.verdict == OutputVerdict::kFree)
        return true;
    const QString path = QString::fromStdString(check.path);
    if (CheckOutput(names, true, guarded).verdict != OutputVerdict::kFree) {
        MessageBoxWarning(this, QStringLiteral("不能保存为 %1：已经有这个名字的录像、数据库或者文件夹。请换一个文件名。").arg(path));
        return false;
    }
    *overwrite = MessageBoxYesNo(this, QStringLiteral("%1 已经存在。要替换以前导出的这个文件吗？").arg(path), true);
    return *overwrite;
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
        QString text = QStringLiteral("导出完成：%1 个画面\n%2\n报告：%3\n校验文件：%4")
                           .arg(result.pictures)
                           .arg(m_output->text().trimmed(), QString::fromStdString(result.reportFile),
                                QString::fromStdString(result.checksumFile));
        if (!result.gaps.empty() || !result.damage.empty())
            text += QStringLiteral("\n其中 %1 处没有录像，%2 处损坏，详见报告。").arg(result.gaps.size()).arg(result.damage.size());
        MessageBoxInformation(this, text);
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
