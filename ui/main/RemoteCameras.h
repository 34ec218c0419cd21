// The main window's cameras as the remote view sees them: each panel's way
// to it, in the panels' order. The taps live as long as their panels, which
// outlive the server.
#pragma once

#include "LiveSource.h"
#include "LiveTap.h"

#include <memory>
#include <vector>

class RemoteCameras : public LiveSource {
public:
    explicit RemoteCameras(std::vector<std::shared_ptr<LiveTap>> taps) : m_taps(std::move(taps)) {}

    int Cameras() const override { return static_cast<int>(m_taps.size()); }
    LiveState State(int camera, Clock::time_point now) const override { return m_taps.at(camera)->State(now); }
    LiveShot Take(int camera, std::uint64_t after, Clock::time_point now) override
    {
        return m_taps.at(camera)->Take(after, now);
    }

private:
    const std::vector<std::shared_ptr<LiveTap>> m_taps;
};
