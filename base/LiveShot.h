// What a camera gives the remote view: its newest picture as a JPEG and
// what its panel says of it. Plain data, shared by the camera's side and
// the server's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct LiveShot {
    std::uint64_t number = 0;                 // counts up from 1 with each picture
    std::shared_ptr<const std::string> jpeg;  // null: nothing newer to give
    std::string time;                         // the stamp's text
    std::int64_t ageMs = 0;                   // since the camera's thread handed it over
};

struct LiveState {
    std::string name;
    bool recording = false;
    std::string mark;    // 录像, or 未录像 and why
    std::string time;    // of the last picture handed over; empty for none
    bool fresh = false;  // that picture is a recent one
};
