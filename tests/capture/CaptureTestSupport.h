// Helpers for the capture tests: event pumping, virtual cameras, green stamps.
#pragma once

#include <functional>

#include <QImage>

#include <cstdint>
#include <string>

// Runs the Qt event loop for `ms` milliseconds.
void Pump(int ms);
// Pumps the event loop until `done` holds, at most `ms`; whether it holds.
bool WaitFor(const std::function<bool()>& done, int ms = 5000);

// Points the device list at `devices` for the life of the object.
class VirtualCameras {
public:
    explicit VirtualCameras(const std::string& devices);
    ~VirtualCameras();
};

// Pixels in the rectangle that are clearly the green of the stamps.
int GreenPixels(const QImage& image, int x, int y, int w, int h);
// The same for a top-down RGB24 picture.
int GreenPixels(const std::uint8_t* rgb, int width, int x, int y, int w, int h);
