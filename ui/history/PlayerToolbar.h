// CPlayerToolbar: the player's row above its trackbar for finding a moment:
// the time of the picture on screen, a jump to a time of day, the playback
// speed (1× to 16×), a step of one picture back or forward while paused
// and a snapshot of the picture; and a jump to the previous or next motion
// event of the camera.
#pragma once

#include <QWidget>

class CETButton;
class QComboBox;
class QLabel;
class QLineEdit;

class CPlayerToolbar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 22;
    static constexpr int kSpeeds[] = {1, 2, 4, 8, 16};

    explicit CPlayerToolbar(QWidget* parent = nullptr);
    // Its controls in the order Tab visits them.
    QList<QWidget*> FocusChain() const;

    void SetTimeText(const QString& text);
    QString TimeText() const;
    // The speed chosen, 1 to 16.
    int Speed() const;
    void SetSpeed(int speed);

    QComboBox* SpeedBox() const { return m_speed; }
    CETButton* StepButton() const { return m_step; }
    CETButton* StepBackButton() const { return m_stepBack; }
    QLineEdit* JumpField() const { return m_jump; }
    CETButton* SnapshotButton() const { return m_snapshot; }
    CETButton* PreviousEventButton() const { return m_previousEvent; }
    CETButton* NextEventButton() const { return m_nextEvent; }

signals:
    void speedChosen(int speed);
    void stepClicked();
    void stepBackClicked();
    // Enter in the jump field, with its text ("HH:MM:SS").
    void jumpRequested(const QString& timeOfDay);
    void snapshotClicked();
    // 上一个事件 (false) or 下一个事件 (true).
    void eventAsked(bool next);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void FitToWidth();

    QLabel* m_time = nullptr;
    QString m_timeText;  // the whole of it; a narrow row shows the time without the date
    QLabel* m_jumpLabel = nullptr;
    QLabel* m_speedLabel = nullptr;
    QComboBox* m_speed = nullptr;
    CETButton* m_step = nullptr;
    CETButton* m_stepBack = nullptr;
    QLineEdit* m_jump = nullptr;
    CETButton* m_snapshot = nullptr;
    CETButton* m_previousEvent = nullptr;
    CETButton* m_nextEvent = nullptr;
};
