// The one queue through which the player's decoding thread tells whoever
// shows its pictures what happened: a picture shown, the end of a playback.
// Pictures shown one after another replace each other while unread, so the
// queue stays short however fast pictures come; a wake callback says when
// the queue gets its first notice. Neither side waits for the other.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

struct PlayerNotice {
    enum Kind { kPictureShown, kStopped };
    Kind kind = kPictureShown;
    long long number = -1;  // the picture shown
    int generation = 0;     // the playback the notice belongs to
};

class PlayerNotices {
public:
    // Called on the posting thread; it must not block (a window posts
    // itself a call).
    void SetWake(std::function<void()> wake);
    void Post(const PlayerNotice& notice);
    // The notices since the last call, oldest first.
    std::vector<PlayerNotice> Take();

private:
    std::mutex m_lock;
    std::vector<PlayerNotice> m_notices;
    std::function<void()> m_wake;
};
