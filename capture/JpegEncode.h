// A picture as a JPEG for the remote view, through libjpeg-turbo: the 32-bit
// image is read as it lies in memory (blue, green, red, pad), with the fast
// transform, so a half-size 1080p picture takes a few milliseconds.
#pragma once

#include <QImage>

#include <string>

// False (and `out` empty) when the library refused the picture.
bool EncodeJpeg(const QImage& image, int quality, std::string* out);
