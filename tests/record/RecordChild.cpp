// Helper process for the crash test: records 25 frames a second into the
// folder given as argument 1 until it is killed, writing the number of frames
// encoded so far into the file given as argument 2.
#include "Database.h"
#include "VideoEncoder.h"

#include <chrono>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3 || InitDatabaseConnect() != 0)
        return 2;
    const int w = 320, h = 240;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(w) * h * 3);
    CVideoEncoder encoder;
    encoder.SetRecordingRoot(argv[1]);
    encoder.Init(0, w, h);
    const int progress = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (int n = 1;; ++n) {
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<std::uint8_t>(i / 3 / w + n * 4);
        encoder.EncodeFrame(frame.data(), w, h);
        const std::string count = std::to_string(n) + "\n";
        if (::pwrite(progress, count.data(), count.size(), 0) < 0)
            return 3;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
}
