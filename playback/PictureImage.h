// Turns decoded pictures into images of the scene's colours, keeping the
// scaler and the image between pictures of the same size. Recordings made
// before their mark said "true colours" hold red and blue exchanged; their
// pictures are exchanged back.
#pragma once

#include "FfmpegPtr.h"
#include "PackedScale.h"

#include <QImage>

class PictureImage {
public:
    // The picture into the image being made; false (and the image
    // unchanged) when no scaler fits it.
    bool Convert(const AVFrame* picture, bool trueColours);
    // The image made last; swapped with `other`, so the next picture is
    // made in what `other` held.
    void SwapInto(QImage& other) { std::swap(m_image, other); }

private:
    SwsContextPtr m_scaler;
    PackedScaler m_packed;
    QImage m_image;
};
