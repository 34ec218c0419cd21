// What a clip is made of: gaps and damaged spans found from the pictures'
// times and numbers, and the stamps that keep a gap in the clip's time line.
#include "ClipLedger.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr PreciseTime kFrom = 1000 * kMicrosPerSecond;
constexpr PreciseTime kMs = 1000;

struct Picture {
    std::size_t source;
    long long number;
    PreciseTime at;  // since kFrom
    bool concealed = false;
};

// A run of `count` pictures of one source from picture `number` at `at`.
std::vector<Picture> Pictures(std::size_t source, long long number, PreciseTime at, int count)
{
    std::vector<Picture> run;
    for (int i = 0; i < count; ++i)
        run.push_back({source, number + i, at + i * kPictureInterval});
    return run;
}

std::vector<Picture> Join(std::vector<std::vector<Picture>> runs)
{
    std::vector<Picture> all;
    for (const auto& run : runs)
        all.insert(all.end(), run.begin(), run.end());
    return all;
}

struct Case {
    const char* what;
    std::vector<Picture> pictures;
    PreciseTime to;  // since kFrom
    std::vector<TimeSpan> gaps;    // since kFrom
    std::vector<TimeSpan> damage;  // since kFrom
    std::int64_t lastStamp;        // hundredths
};

TEST(ClipLedgerTest, GapsAndDamageAreFoundAndKeptInTheTimeLine)
{
    std::vector<Picture> concealed = Pictures(0, 0, 0, 50);
    concealed[10].concealed = concealed[11].concealed = true;
    const std::vector<Case> cases = {
        {"two files back to back", Join({Pictures(0, 0, 0, 50), Pictures(1, 0, 2003 * kMs, 25)}), 2960 * kMs, {}, {}, 296},
        {"a restart: 6 s without recording", Join({Pictures(0, 0, 0, 50), Pictures(1, 0, 8000 * kMs, 25)}), 8960 * kMs,
         {{2000 * kMs, 8000 * kMs}}, {}, 896},
        {"pictures missing inside a file", Join({Pictures(0, 0, 0, 20), Pictures(0, 45, 1800 * kMs, 30)}), 2960 * kMs, {},
         {{800 * kMs, 1800 * kMs}}, 296},
        {"concealed pictures", concealed, 1960 * kMs, {}, {{400 * kMs, 480 * kMs}}, 196},
        {"the range begins before the first file and ends after the last", Pictures(0, 0, 500 * kMs, 25), 2000 * kMs,
         {{0, 500 * kMs}, {1500 * kMs, 2040 * kMs}}, {}, 96},
        {"a file that overlaps the one before gives only its later pictures",
         Join({Pictures(0, 0, 0, 50), Pictures(1, 0, 1900 * kMs, 10)}), 2260 * kMs, {}, {}, 226},
    };
    for (const Case& c : cases) {
        ClipLedger ledger(kFrom, kFrom + c.to, 100);
        std::int64_t last = -1;
        for (const Picture& p : c.pictures) {
            if (const std::optional<std::int64_t> stamp = ledger.Take(p.source, p.number, kFrom + p.at, p.concealed)) {
                EXPECT_GT(*stamp, last) << c.what;
                last = *stamp;
            }
        }
        ledger.Finish();
        EXPECT_EQ(last, c.lastStamp) << c.what;
        const auto since = [](const std::vector<TimeSpan>& spans, PreciseTime origin) {
            std::vector<std::pair<PreciseTime, PreciseTime>> out;
            for (const TimeSpan& s : spans)
                out.emplace_back(s.from - origin, s.to - origin);
            return out;
        };
        EXPECT_EQ(since(ledger.Gaps(), kFrom), since(c.gaps, 0)) << c.what;
        EXPECT_EQ(since(ledger.Damage(), kFrom), since(c.damage, 0)) << c.what;
    }
}

}  // namespace
