#include "CaptureTestSupport.h"

#include "CaptureDevices.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <thread>

void Pump(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

VirtualCameras::VirtualCameras(const std::string& devices)
{
    setenv(kCaptureDevicesVariable, devices.c_str(), 1);
}

VirtualCameras::~VirtualCameras()
{
    unsetenv(kCaptureDevicesVariable);
}

namespace {
bool IsGreen(int r, int g, int b)
{
    return g > 150 && r < 100 && b < 100;
}
}  // namespace

int GreenPixels(const QImage& image, int x, int y, int w, int h)
{
    int n = 0;
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) {
            const QRgb p = image.pixel(xx, yy);
            n += IsGreen(qRed(p), qGreen(p), qBlue(p));
        }
    return n;
}

int GreenPixels(const std::uint8_t* rgb, int width, int x, int y, int w, int h)
{
    int n = 0;
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) {
            const std::uint8_t* p = rgb + (static_cast<std::size_t>(yy) * width + xx) * 3;
            n += IsGreen(p[0], p[1], p[2]);
        }
    return n;
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    for (int waited = 0; waited < ms && !done(); waited += 20)
        Pump(20);
    return done();
}
