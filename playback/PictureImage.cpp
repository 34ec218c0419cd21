#include "PictureImage.h"

// The decoder's picture as packed RGB; for an older recording into an image
// that reads its bytes as blue, green, red, which exchanges them back.
bool PictureImage::Convert(const AVFrame* picture, bool trueColours)
{
    const int width = picture->width;
    const int height = picture->height;
    const QImage::Format format = trueColours ? QImage::Format_RGB888 : QImage::Format_BGR888;
    if (m_image.width() != width || m_image.height() != height || m_image.format() != format)
        m_image = QImage(width, height, format);
    if (m_image.isNull())
        return false;
    SwsContext* scaler = CachedScaler(m_scaler, width, height, static_cast<AVPixelFormat>(picture->format), width,
                                      height, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    if (scaler == nullptr)
        return false;
    m_packed.Scale(scaler, picture, width, height, m_image.bits(), m_image.bytesPerLine());
    return true;
}
