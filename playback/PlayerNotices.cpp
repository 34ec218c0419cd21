#include "PlayerNotices.h"

#include <utility>

void PlayerNotices::SetWake(std::function<void()> wake)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_wake = std::move(wake);
}

std::vector<PlayerNotice> PlayerNotices::Take()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return std::exchange(m_notices, {});
}

void PlayerNotices::Post(const PlayerNotice& notice)
{
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (notice.kind == PlayerNotice::kPictureShown && !m_notices.empty() &&
            m_notices.back().kind == PlayerNotice::kPictureShown && m_notices.back().generation == notice.generation) {
            m_notices.back() = notice;
            return;
        }
        m_notices.push_back(notice);
        if (m_notices.size() == 1)
            wake = m_wake;
    }
    if (wake)
        wake();
}
