// CETBitmapButton: a button that shows an image instead of a face, with the
// hand cursor.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

class CETBitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CETBitmapButton(QWidget* parent = nullptr);
    void SetImage(const QPixmap& image);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QPixmap m_image;
};
