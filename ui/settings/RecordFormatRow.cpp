#include "RecordFormatRow.h"

#include "DialogUnits.h"
#include "Dialogs.h"
#include "Settings.h"

#include <QComboBox>
#include <QLabel>

namespace {

constexpr auto kFont = TemplateFont::ShellDlg8;

}  // namespace

RecordFormatRow::RecordFormatRow(QWidget* dialog)
{
    AddLabel(dialog, QStringLiteral("录像格式"), DluRect(42, 99, 33, 8, kFont));
    m_combo = new QComboBox(dialog);  // owned by the dialog
    m_combo->setGeometry(DluRect(78, 96, 100, 13, kFont));
    m_combo->addItem(QStringLiteral("MPEG-1（兼容）"));
    m_combo->addItem(QStringLiteral("H.264（省空间）"));
    m_estimate = AddLabel(dialog, QString(), DluRect(78, 110, 220, 8, kFont));
    QObject::connect(m_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), m_combo, [this] { ShowEstimate(); });
}

void RecordFormatRow::Load()
{
    m_combo->setCurrentIndex(ParseRecordFormat(ReadSetting(kKeyRecordFormat)) == RecordFormat::kH264 ? 1 : 0);
    ShowEstimate();
}

void RecordFormatRow::Save() const
{
    WriteSetting(kKeyRecordFormat, RecordFormatText(Chosen()));
}

RecordFormat RecordFormatRow::Chosen() const
{
    return m_combo->currentIndex() == 1 ? RecordFormat::kH264 : RecordFormat::kMpeg1;
}

void RecordFormatRow::SetEstimate(const Estimate& estimate)
{
    m_inputs = estimate;
    ShowEstimate();
}

void RecordFormatRow::SetSpace(std::uint64_t space)
{
    m_inputs.space = space;
    ShowEstimate();
}

QString RecordFormatRow::EstimateText() const
{
    return m_estimate->text();
}

// From the measured rate where there is one (in the other format: its
// typical share), else from the cameras' typical rate.
void RecordFormatRow::ShowEstimate()
{
    const RecordFormat chosen = Chosen();
    const double rate = m_inputs.measured > 0
                            ? RateInFormat(m_inputs.measured, m_inputs.measuredFormat, chosen)
                            : RateInFormat(m_inputs.typicalMpeg1, RecordFormat::kMpeg1, chosen);
    const int days = DaysOfRecordings(m_inputs.space, rate);
    m_estimate->setText(days < 0 ? QString()
                                 : QStringLiteral("按现在的摄像头，这个磁盘约可保存 %1 天录像").arg(days));
}
