// Motion in a camera's pictures, judged on a small grey copy (about 160
// pixels wide) against a slowly updated background, before the time stamp
// is burnt in. A pixel moved when it differs from the background by more
// than the sensitivity's threshold, after the picture's overall change of
// light (brightness and contrast) is taken out; the picture moved when enough of it did. A
// change of most of the picture at once (lights, a cloud, a camera's
// day/night switch) is a new background, not motion; the corners where the
// stamps go are never looked at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class MotionSensitivity { kOff, kLow, kMedium, kHigh };

// "off", "low", "medium" or "high" (empty: medium); nullopt for anything else.
std::optional<MotionSensitivity> ParseMotionSensitivity(const std::string& text);
const char* MotionSensitivityKey(MotionSensitivity sensitivity);
// The setting of camera position 0 to 3: camera_motion_1 … camera_motion_4.
std::string MotionSettingKey(int position);

class MotionDetector {
public:
    static constexpr int kSmallWidth = 160;

    void SetSensitivity(MotionSensitivity sensitivity) { m_sensitivity = sensitivity; }
    MotionSensitivity Sensitivity() const { return m_sensitivity; }

    // The share of the picture (0 to 1) that moved in this frame, 0 when it
    // does not count as motion; only every third frame is judged, the
    // others get the verdict of the one before. `frame`: blue, green, red; rows bottom-up.
    double Look(const std::uint8_t* frame, int width, int height);

private:
    struct Limits {
        int threshold;      // grey levels
        double minimumShare;  // of the looked-at pixels
    };
    struct Lighting {
        int gain;    // × 256
        int offset;  // grey × 16
    };
    struct Survey {
        Lighting lighting;
        double rawShare;  // changed before the light is taken out
    };
    static Limits LimitsOf(MotionSensitivity sensitivity);
    double Judge(const std::uint8_t* frame, int width, int height);
    void Shrink(const std::uint8_t* frame, int width, int height);
    void Resize(int step, int smallWidth, int smallHeight);
    std::pair<int, int> LookedAtColumns(int y) const;
    Survey SurveyChange(int threshold) const;
    double CompareAndLearn(int threshold, Lighting lighting);

    MotionSensitivity m_sensitivity = MotionSensitivity::kMedium;
    int m_step = 1;  // frame pixels per small pixel
    int m_smallWidth = 0;
    int m_smallHeight = 0;
    std::vector<std::uint8_t> m_grey;
    std::vector<std::uint16_t> m_background;  // grey × 16
    int m_lookedAtCount = 0;
    int m_frames = 0;  // looked at since the size was set; the first ones only learn
    int m_skipped = 0;  // pictures since the last one judged
    double m_lastShare = 0;
};
