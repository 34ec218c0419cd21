// Motion in a camera's pictures, judged about eight times a second on a
// small grey copy (about 160 pixels wide) against a background, before the
// time stamp is burnt in.
//
// A pixel moved when it differs, beyond the sensitivity's threshold (a
// floor, raised on a noisy camera to a multiple of its measured noise), from
// the background at its place and at each place beside it (so a shaking
// camera moves nothing), once the picture's overall change of light is
// taken out. The picture moved when a connected region of moved pixels is
// at least the sensitivity's smallest area; scattered pixels (noise, snow)
// are none. What differs is not learnt into the background while it stays,
// up to a minute: a person standing still stays in the picture's motion.
//
// When most of the picture changes at once, its structure decides: a change
// of light keeps the edges and texture where they were and becomes the new
// background; a covered, sprayed, blinded or turned-away lens loses them and
// is judged covered for as long as it lasts. A scene too plain to have
// structure (a bare wall) can only have changes of light. The corners where
// the stamps go and the owner's zones are never looked at.
#pragma once

#include "MotionZones.h"
#include "SceneBlocks.h"
#include "PictureClock.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class MotionSensitivity { kOff, kLow, kMedium, kHigh };

// "off", "low", "medium" or "high" (empty: medium); nullopt for anything else.
std::optional<MotionSensitivity> ParseMotionSensitivity(const std::string& text);
const char* MotionSensitivityKey(MotionSensitivity sensitivity);
// The setting of camera position 0 to 3: camera_motion_1 … camera_motion_4.
std::string MotionSettingKey(int position);

enum class MotionKind { kNone, kMotion, kCovered };

struct MotionVerdict {
    bool judged = false;  // false: the picture was not looked at, and tells nothing
    MotionKind kind = MotionKind::kNone;
    double share = 0;  // of the picture: in moving regions, or changed when covered
};

// What one camera's detection is set to: its sensitivity and the zones left out.
struct MotionSettings {
    MotionSensitivity sensitivity = MotionSensitivity::kMedium;
    std::vector<MotionZone> zones;
};

class MotionDetector {
public:
    static constexpr int kSmallWidth = 160;
    // Pictures are judged no closer together than this.
    static constexpr PreciseTime kJudgeInterval = 110 * 1000;
    // Foreground that stays this long becomes background.
    static constexpr PreciseTime kLongestHeld = 60 * kMicrosPerSecond;
    // A new view with structure of its own becomes the background after
    // being judged covered this long (a camera turned for good).
    static constexpr PreciseTime kLongestCovered = 10 * 60 * kMicrosPerSecond;

    void SetSensitivity(MotionSensitivity sensitivity) { m_sensitivity = sensitivity; }
    MotionSensitivity Sensitivity() const { return m_sensitivity; }
    // Leaves the zones out from the next picture on; the background is learnt anew.
    void SetExcludedZones(std::vector<MotionZone> zones);

    // The verdict on the picture shown at `time`. `frame`: blue, green, red; rows bottom-up.
    MotionVerdict Look(const std::uint8_t* frame, int width, int height, PreciseTime time);

    // Test view: the grey levels the threshold stands at now.
    double Threshold() const;

private:
    struct Lighting {
        int gain;    // × 256
        int offset;  // grey × 16
        int mean = 0;  // of the background pixels fitted, grey × 16
        int Lit(int background) const { return std::clamp(((gain * background) >> 8) + offset, 0, 255 * 16); }
        // A tenth of a step toward the picture's brightness and contrast at most.
        Lighting Limited() const;
    };
    MotionVerdict Judge(PreciseTime time);
    void Shrink(const std::uint8_t* frame, int width, int height);
    void Resize(int step, int smallWidth, int smallHeight);
    void MakeLookMask();
    Lighting FitLighting() const;
    Lighting FitLighting(Lighting near, int limit) const;
    void Expect(Lighting lighting);
    void MeasureNoise();
    void Adopt();
    MotionVerdict Covered(PreciseTime time, double changed, bool structured);
    SmallScene Scene() const;
    double RegionShare() const;
    void Learn(PreciseTime time);

    MotionSensitivity m_sensitivity = MotionSensitivity::kMedium;
    std::vector<MotionZone> m_zones;
    int m_step = 1;  // frame pixels per small pixel
    int m_smallWidth = 0;
    int m_smallHeight = 0;
    std::vector<std::uint8_t> m_grey;
    std::vector<std::uint16_t> m_background;  // grey × 16
    std::vector<std::uint16_t> m_expected;    // the background lit as the picture is, grey × 16
    std::vector<std::uint8_t> m_looked;       // 1 where motion is judged
    std::vector<std::uint8_t> m_foreground;   // kChanged or kMoved where this picture differs from the background
    std::vector<std::uint32_t> m_heldSince;   // seconds since m_begun + 1 since a pixel is foreground; 0: it is not
    int m_lookedAtCount = 0;
    Lighting m_learnt{256, 0};  // the light the background takes from this picture
    int m_averaged = 1;  // pictures in the background since it was taken anew, up to 32
    double m_noise = 0;  // the sensor's noise on the small picture, grey levels
    std::optional<PreciseTime> m_begun;  // the first picture judged since the size or zones were set
    PreciseTime m_lastJudged = 0;
    std::optional<PreciseTime> m_coveredSince;
};
