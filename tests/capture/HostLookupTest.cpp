// A camera address's host, found where FFmpeg finds it, and looked up.
#include "HostLookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

TEST(HostLookupTest, TheHostIsFoundAsFfmpegFindsIt)
{
    const std::pair<const char*, const char*> cases[] = {
        {"rtsp://cam.local:554/live", "cam.local"},
        {"http://admin:p@ss@cam.shop/video?user=a&pwd=b@c", "cam.shop"},
        {"http://admin:p@ss/w0rd@cam.shop/video", "ss"},  // as FFmpeg reads it: the path begins at the '/' 
        {"http://cam/a@b/c", "cam"},
        {"http://[fe80::1]:80/v", "[fe80::1]"},
        {"tcp://192.168.1.9:8000", "192.168.1.9"},
        {"/dev/video0", ""},
        {"testsrc2=size=640x480", ""},
    };
    for (const auto& [url, host] : cases) {
        const std::string address = url;
        const HostSpan span = FindHost(address);
        EXPECT_EQ(address.substr(span.begin, span.length), host) << url;
    }
    std::string url = "http://user:pw@localhost:8080/video";
    std::string header;
    const std::atomic<bool> stop{false};
    ASSERT_EQ(LookUpHost(&url, &header, stop, std::chrono::steady_clock::now() + std::chrono::seconds(5)),
              HostLookup::kFound);
    EXPECT_TRUE(url == "http://user:pw@127.0.0.1:8080/video" || url == "http://user:pw@[::1]:8080/video") << url;
    EXPECT_EQ(header, "Host: localhost:8080\r\n");
}
