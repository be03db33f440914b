// Whole datagrams through the frame parser of one long-lived client, so that the
// records and counts of earlier inputs carry over as they do between frames in
// real use. After each input the client's visible state must be sound: counts
// within their limits, every record at a valid index readable, the error state
// agreeing with the result, and a frame that parsed once must parse again to the
// very same state (parsing depends on the previous frame only where it should).

#include "Ombrix.h"
#include "OmbrixInternals.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The tester's receive buffer: datagrams of up to 19998 bytes are parsed.
constexpr int buffer_size = 20000;

Ombrix& long_lived_client() {
    // No command channel and no waiting: only the parser is driven.
    static Ombrix client("", 0, 0, buffer_size, 0, 0);
    return client;
}

bool count_sound(int count) {
    return count >= 0 && count <= Ombrix::max_records;
}

template <typename Record> void append_bytes(std::vector<unsigned char>& state, const Record& r) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    state.insert(state.end(), bytes, bytes + sizeof(Record));
}

// Reads every record the counts make visible (a read past the storage is a
// sanitizer report), checks what must hold for each, and writes the visible
// state as bytes into state for comparison. The record types have no padding.
void check_and_capture(const Ombrix& client, std::vector<unsigned char>& state) {
    const int bodies = client.get_num_body();
    const int skywands = client.get_num_skywand();
    const int tools = client.get_num_meatool();
    const int hands = client.get_num_hand();
    const int markers = client.get_num_marker();
    FUZZ_CHECK(count_sound(bodies));
    FUZZ_CHECK(count_sound(skywands));
    FUZZ_CHECK(count_sound(tools));
    FUZZ_CHECK(count_sound(hands));
    FUZZ_CHECK(count_sound(markers));

    state.clear();
    const int counts[] = {bodies, skywands, tools, hands, markers};
    append_bytes(state, counts);
    append_bytes(state, client.get_framecounter());
    append_bytes(state, client.get_timestamp());

    for (int i = 0; i < bodies; ++i) {
        const ombrix_body_type body = client.get_body(i);
        FUZZ_CHECK(body.id == i); // bodies are stored at the index of their id
        append_bytes(state, body);
    }
    for (int i = 0; i < skywands; ++i) {
        const ombrix_skywand_type skywand = client.get_skywand(i);
        FUZZ_CHECK(skywand.num_button <= 16);
        FUZZ_CHECK(skywand.num_joystick <= 8);
        append_bytes(state, skywand);
    }
    for (int i = 0; i < tools; ++i) {
        const ombrix_meatool_type tool = client.get_meatool(i);
        FUZZ_CHECK(tool.num_button == 0 || tool.num_button == 1);
        FUZZ_CHECK(tool.button[0] == 0 || tool.button[0] == 1);
        append_bytes(state, tool);
    }
    for (int i = 0; i < hands; ++i) {
        const ombrix_hand_type hand = client.get_hand(i);
        FUZZ_CHECK(hand.id == i); // hands are stored at the index of their id
        FUZZ_CHECK(hand.num_finger <= 5);
        append_bytes(state, hand);
    }
    for (int i = 0; i < markers; ++i)
        append_bytes(state, client.get_marker(i));

    // Just past the end, every accessor gives the untracked record.
    FUZZ_CHECK(client.get_body(bodies).quality == -1.0f);
    FUZZ_CHECK(client.get_body(bodies).id == bodies);
    FUZZ_CHECK(client.get_skywand(skywands).quality == -1.0f);
    FUZZ_CHECK(client.get_meatool(tools).quality == -1.0f);
    FUZZ_CHECK(client.get_hand(hands).quality == -1.0f);
    FUZZ_CHECK(client.get_marker(markers).quality == -1.0f);
    FUZZ_CHECK(client.get_marker(markers).id == 0);
}

// The error state must tell exactly why a datagram was refused.
void check_error_state(const Ombrix& client, bool parsed, std::size_t size) {
    FUZZ_CHECK(!client.data_timeout());
    const bool unusable_length = size == 0 || size >= static_cast<std::size_t>(buffer_size - 1);
    if (unusable_length) {
        FUZZ_CHECK(!parsed);
        FUZZ_CHECK(client.data_neterror());
        return;
    }
    FUZZ_CHECK(!client.data_neterror());
    FUZZ_CHECK(parsed != client.data_parseerror());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Ombrix& client = long_lived_client();
    const char* text = reinterpret_cast<const char*>(data);

    const bool parsed = OmbrixInternals::parse_datagram(client, text, size);
    check_error_state(client, parsed, size);
    // Kept across inputs: the states of thousands of records are megabytes, and
    // allocating them anew for every input would dominate the fuzzer's time.
    static std::vector<unsigned char> first;
    static std::vector<unsigned char> again;
    check_and_capture(client, first);

    if (parsed) {
        // The same frame again, now on the state it produced itself.
        FUZZ_CHECK(OmbrixInternals::parse_datagram(client, text, size));
        check_and_capture(client, again);
        FUZZ_CHECK(again == first);
    }
    return 0;
}
