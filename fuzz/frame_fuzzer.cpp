// Whole datagrams through the frame parser of one long-lived client, so that the
// records and counts of earlier inputs carry over as they do between frames in
// real use. After each input the client's visible state must be sound: counts
// within their limits, every record at a valid index readable, the error state
// agreeing with the result, and a frame that parsed once must parse again to the
// very same state (parsing depends on the previous frame only where it should).

#include "frameparser.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The tester's receive buffer: datagrams of up to 19998 bytes are parsed.
constexpr std::size_t largest_datagram = 19998;

bool count_sound(int count, std::size_t storage) {
    return count >= 0 && count <= Ombrix::max_records && static_cast<std::size_t>(count) <= storage;
}

template <typename Record> void append_bytes(std::vector<unsigned char>& state, const Record& r) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    state.insert(state.end(), bytes, bytes + sizeof(Record));
}

// Checks what must hold for every record the counts make visible, and writes the
// visible state as bytes into state for comparison. The record types have no padding.
void check_and_capture(const FrameRecords& r, std::vector<unsigned char>& state) {
    FUZZ_CHECK(count_sound(r.num_body, r.bodies.size()));
    FUZZ_CHECK(count_sound(r.num_skywand, r.skywands.size()));
    FUZZ_CHECK(count_sound(r.num_meatool, r.meatools.size()));
    FUZZ_CHECK(count_sound(r.num_hand, r.hands.size()));
    FUZZ_CHECK(count_sound(r.num_marker, r.markers.size()));

    state.clear();
    const int counts[] = {r.num_body, r.num_skywand, r.num_meatool, r.num_hand, r.num_marker};
    append_bytes(state, counts);
    append_bytes(state, r.frame_counter);
    append_bytes(state, r.timestamp);
    for (int i = 0; i < r.num_body; ++i) {
        FUZZ_CHECK(r.bodies[i].id == i); // bodies are stored at the index of their id
        append_bytes(state, r.bodies[i]);
    }
    for (int i = 0; i < r.num_skywand; ++i) {
        FUZZ_CHECK(r.skywands[i].num_button <= 16);
        FUZZ_CHECK(r.skywands[i].num_joystick <= 8);
        append_bytes(state, r.skywands[i]);
    }
    for (int i = 0; i < r.num_meatool; ++i) {
        const ombrix_meatool_type& tool = r.meatools[i];
        FUZZ_CHECK(tool.num_button == 0 || tool.num_button == 1);
        FUZZ_CHECK(tool.button[0] == 0 || tool.button[0] == 1);
        append_bytes(state, tool);
    }
    for (int i = 0; i < r.num_hand; ++i) {
        FUZZ_CHECK(r.hands[i].id == i); // hands are stored at the index of their id
        FUZZ_CHECK(r.hands[i].num_finger <= 5);
        append_bytes(state, r.hands[i]);
    }
    for (int i = 0; i < r.num_marker; ++i)
        append_bytes(state, r.markers[i]);
}

// Parses the input as receive does: at most the largest datagram, NUL-terminated,
// frame counter and timestamp reset first. The text must come back unchanged.
bool parse(const std::uint8_t* data, std::size_t size, FrameRecords& records) {
    static std::vector<char> text(largest_datagram + 1);
    size = size < largest_datagram ? size : largest_datagram;
    std::memcpy(text.data(), data, size);
    text[size] = '\0';
    records.frame_counter = 0;
    records.timestamp = -1.0;
    const bool parsed = parse_frame(text.data(), records);
    FUZZ_CHECK(std::memcmp(text.data(), data, size) == 0);
    return parsed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One long-lived set of records, so that each frame meets what earlier ones left,
    // as in real use. The captures are kept across inputs: the states of thousands of
    // records are megabytes, and allocating them anew would dominate the fuzzer's time.
    static FrameRecords records;
    static std::vector<unsigned char> first;
    static std::vector<unsigned char> again;

    const bool parsed = parse(data, size, records);
    check_and_capture(records, first);
    if (parsed) {
        // The same frame again, now on the state it produced itself.
        FUZZ_CHECK(parse(data, size, records));
        check_and_capture(records, again);
        FUZZ_CHECK(again == first);
    }
    return 0;
}
