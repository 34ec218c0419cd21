// The player's decoding speed without its 40 ms pacing, on a ten-minute
// 640 × 480 recording made with the ffmpeg tool at the recorder's parameters.
//   player_bench [minutes]   (default 10)
#include "BenchSupport.h"
#include "VideoPlayDlg.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int PacedMinute(const std::string& dir);
double PlayPaced(const std::string& path, int speed, std::uint64_t* pictures);

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string dir = MakeScratchDatabase("player_bench");
    QApplication app(argc, argv);
    const std::string path = dir + "/ten.m1v";
    if (!Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=" +
               std::to_string(60 * minutes) + " -c:v mpeg1video -b:v 400k -g 10 -bf 1 -f mpeg1video '" + path + "'")) {
        std::fprintf(stderr, "player_bench: no recording\n");
        return 1;
    }
    CVideoPlayDlg player;
    player.resize(640, 500);
    player.show();
    player.SetPacing(std::chrono::milliseconds(0));
    const double cpu = CpuSeconds();
    const double start = WallSeconds();
    player.PlayFile(path);
    while (!player.WaitForEnd(20))
        QCoreApplication::processEvents();
    const double wall = WallSeconds() - start;
    const double pictures = static_cast<double>(player.PicturesShown());
    Result("player: pictures of a " + std::to_string(minutes) + "-minute recording", pictures, "pictures");
    Result("player: decode speed without pacing", pictures / wall, "pictures/s",
           "real time is 25");
    Result("player: CPU per picture", 1000 * (CpuSeconds() - cpu) / pictures, "ms");
    return PacedMinute(dir);
}

// A minute of 1280 × 720 played at its own pace: 1500 pictures should take
// 60 seconds of wall-clock time; fast playback that minute over the speed.
int PacedMinute(const std::string& dir)
{
    const std::string path = dir + "/hd.m1v";
    if (!Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=60 "
               "-c:v mpeg1video -b:v 400k -g 10 -bf 1 -f mpeg1video '" + path + "'"))
        return 1;
    for (int speed : {1, 4, 16}) {
        std::uint64_t pictures = 0;
        const double wall = PlayPaced(path, speed, &pictures);
        char goal[64];
        std::snprintf(goal, sizeof goal, " pictures, goal %.2f s within 1 %%", 60.0 / speed);
        Result("player: 1280x720 minute played paced at " + std::to_string(speed) + "x", wall, "s",
               std::to_string(pictures) + goal);
    }
    return 0;
}

double PlayPaced(const std::string& path, int speed, std::uint64_t* pictures)
{
    CVideoPlayDlg player;
    player.resize(640, 400);
    player.show();
    player.SetSpeed(speed);
    const double start = WallSeconds();
    player.PlayFile(path);
    while (!player.WaitForEnd(20))
        QCoreApplication::processEvents();
    *pictures = player.PicturesShown();
    return WallSeconds() - start;
}
