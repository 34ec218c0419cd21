// The head of a copied clip whose range begins between two refresh pictures
// of a recording: its pictures from the refresh picture before the range
// are decoded, and those of the range up to the next refresh picture are
// encoded again with the recorder's own settings. The clip then begins at
// the asked picture in every player, and the pictures copied after the
// head decode with the same parameter sets as the head's.
#pragma once

#include "FfmpegPtr.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class ClipHead {
public:
    // Receives each picture coded: its bytes (Annex B), its stamp in the
    // clip, whether it is a refresh picture; false to stop.
    using Out = std::function<bool(std::vector<std::uint8_t> bytes, std::int64_t stamp, bool refresh)>;

    // The parameter sets the recorder codes a size with.
    static std::vector<std::uint8_t> RecorderParameterSets(int width, int height);

    bool Open(int width, int height, std::string* error);
    bool IsOpen() const { return m_encoder != nullptr; }
    // A coded picture of the recording before the range: decoded only.
    void Lead(const std::vector<std::uint8_t>& unit);
    // A coded picture of the range, slot `number` of its recording, shown
    // at `stamp`: decoded and encoded again. False when `out` stopped or
    // the encoder failed.
    bool Encode(const std::vector<std::uint8_t>& unit, long long number, std::int64_t stamp, const Out& out);
    // The last picture decoded, encoded again as slot `number` shown at
    // `stamp`: the clip begins with a picture that repeats one from before
    // the range. True when there is none.
    bool EncodeLast(long long number, std::int64_t stamp, const Out& out);
    // The encoder's last pictures; the head is over.
    bool Finish(const Out& out);

private:
    bool Decode(const std::vector<std::uint8_t>& unit);
    bool Drain(const Out& out);

    CodecContextPtr m_decoder;
    CodecContextPtr m_encoder;
    FramePtr m_picture;
    PacketPtr m_packet;
    std::deque<std::int64_t> m_stamps;  // of the pictures sent, in order (no reordering)
};
