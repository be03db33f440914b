// The tracking frame parser: one reader per line kind, dispatched on the line's
// identifier, writing into the records of the newest frame.

#ifndef OMBRIX_FRAMEPARSER_H
#define OMBRIX_FRAMEPARSER_H

#include "Ombrix.h"

#include <vector>

// The counts and records of the newest frame. Arrays only grow, so that steady
// frames reuse the storage they already have.
struct FrameRecords {
    unsigned int frame_counter = 0;
    double timestamp = -1.0;

    int num_body = 0;
    std::vector<ombrix_body_type> bodies;
    int num_skywand = 0;
    std::vector<ombrix_skywand_type> skywands;
    // Skywand records 0 to this - 1 were written by the newest frame's "6df " or "6df2 " lines;
    // the others keep an earlier frame's data. Set anew by every parse.
    int num_skywand_carried = 0;
    int num_meatool = 0;
    std::vector<ombrix_meatool_type> meatools;
    int num_hand = 0;
    std::vector<ombrix_hand_type> hands;
    // Indices of the body and hand records written since they were last untracked; every
    // other record of the two arrays is untracked already.
    std::vector<int> bodies_written;
    std::vector<int> hands_written;
    int num_marker = 0;
    std::vector<ombrix_marker_type> markers;
};

// Parses a NUL-terminated frame into records. The text is modified while it is
// read and restored. False when a line is malformed or a count or id is beyond
// Ombrix::max_records; records then hold what was read up to the fault.
bool parse_frame(char* text, FrameRecords& records);

template <typename Record> Record untracked_record(int id) {
    Record record{};
    record.id = id;
    record.quality = -1.0f;
    return record;
}

#endif // OMBRIX_FRAMEPARSER_H
