// A network camera's host name is looked up here, not inside FFmpeg: the
// system's lookup cannot be interrupted, and a name server that does not
// answer would hold the camera's thread, and so the window that stops it
// and the end of the program, for many seconds. The lookup runs in the C
// library's own helpers while the camera's thread waits for it in short
// steps, giving up on a stop or at its deadline; FFmpeg then gets the
// address in numbers and has nothing left to look up.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

// Where the host lies in "scheme://[user[:password]@]host[:port][/path][?query]",
// read as FFmpeg reads it: the host follows the last '@' before the first
// '/', '?' or '#' after "://". Empty when the address names no host (a
// device path, a virtual camera, "file:///…").
struct HostSpan {
    std::size_t begin = 0;
    std::size_t length = 0;
    bool bracketed = false;  // "[…]", an IPv6 address
};
HostSpan FindHost(const std::string& url);

enum class HostLookup {
    kNoName,    // nothing to look up: no host, an address in numbers, or
                // HTTPS and TLS, whose certificates name the host (FFmpeg looks it up)
    kFound,     // `url` now holds the address in numbers
    kNotFound,  // no such name, or no answer before the deadline
    kStopped,   // `stop` was set
};

// Looks up the host of `*url` and puts its address in numbers in its place.
// `*hostHeader` gets "Host: NAME[:PORT]\r\n" for an HTTP address, so the
// camera still sees the name it was asked by.
HostLookup LookUpHost(std::string* url, std::string* hostHeader, const std::atomic<bool>& stop,
                      std::chrono::steady_clock::time_point deadline);
