// The zones an owner leaves out, as stored: read tolerantly, cut to the
// picture, written back in the same form.
#include "MotionZones.h"

#include <gtest/gtest.h>

namespace {

TEST(MotionZonesTest, StoredZonesAreReadCutToThePictureAndWrittenBack)
{
    const struct {
        const char* stored;
        const char* readBack;
    } cases[] = {
        {"", ""},
        {"10,20,30,40", "10,20,30,40"},
        {"10,20,30,40;55.5,0,44.5,12.25", "10,20,30,40;55.5,0,44.5,12.25"},
        {"90,90,30,30", "90,90,10,10"},               // cut at the picture's edge
        {"-20,-20,50,50", "0,0,30,30"},
        {"0,0,0,10;5,5,-3,4;120,0,5,5", ""},          // empty, or wholly outside
        {"1,2,3;a,b,c,d;4,5,6,7,8;;nan,0,5,5", ""},  // not four numbers
        {"1,2,3;7,8,9,10", "7,8,9,10"},              // the readable ones stay
        {"33.333,0,33.333,100", "33.33,0,33.33,100"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MotionZonesText(ParseMotionZones(c.stored)), c.readBack) << c.stored;
    std::string many;
    for (int i = 0; i < 50; ++i)
        many += "1,1,1,1;";
    EXPECT_EQ(ParseMotionZones(many).size(), 32u);
    EXPECT_EQ(MotionZoneKey(0), "camera_mask_1");
}

}  // namespace
