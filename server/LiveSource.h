// The cameras as the remote view sees them, given by whoever holds them
// (the main window's panels); numbered from 1 on the page, from 0 here.
// Called on the server's thread only.
#pragma once

#include "LiveShot.h"

#include <chrono>
#include <cstdint>

class LiveSource {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~LiveSource() = default;
    virtual int Cameras() const = 0;
    virtual LiveState State(int camera, Clock::time_point now) const = 0;
    // Counts as watching the camera; its newest picture when newer than `after`.
    virtual LiveShot Take(int camera, std::uint64_t after, Clock::time_point now) = 0;
};
