// The settings dialog's row 录像格式: MPEG-1 (compatible, the default) or
// H.264 (space-saving), and under it how many days of recordings the
// folder's disk holds in the chosen format with the cameras now running.
#pragma once

#include "RecordFormat.h"

#include <QString>

#include <cstdint>

class QComboBox;
class QLabel;
class QWidget;

class RecordFormatRow {
public:
    // The row's controls are children of `dialog`, at the template's free
    // place under the recording folder.
    explicit RecordFormatRow(QWidget* dialog);

    // The stored choice, shown.
    void Load();
    // The shown choice, stored.
    void Save() const;
    RecordFormat Chosen() const;
    QComboBox* Combo() const { return m_combo; }

    // What the estimate goes by: the space the recordings may use, the
    // cameras' measured write rate (bytes a second, 0 before a measurement)
    // in the format they record now, and their typical MPEG-1 rate.
    struct Estimate {
        std::uint64_t space = 0;
        double measured = 0;
        RecordFormat measuredFormat = RecordFormat::kMpeg1;
        double typicalMpeg1 = 0;
    };
    void SetEstimate(const Estimate& estimate);
    // Another folder chosen: the space its disk gives the recordings.
    void SetSpace(std::uint64_t space);
    QString EstimateText() const;

private:
    void ShowEstimate();

    QComboBox* m_combo;
    QLabel* m_estimate;
    Estimate m_inputs;
};
