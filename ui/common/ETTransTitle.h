// CETTransTitle: a title that paints its own text, centred horizontally on a
// transparent background in its own font and colour, optionally underlined.
#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class CETTransTitle : public QWidget {
    Q_OBJECT
public:
    explicit CETTransTitle(const QString& text, QWidget* parent = nullptr);
    void SetBold();
    void UseLargeFont();
    void SetText(const QString& text) { m_text = text, update(); }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void CreateTitleFont(QFont description);

    QString m_text;
    QColor m_crText{0, 0, 255};
    QFont m_font;
    bool m_bHaveFont = false;
    bool m_bBold = false;
    QColor m_crLine{255, 0, 0};
    bool m_bLine = false;
};
