// CETButton: the program's push button look: rounded shape, grey-blue border,
// light vertical gradient, orange frame under the mouse, blue frame with the
// focus, text shifted one pixel while pressed, hand cursor.
#pragma once

#include <QPushButton>

class CETButton : public QPushButton {
    Q_OBJECT
public:
    explicit CETButton(const QString& text, QWidget* parent = nullptr);

    // The shape is fixed at the size the button has when it is bound.
    void Bind(const QRect& geometry);
    bool IsHover() const { return m_bHover; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    virtual void DrawGradient(QPainter& p, const QRect& r);
    virtual void DrawFrame(QPainter& p, const QRect& r);

private:
    bool m_bHover = false;
    bool m_bFocus = false;
    bool m_bEmphasis = false;
};
