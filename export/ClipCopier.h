// An export of H.264 recordings whose pictures go into the clip as they
// were recorded, without being decoded and encoded again: a day takes the
// time its bytes take to read. Where the range begins between refresh
// pictures, its pictures up to the next one are the clip's head, encoded
// again (ClipHead). The ledger is told every picture shown, the
// uncoded slots that repeat a picture included, so the report reads as a
// clip made by encoding would. Damage is found where the transport
// stream's packet counter skips, and by decoding each file's last group,
// where a cut by a kill or a power loss lands.
#pragma once

#include "ClipHead.h"
#include "ClipLedger.h"
#include "ExportRange.h"
#include "Mp4Writer.h"
#include "TransportStream.h"

class RecordingSeeker;

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

// What the plan's clip would copy: nothing unless every source is an H.264
// recording with the first one's parameter sets, and every piece after the
// first begins at its file's first picture (a decoder can begin only at a
// refresh picture; only the clip's head is encoded again) and the recorder
// still codes their size with those parameter sets.
std::optional<Mp4Writer::CopiedStream> CopyableStream(const SourcePlan& plan);

class ClipCopier {
public:
    // The moment each picture shown, as the clip goes on.
    using Shown = std::function<void(PreciseTime at)>;

    ClipCopier(const SourcePlan& plan, Mp4Writer::CopiedStream stream, ClipLedger& ledger, Mp4Writer& writer,
               std::string clipPath, Mp4Writer::Tags tags, Shown shown);

    // Begins a piece, read from a refresh picture at or before its start.
    void BeginPiece(const ExportPiece& piece);
    // The piece's file's bytes in order; false when the piece is done or
    // writing failed (Error).
    bool Feed(const std::uint8_t* data, std::size_t size);
    // The piece's file ended.
    bool EndPiece();
    // Coded pictures read of the piece so far.
    long long PiecePictures() const { return m_pictures; }
    // Writes the last picture; false with Error.
    bool Finish();
    const std::string& Error() const { return m_error; }

private:
    void CheckEnd(const ExportSource& source, const RecordingSeeker& seeker);
    bool Picture();
    bool Hold(long long number);
    bool Show(long long number, PreciseTime at, bool refresh);
    bool OpenWriter();
    ClipHead::Out Pusher();
    bool Push(std::vector<std::uint8_t> bytes, std::int64_t stamp, bool refresh);
    bool WritePending(std::int64_t duration);
    bool Fail(const std::string& error);

    const SourcePlan& m_plan;
    Mp4Writer::CopiedStream m_stream;
    ClipLedger& m_ledger;
    Mp4Writer& m_writer;
    std::string m_clipPath;
    Mp4Writer::Tags m_tags;
    Shown m_shown;
    std::string m_error;

    // The piece being read.
    const ExportPiece* m_piece = nullptr;
    std::int64_t m_firstPts = 0;
    TransportDemux m_demux;
    std::vector<std::uint8_t> m_unit;  // the picture being gathered
    std::optional<std::int64_t> m_unitPts;
    long long m_unitBreaks = 0;
    bool m_past = false;          // a picture after the piece was reached
    bool m_awaitRefresh = true;   // nothing decodes until a refresh picture
    bool m_damaged = false;       // a picture lost since the last refresh
    long long m_held = -1;        // the last coded picture's number
    bool m_heldDamaged = false;
    long long m_pictures = 0;
    long long m_endGroup = -1;    // the file's last group, checked by decoding
    long long m_endLast = -1;
    std::set<long long> m_sound;  // its pictures that decoded without damage

    // The clip: its head, and the picture written last.
    ClipHead m_head;
    bool m_copying = false;  // the pictures are copied from here on
    struct Coded {
        std::vector<std::uint8_t> bytes;
        bool refresh = false;
    };
    std::optional<Coded> m_pending;
    std::int64_t m_pendingStamp = 0;
    std::int64_t m_lastStamp = -1;  // of the last picture shown, repeats included
};
