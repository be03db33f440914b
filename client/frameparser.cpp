#include "frameparser.h"

#include "textscan.h"

#include <algorithm>

namespace {

// Moves from anywhere in a line to the start of the next non-empty line, or
// to the text's end.
char* next_line(char* pos) {
    while (*pos != '\0' && *pos != '\r' && *pos != '\n')
        ++pos;
    while (*pos == '\r' || *pos == '\n')
        ++pos;
    return pos;
}

// Counts and ids are checked against this before any array is sized by them.
bool count_in_range(int count) {
    return count >= 0 && count <= Ombrix::max_records;
}
bool id_in_range(int id) {
    return id >= 0 && id < Ombrix::max_records;
}

template <typename Record> void grow_to(std::vector<Record>& records, int size) {
    if (records.size() < static_cast<std::size_t>(size))
        records.resize(static_cast<std::size_t>(size));
}

// Makes records [from, to) untracked records with id = index.
template <typename Record> void untrack(std::vector<Record>& records, int from, int to) {
    for (int i = from; i < to; ++i)
        records[static_cast<std::size_t>(i)] = untracked_record<Record>(i);
}

// Makes the records at the listed indices untracked again and empties the list. Bodies and
// hands are untracked before each of their lines; only the records written since the last
// time can hold data, so a frame of many short lines costs no more than the records it
// writes, however many records the array holds.
template <typename Record>
void untrack_written(std::vector<Record>& records, std::vector<int>& written) {
    for (int id : written)
        records[static_cast<std::size_t>(id)] = untracked_record<Record>(id);
    written.clear();
}

void set_button_bits(ombrix_skywand_type& skywand, int bits) {
    for (int k = 0; k < 8; ++k)
        skywand.button[k] = (bits >> k) & 1;
    skywand.joystick[0] = (bits & 32) ? -1.0f : (bits & 128) ? 1.0f : 0.0f;
    skywand.joystick[1] = (bits & 16) ? -1.0f : (bits & 64) ? 1.0f : 0.0f;
}

// [1.2 -3.4 5.6][1 0 0 0 1 0 0 0 1]
char* string_get_pose(char* text, float* position, float* rotation) {
    text = string_get_block(text, "fff", nullptr, position);
    return text == nullptr ? nullptr : string_get_block(text, "fffffffff", nullptr, rotation);
}

// Reads a line's record count; counts beyond the limit are refused.
char* string_get_count(char* text, int& count) {
    text = string_get_i(text, count);
    return text == nullptr || !count_in_range(count) ? nullptr : text;
}

// Records listed in id order are kept in an array sized to the line's count; records a
// larger count adds start all zero.
template <typename Record> void resize_to_count(std::vector<Record>& records, int& num, int count) {
    if (count != num) {
        records.resize(static_cast<std::size_t>(count));
        num = count;
    }
}

// Bodies and hands are stored at the index of their id. A new id beyond the count grows the
// array, and the records it passes over are untracked. The id is listed as written.
template <typename Record>
Record& record_for_id(std::vector<Record>& records, int& num, std::vector<int>& written, int id) {
    if (id >= num) {
        grow_to(records, id + 1);
        untrack(records, num, id + 1);
        num = id + 1;
    }
    written.push_back(id);
    return records[static_cast<std::size_t>(id)];
}

// A count, then that many records with ids 0 to count - 1 in order, each an "ifi" head
// (id, quality, button bits) and a pose. apply_bits fills in what the bits mean.
template <typename Record, typename ApplyBits>
bool parse_button_records(char*& pos, std::vector<Record>& records, int& num, int& line_count,
                          ApplyBits apply_bits) {
    int n = 0;
    pos = string_get_count(pos, n);
    if (pos == nullptr)
        return false;
    line_count = n;
    resize_to_count(records, num, n);
    for (int i = 0; i < n; ++i) {
        int head[2] = {0, 0}; // id, button bits
        float quality = 0.0f;
        pos = string_get_block(pos, "ifi", head, &quality);
        if (pos == nullptr || head[0] != i)
            return false;
        Record& record = records[static_cast<std::size_t>(i)];
        record.id = i;
        record.quality = quality;
        apply_bits(record, head[1]);
        pos = string_get_pose(pos, record.position, record.rotation);
        if (pos == nullptr)
            return false;
    }
    return true;
}

// What the lines of one frame tell beyond their records.
struct LineCounts {
    int calibrated_bodies = -1;
    int calibrated_hands = -1;
    int skywand_line = 0;
    int meatool_line = 0;
};

// 6d 2 [0 1.000][10.0 20.0 30.0][1 0 0 0 1 0 0 0 1] [3 0.800][...][...]
bool parse_bodies(char*& pos, FrameRecords& r) {
    untrack_written(r.bodies, r.bodies_written);
    int n = 0;
    pos = string_get_count(pos, n);
    if (pos == nullptr)
        return false;
    for (int i = 0; i < n; ++i) {
        int id = 0;
        float quality = 0.0f;
        pos = string_get_block(pos, "if", &id, &quality);
        if (pos == nullptr || !id_in_range(id))
            return false;
        ombrix_body_type& body = record_for_id(r.bodies, r.num_body, r.bodies_written, id);
        body.id = id;
        body.quality = quality;
        pos = string_get_pose(pos, body.position, body.rotation);
        if (pos == nullptr)
            return false;
    }
    return true;
}

// 6df 1 [0 1.000 20][1.0 2.0 3.0][1 0 0 0 1 0 0 0 1]
// Eight button bits, four of them the joystick's directions.
bool parse_skywands_old(char*& pos, FrameRecords& r, LineCounts& counts) {
    const bool parsed = parse_button_records(pos, r.skywands, r.num_skywand, counts.skywand_line,
                                             [](ombrix_skywand_type& skywand, int bits) {
                                                 skywand.num_button = 8;
                                                 skywand.num_joystick = 2;
                                                 set_button_bits(skywand, bits);
                                             });
    r.num_skywand_carried = std::max(r.num_skywand_carried, r.num_skywand);
    return parsed;
}

// 6df2 2 1 [0 1.000 6 2][1.0 2.0 3.0][1 0 0 0 1 0 0 0 1][5 0.50 -0.25]
// A total, the records on this line; the last block holds one button word per started
// group of 32 buttons, then one float per joystick value.
bool parse_skywands_new(char*& pos, FrameRecords& r) {
    constexpr int max_buttons = 16;
    constexpr int max_joysticks = 8;
    int total = 0;
    pos = string_get_count(pos, total);
    if (pos == nullptr)
        return false;
    resize_to_count(r.skywands, r.num_skywand, total);
    int n = 0;
    pos = string_get_i(pos, n);
    if (pos == nullptr || n < 0 || n > total)
        return false;
    r.num_skywand_carried = std::max(r.num_skywand_carried, n);
    for (int i = 0; i < n; ++i) {
        int head[3] = {0, 0, 0}; // id, button count, joystick count
        float quality = 0.0f;
        pos = string_get_block(pos, "ifii", head, &quality);
        if (pos == nullptr || head[0] != i)
            return false;
        ombrix_skywand_type& skywand = r.skywands[static_cast<std::size_t>(i)];
        skywand.id = i;
        skywand.quality = quality;
        const int buttons = head[1];
        const int joysticks = head[2];
        if (buttons > max_buttons || joysticks > max_joysticks)
            return false;
        skywand.num_button = buttons;
        skywand.num_joystick = joysticks;
        pos = string_get_pose(pos, skywand.position, skywand.rotation);
        if (pos == nullptr)
            return false;
        char format[1 + max_joysticks + 1];
        int length = 0;
        for (int b = 0; b < buttons; b += 32)
            format[length++] = 'i';
        for (int j = 0; j < joysticks; ++j)
            format[length++] = 'f';
        format[length] = '\0';
        int words[1] = {0};
        pos = string_get_block(pos, format, words, skywand.joystick);
        if (pos == nullptr)
            return false;
        for (int k = 0; k < buttons; ++k)
            skywand.button[k] = (words[k / 32] >> (k % 32)) & 1;
    }
    return true;
}

// 6dmt 1 [0 1.000 1][1.0 2.0 3.0][1 0 0 0 1 0 0 0 1]
bool parse_meatools(char*& pos, FrameRecords& r, LineCounts& counts) {
    return parse_button_records(pos, r.meatools, r.num_meatool, counts.meatool_line,
                                [](ombrix_meatool_type& tool, int bits) {
                                    tool.num_button = 1;
                                    tool.button[0] = bits & 1;
                                });
}

// gl 1 [0 1.000 1 1][pos][rot] [pos][rot][radius len angle len angle len]
// Hands by id, each with up to five fingers of three blocks.
bool parse_hands(char*& pos, FrameRecords& r) {
    constexpr int max_fingers = 5;
    untrack_written(r.hands, r.hands_written);
    int n = 0;
    pos = string_get_count(pos, n);
    if (pos == nullptr)
        return false;
    for (int i = 0; i < n; ++i) {
        int head[3] = {0, 0, 0}; // id, side, finger count
        float quality = 0.0f;
        pos = string_get_block(pos, "ifii", head, &quality);
        if (pos == nullptr || !id_in_range(head[0]))
            return false;
        const int id = head[0];
        ombrix_hand_type& hand = record_for_id(r.hands, r.num_hand, r.hands_written, id);
        hand.id = id;
        hand.handedness = head[1];
        hand.quality = quality;
        const int fingers = head[2];
        if (fingers > max_fingers)
            return false;
        hand.num_finger = fingers;
        pos = string_get_pose(pos, hand.position, hand.rotation);
        if (pos == nullptr)
            return false;
        for (int f = 0; f < fingers; ++f) {
            ombrix_finger_type& finger = hand.finger[f];
            pos = string_get_pose(pos, finger.position, finger.rotation);
            if (pos == nullptr)
                return false;
            float values[6];
            pos = string_get_block(pos, "ffffff", nullptr, values);
            if (pos == nullptr)
                return false;
            finger.tip_radius = values[0];
            finger.phalanx_length[0] = values[1];
            finger.phalanx_angle[0] = values[2];
            finger.phalanx_length[1] = values[3];
            finger.phalanx_angle[1] = values[4];
            finger.phalanx_length[2] = values[5];
        }
    }
    return true;
}

// 3d 2 [17 1.000][1.0 2.0 3.0] [4 1.000][4.0 5.0 6.0]
// Markers in frame order, ids as transmitted.
bool parse_markers(char*& pos, FrameRecords& r) {
    pos = string_get_i(pos, r.num_marker);
    if (pos == nullptr || !count_in_range(r.num_marker)) {
        r.num_marker = 0;
        return false;
    }
    grow_to(r.markers, r.num_marker);
    for (int i = 0; i < r.num_marker; ++i) {
        ombrix_marker_type& marker = r.markers[static_cast<std::size_t>(i)];
        pos = string_get_block(pos, "if", &marker.id, &marker.quality);
        if (pos == nullptr)
            return false;
        pos = string_get_block(pos, "fff", nullptr, marker.position);
        if (pos == nullptr)
            return false;
    }
    return true;
}

// fr 21753
bool parse_frame_counter(char*& pos, FrameRecords& r) {
    char* end = string_get_ui(pos, r.frame_counter);
    if (end == nullptr) {
        r.frame_counter = 0;
        return false;
    }
    pos = end;
    return true;
}

// ts 39596.024831
bool parse_timestamp(char*& pos, FrameRecords& r) {
    char* end = string_get_d(pos, r.timestamp);
    if (end == nullptr) {
        r.timestamp = -1.0;
        return false;
    }
    pos = end;
    return true;
}

// 6dcal 12   or   glcal 2
bool parse_calibrated(char*& pos, int& count) {
    char* end = string_get_i(pos, count);
    if (end == nullptr || count > Ombrix::max_records)
        return false;
    pos = end;
    return true;
}

// Handles the line at pos by its identifier and leaves pos where reading ended (which may
// lie on a later line when a line is short of blocks). Unknown lines are left untouched.
bool parse_line(char*& pos, FrameRecords& r, LineCounts& counts) {
    if (starts_with(pos, "fr "))
        return parse_frame_counter(pos += 3, r);
    if (starts_with(pos, "ts "))
        return parse_timestamp(pos += 3, r);
    if (starts_with(pos, "6dcal "))
        return parse_calibrated(pos += 6, counts.calibrated_bodies);
    if (starts_with(pos, "glcal "))
        return parse_calibrated(pos += 6, counts.calibrated_hands);
    if (starts_with(pos, "6d "))
        return parse_bodies(pos += 3, r);
    if (starts_with(pos, "6df "))
        return parse_skywands_old(pos += 4, r, counts);
    if (starts_with(pos, "6df2 "))
        return parse_skywands_new(pos += 5, r);
    if (starts_with(pos, "6dmt "))
        return parse_meatools(pos += 5, r, counts);
    if (starts_with(pos, "gl "))
        return parse_hands(pos += 3, r);
    if (starts_with(pos, "3d "))
        return parse_markers(pos += 3, r);
    return true;
}

// The calibrated counts say how many bodies and hands the controller knows, tracked or not.
// Skywands and measurement tools of the older lines are part of the calibrated body count
// and are taken out of it here.
bool apply_calibrated_counts(FrameRecords& r, const LineCounts& counts) {
    if (counts.calibrated_bodies >= 0) {
        const int bodies_left =
            counts.calibrated_bodies - counts.skywand_line - counts.meatool_line;
        if (bodies_left < 0)
            return false;
        if (bodies_left > r.num_body) {
            grow_to(r.bodies, bodies_left);
            untrack(r.bodies, r.num_body, bodies_left);
        }
        r.num_body = bodies_left;
    }
    if (counts.calibrated_hands >= 0) {
        if (counts.calibrated_hands > r.num_hand) {
            grow_to(r.hands, counts.calibrated_hands);
            untrack(r.hands, r.num_hand, counts.calibrated_hands);
        }
        r.num_hand = counts.calibrated_hands;
    }
    return true;
}

} // namespace

bool parse_frame(char* text, FrameRecords& records) {
    LineCounts counts;
    records.num_skywand_carried = 0;
    char* pos = text;
    while (*pos != '\0') {
        if (!parse_line(pos, records, counts))
            return false;
        pos = next_line(pos);
    }
    return apply_calibrated_counts(records, counts);
}
