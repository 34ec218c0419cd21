// The small picture against its background block by block (8 × 8 small
// pixels), to tell a change of light from a covered lens: light keeps each
// block's pattern (its texture and edges, however much brighter or darker),
// a cover, spray or a new view does not.
#pragma once

#include <cstdint>

// The small picture and what the detector knows of it, row after row.
struct SmallScene {
    int width = 0;
    int height = 0;
    const std::uint8_t* grey = nullptr;
    const std::uint16_t* background = nullptr;  // grey × 16
    const std::uint16_t* expected = nullptr;    // the background lit as the picture is, grey × 16
    const std::uint8_t* looked = nullptr;       // 1 where motion is judged
};

struct BlockSurvey {
    int blocks = 0;      // looked at
    int structured = 0;  // with a pattern of their own in the background
    int lost = 0;        // structured ones whose pattern is gone from the picture
    int changed = 0;     // lost ones, and those lit otherwise than the picture as a whole
    int ownPattern = 0;  // with a pattern in the picture itself
};

// `threshold` and `noise` in grey levels. Pixels marked moved in
// `foreground` (people, snowflakes) are left out of the patterns; a block
// that is mostly moved pixels has lost its pattern.
BlockSurvey SurveyBlocks(const SmallScene& scene, const std::uint8_t* foreground, double threshold, double noise);
