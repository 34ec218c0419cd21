// CPlayerToolbar: the player's row above its trackbar for finding a moment:
// the time of the picture on screen, the playback speed (1× to 16×), a step
// of one picture while paused and a snapshot of the picture.
#pragma once

#include <QWidget>

class CETButton;
class QComboBox;
class QLabel;

class CPlayerToolbar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 22;
    static constexpr int kSpeeds[] = {1, 2, 4, 8, 16};

    explicit CPlayerToolbar(QWidget* parent = nullptr);

    void SetTimeText(const QString& text);
    QString TimeText() const;
    // The speed chosen, 1 to 16.
    int Speed() const;
    void SetSpeed(int speed);

    QComboBox* SpeedBox() const { return m_speed; }
    CETButton* StepButton() const { return m_step; }
    CETButton* SnapshotButton() const { return m_snapshot; }

signals:
    void speedChosen(int speed);
    void stepClicked();
    void snapshotClicked();

private:
    QLabel* m_time = nullptr;
    QComboBox* m_speed = nullptr;
    CETButton* m_step = nullptr;
    CETButton* m_snapshot = nullptr;
};
