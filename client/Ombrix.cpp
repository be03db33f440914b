#include "Ombrix.h"
#include "OmbrixInternals.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace {

// ---------------------------------------------------------------------------
// Socket layer. A handle is a malloc'ed block holding one descriptor; null
// means no socket. The holder releases it once through the matching exit call.
// ---------------------------------------------------------------------------

int handle_fd(void* handle) {
    return *static_cast<int*>(handle);
}

int close_handle(void* handle) {
    if (handle == nullptr)
        return 0;
    const int result = ::close(handle_fd(handle));
    std::free(handle);
    return result < 0 ? -1 : 0;
}

sockaddr_in ipv4_address(unsigned int ip, unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ip);
    address.sin_port = htons(port);
    return address;
}

// Opens a UDP socket bound to *port on all local addresses; for port 0 the
// port the system chose is written back.
int udp_init(void** handle, unsigned short* port) {
    int* block = static_cast<int*>(std::malloc(sizeof(int)));
    if (block == nullptr)
        return -11;
    *block = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (*block < 0) {
        std::free(block);
        return -2;
    }
    sockaddr_in address = ipv4_address(INADDR_ANY, *port);
    if (::bind(*block, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) {
        close_handle(block);
        return -3;
    }
    if (*port == 0) {
        socklen_t length = sizeof(address);
        if (::getsockname(*block, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
            close_handle(block);
            return -3;
        }
        *port = ntohs(address.sin_port);
    }
    *handle = block;
    return 0;
}

int udp_exit(void* handle) {
    return close_handle(handle);
}

// Connects a TCP socket to ip:port (host byte order). The connect blocks as
// long as the system takes.
int tcp_client_init(void** handle, unsigned int ip, unsigned short port) {
    int* block = static_cast<int*>(std::malloc(sizeof(int)));
    if (block == nullptr)
        return -11;
    *block = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (*block < 0) {
        std::free(block);
        return -2;
    }
    sockaddr_in address = ipv4_address(ip, port);
    if (::connect(*block, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) {
        close_handle(block);
        return -3;
    }
    *handle = block;
    return 0;
}

int tcp_exit(void* handle) {
    return close_handle(handle);
}

// IPv4 address of a dotted address or host name, in host byte order; 0 when
// the name does not resolve.
unsigned int ip_name2ip(const char* name) {
    const in_addr_t dotted = ::inet_addr(name);
    if (dotted != INADDR_NONE)
        return ntohl(dotted);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &result) != 0 || result == nullptr)
        return 0;
    const unsigned int ip =
        ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(result);
    return ip;
}

// Waits until fd is ready for the given poll events, for at most timeout_us
// microseconds. Returns what poll returns: 1 ready, 0 time-out, -1 failure.
int wait_ready(int fd, short events, int timeout_us) {
    pollfd entry{fd, events, 0};
    timespec limit{};
    limit.tv_sec = timeout_us / 1000000;
    limit.tv_nsec = static_cast<long>(timeout_us % 1000000) * 1000;
    if (limit.tv_sec < 0 || limit.tv_nsec < 0)
        return -1;
    return ::ppoll(&entry, 1, &limit, nullptr);
}

// ---------------------------------------------------------------------------
// Text scanning. Every function takes a position in a modifiable NUL-terminated
// text and returns where reading ended, or null on failure. Numbers are read
// in the "C" locale whatever locale the process runs in.
// ---------------------------------------------------------------------------

locale_t c_locale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Signed 32-bit integer with the base taken from its prefix (0x hex, 0 octal);
// values beyond the range saturate at its limits.
char* string_get_i(char* text, int& value) {
    char* end = nullptr;
    const long long number = ::strtoll_l(text, &end, 0, c_locale());
    if (end == text) {
        value = 0;
        return nullptr;
    }
    if (number > INT_MAX)
        value = INT_MAX;
    else if (number < INT_MIN)
        value = INT_MIN;
    else
        value = static_cast<int>(number);
    return end;
}

// Unsigned 32-bit integer; a minus sign yields the two's complement, values
// beyond 32 bits saturate.
char* string_get_ui(char* text, unsigned int& value) {
    char* start = text;
    while (is_c_space(*start))
        ++start;
    char* end = nullptr;
    if (*start == '-') {
        const long long number = ::strtoll_l(start, &end, 0, c_locale());
        if (end == start) {
            value = 0;
            return nullptr;
        }
        if (number < -static_cast<long long>(UINT_MAX))
            value = UINT_MAX;
        else
            value = static_cast<unsigned int>(static_cast<unsigned long long>(number));
        return end;
    }
    const unsigned long long number = ::strtoull_l(start, &end, 0, c_locale());
    if (end == start) {
        value = 0;
        return nullptr;
    }
    value = number > UINT_MAX ? UINT_MAX : static_cast<unsigned int>(number);
    return end;
}

char* string_get_f(char* text, float& value) {
    char* end = nullptr;
    const double number = ::strtod_l(text, &end, c_locale());
    if (end == text) {
        value = 0.0f;
        return nullptr;
    }
    value = static_cast<float>(number);
    return end;
}

char* string_get_d(char* text, double& value) {
    char* end = nullptr;
    value = ::strtod_l(text, &end, c_locale());
    return end == text ? nullptr : end;
}

// Reads the next bracketed block: "i" values go to ints, "f" values to floats,
// each from entry 0. The closing bracket is replaced by the text's end while
// the values are converted, so that no conversion runs past the block, and is
// put back before returning.
char* string_get_block(char* text, const char* format, int* ints, float* floats) {
    char* open = std::strchr(text, '[');
    if (open == nullptr)
        return nullptr;
    char* close = std::strchr(open + 1, ']');
    if (close == nullptr)
        return nullptr;

    *close = '\0';
    char* pos = open + 1;
    int next_int = 0;
    int next_float = 0;
    bool ok = true;
    for (const char* letter = format; *letter != '\0' && ok; ++letter) {
        char* end = nullptr;
        if (*letter == 'i')
            end = string_get_i(pos, ints[next_int++]);
        else if (*letter == 'f')
            end = string_get_f(pos, floats[next_float++]);
        if (end == nullptr)
            ok = false;
        else
            pos = end;
    }
    *close = ']';
    return ok ? close + 1 : nullptr;
}

// Skips blanks, then takes the word up to the next blank or the text's end.
char* string_get_word(char* text, std::string& word) {
    while (*text == ' ')
        ++text;
    if (*text == '\0') {
        word.clear();
        return nullptr;
    }
    char* end = text;
    while (*end != ' ' && *end != '\0')
        ++end;
    word.assign(text, end);
    return end;
}

// Takes the characters between the next pair of double quotes (no escapes).
char* string_get_quoted_text(char* text, std::string& quoted) {
    char* open = std::strchr(text, '"');
    if (open == nullptr)
        return nullptr;
    char* close = std::strchr(open + 1, '"');
    if (close == nullptr)
        return nullptr;
    quoted.assign(open + 1, close);
    return close + 1;
}

bool starts_with(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

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

template <typename Record> Record untracked_record(int id) {
    Record record{};
    record.id = id;
    record.quality = -1.0f;
    return record;
}

// Grows records to at least size entries; never shrinks, so that steady frames
// reuse the storage they already have.
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

// Reads a record's position block ("fff") and its rotation block ("fffffffff").
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

// "6df " and "6dmt ": a count, then that many records with ids 0 to count - 1 in order, each
// an "ifi" head (id, quality, button bits) and a pose. apply_bits fills in what the bits mean.
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

} // namespace

// ---------------------------------------------------------------------------
// Construction and teardown
// ---------------------------------------------------------------------------

Ombrix::Ombrix(const std::string& server_host, unsigned short server_port,
               unsigned short data_port_wanted, int data_bufsize, int data_timeout,
               int server_timeout)
    : command_timeout_us(server_timeout), data_port(data_port_wanted),
      data_timeout_us(data_timeout), data_buffer_size(data_bufsize) {
    clear_lasterror();

    if (udp_init(&data_socket, &data_port) != 0) {
        data_port = 0;
        return;
    }

    // A buffer must hold at least one byte of datagram and the terminator.
    if (data_buffer_size >= 2)
        data_buffer = static_cast<char*>(std::malloc(static_cast<std::size_t>(data_buffer_size)));
    if (data_buffer == nullptr) {
        udp_exit(data_socket);
        data_socket = nullptr;
        data_port = 0;
        return;
    }

    if (!server_host.empty()) {
        const unsigned int ip = ip_name2ip(server_host.c_str());
        const unsigned short port = server_port == 0 ? default_server_port : server_port;
        if (ip == 0 || tcp_client_init(&command_socket, ip, port) != 0) {
            std::free(data_buffer);
            data_buffer = nullptr;
            udp_exit(data_socket);
            data_socket = nullptr;
            data_port = 0;
        }
    }
}

Ombrix::~Ombrix() {
    std::free(data_buffer);
    data_buffer = nullptr;
    udp_exit(data_socket);
    data_socket = nullptr;
    tcp_exit(command_socket);
    command_socket = nullptr;
}

// ---------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------

bool Ombrix::valid() const {
    return data_socket != nullptr;
}
unsigned short Ombrix::get_data_port() const {
    return data_port;
}

bool Ombrix::data_timeout() const {
    return data_error == timeout;
}
bool Ombrix::data_neterror() const {
    return data_error == neterror;
}
bool Ombrix::data_parseerror() const {
    return data_error == parseerror;
}
void Ombrix::set_data_noerror() {
    data_error = noerror;
}
void Ombrix::set_data_timeout() {
    data_error = timeout;
}
void Ombrix::set_data_neterror() {
    data_error = neterror;
}
void Ombrix::set_data_parseerror() {
    data_error = parseerror;
}

bool Ombrix::server_noconnection() const {
    return command_socket == nullptr;
}
bool Ombrix::server_timeout() const {
    return server_error == timeout;
}
bool Ombrix::server_neterror() const {
    return server_error == neterror;
}
bool Ombrix::server_parseerror() const {
    return server_error == parseerror;
}
void Ombrix::set_server_noerror() {
    server_error = noerror;
}
void Ombrix::set_server_timeout() {
    server_error = timeout;
}
void Ombrix::set_server_neterror() {
    server_error = neterror;
}
void Ombrix::set_server_parseerror() {
    server_error = parseerror;
}

unsigned int Ombrix::get_framecounter() const {
    return frame_counter;
}
double Ombrix::get_timestamp() const {
    return timestamp;
}
unsigned int Ombrix::get_num_dropped() const {
    return num_dropped;
}

std::string_view Ombrix::get_datagram() const {
    return std::string_view(data_buffer, static_cast<std::size_t>(datagram_length));
}

int Ombrix::get_num_body() const {
    return num_body;
}
int Ombrix::get_num_skywand() const {
    return num_skywand;
}
int Ombrix::get_num_meatool() const {
    return num_meatool;
}
int Ombrix::get_num_hand() const {
    return num_hand;
}
int Ombrix::get_num_marker() const {
    return num_marker;
}

ombrix_body_type Ombrix::get_body(int id) const {
    if (id < 0 || id >= num_body)
        return untracked_record<ombrix_body_type>(id);
    return bodies[static_cast<std::size_t>(id)];
}

ombrix_skywand_type Ombrix::get_skywand(int id) const {
    if (id < 0 || id >= num_skywand)
        return untracked_record<ombrix_skywand_type>(id);
    return skywands[static_cast<std::size_t>(id)];
}

ombrix_meatool_type Ombrix::get_meatool(int id) const {
    if (id < 0 || id >= num_meatool)
        return untracked_record<ombrix_meatool_type>(id);
    return meatools[static_cast<std::size_t>(id)];
}

ombrix_hand_type Ombrix::get_hand(int id) const {
    if (id < 0 || id >= num_hand)
        return untracked_record<ombrix_hand_type>(id);
    return hands[static_cast<std::size_t>(id)];
}

ombrix_marker_type Ombrix::get_marker(int id) const {
    if (id < 0 || id >= num_marker)
        return untracked_record<ombrix_marker_type>(0);
    return markers[static_cast<std::size_t>(id)];
}

bool Ombrix::get_lasterror(int& code) const {
    if (last_error_code == 0)
        return false;
    code = last_error_code;
    return true;
}

bool Ombrix::get_lasterror(std::string& text) const {
    if (last_error_code == 0)
        return false;
    text = last_error_text;
    return true;
}

std::string Ombrix::get_message_origin() const {
    return message_origin;
}
std::string Ombrix::get_message_status() const {
    return message_status;
}
unsigned int Ombrix::get_message_framenr() const {
    return message_framenr;
}
unsigned int Ombrix::get_message_errorid() const {
    return message_errorid;
}
std::string Ombrix::get_message_msg() const {
    return message_msg;
}

// ---------------------------------------------------------------------------
// Receiving a frame
// ---------------------------------------------------------------------------

bool Ombrix::receive() {
    if (!valid()) {
        data_error = neterror;
        return false;
    }
    frame_counter = 0;
    timestamp = -1.0;
    num_dropped = 0;
    datagram_length = 0;

    const int fd = handle_fd(data_socket);
    const int ready = wait_ready(fd, POLLIN, data_timeout_us);
    if (ready == 0) {
        data_error = timeout;
        return false;
    }
    if (ready < 0) {
        data_error = neterror;
        return false;
    }

    const std::size_t capacity = static_cast<std::size_t>(data_buffer_size - 1);
    ssize_t length = ::recv(fd, data_buffer, capacity, 0);
    if (length < 0) {
        data_error = neterror;
        return false;
    }
    // Only the newest datagram counts: drain whatever else is already waiting.
    for (;;) {
        const ssize_t newer = ::recv(fd, data_buffer, capacity, MSG_DONTWAIT);
        if (newer < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            data_error = neterror;
            return false;
        }
        length = newer;
        ++num_dropped;
    }

    // A datagram that filled the buffer may have been cut.
    if (length <= 0 || length >= data_buffer_size - 1) {
        data_error = neterror;
        return false;
    }
    data_buffer[length] = '\0';
    datagram_length = static_cast<int>(length);
    return parse_frame(data_buffer);
}

bool Ombrix::parse_frame(char* text) {
    data_error = parseerror;

    int calibrated_bodies = -1;
    int calibrated_hands = -1;
    int skywand_line_count = 0;
    int meatool_line_count = 0;

    char* pos = text;
    while (*pos != '\0') {
        if (!parse_line(pos, skywand_line_count, meatool_line_count, calibrated_bodies,
                        calibrated_hands))
            return false;
        pos = next_line(pos);
    }

    if (!apply_calibrated_counts(calibrated_bodies, calibrated_hands, skywand_line_count,
                                 meatool_line_count))
        return false;
    data_error = noerror;
    return true;
}

// Handles the line at pos by its identifier and leaves pos where reading ended
// (which may lie on a later line when a line is short of blocks). A line with
// an unknown identifier is left untouched.
bool Ombrix::parse_line(char*& pos, int& skywand_line_count, int& meatool_line_count,
                        int& calibrated_bodies, int& calibrated_hands) {
    if (starts_with(pos, "fr ")) {
        char* end = string_get_ui(pos + 3, frame_counter);
        if (end == nullptr) {
            frame_counter = 0;
            return false;
        }
        pos = end;
        return true;
    }
    if (starts_with(pos, "ts ")) {
        char* end = string_get_d(pos + 3, timestamp);
        if (end == nullptr) {
            timestamp = -1.0;
            return false;
        }
        pos = end;
        return true;
    }
    if (starts_with(pos, "6dcal ") || starts_with(pos, "glcal ")) {
        int& count = pos[0] == '6' ? calibrated_bodies : calibrated_hands;
        char* end = string_get_i(pos + 6, count);
        if (end == nullptr || count > max_records)
            return false;
        pos = end;
        return true;
    }
    if (starts_with(pos, "6d ")) {
        pos += 3;
        return parse_bodies(pos);
    }
    if (starts_with(pos, "6df ")) {
        pos += 4;
        return parse_skywands_old(pos, skywand_line_count);
    }
    if (starts_with(pos, "6df2 ")) {
        pos += 5;
        return parse_skywands_new(pos);
    }
    if (starts_with(pos, "6dmt ")) {
        pos += 5;
        return parse_meatools(pos, meatool_line_count);
    }
    if (starts_with(pos, "gl ")) {
        pos += 3;
        return parse_hands(pos);
    }
    if (starts_with(pos, "3d ")) {
        pos += 3;
        return parse_markers(pos);
    }
    return true;
}

// "6d ": bodies are stored at the index of their id; ids may come in any order
// and with gaps, which stay untracked.
bool Ombrix::parse_bodies(char*& pos) {
    untrack_written(bodies, bodies_written);

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
        ombrix_body_type& body = record_for_id(bodies, num_body, bodies_written, id);
        body.id = id;
        body.quality = quality;
        pos = string_get_pose(pos, body.position, body.rotation);
        if (pos == nullptr)
            return false;
    }
    return true;
}

// "6df ": the older Skywand layout with eight button bits that also carry the
// joystick's directions.
bool Ombrix::parse_skywands_old(char*& pos, int& line_count) {
    return parse_button_records(pos, skywands, num_skywand, line_count,
                                [](ombrix_skywand_type& skywand, int bits) {
                                    skywand.num_button = 8;
                                    skywand.num_joystick = 2;
                                    set_button_bits(skywand, bits);
                                });
}

// "6df2 ": the newer Skywand layout: a total, the records on this line, and a
// fourth block with button words and joystick values sized per record.
bool Ombrix::parse_skywands_new(char*& pos) {
    constexpr int max_buttons = 16;
    constexpr int max_joysticks = 8;

    int total = 0;
    pos = string_get_count(pos, total);
    if (pos == nullptr)
        return false;
    resize_to_count(skywands, num_skywand, total);
    int n = 0;
    pos = string_get_i(pos, n);
    if (pos == nullptr || n < 0 || n > total)
        return false;
    for (int i = 0; i < n; ++i) {
        int head[3] = {0, 0, 0}; // id, button count, joystick count
        float quality = 0.0f;
        pos = string_get_block(pos, "ifii", head, &quality);
        if (pos == nullptr || head[0] != i)
            return false;
        ombrix_skywand_type& skywand = skywands[static_cast<std::size_t>(i)];
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

        // One integer per started group of 32 buttons, then one float per joystick value.
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

// "6dmt ": measurement tools, one button each.
bool Ombrix::parse_meatools(char*& pos, int& line_count) {
    return parse_button_records(pos, meatools, num_meatool, line_count,
                                [](ombrix_meatool_type& tool, int bits) {
                                    tool.num_button = 1;
                                    tool.button[0] = bits & 1;
                                });
}

// "gl ": hands stored by id, each with up to five fingers of three blocks.
bool Ombrix::parse_hands(char*& pos) {
    constexpr int max_fingers = 5;
    untrack_written(hands, hands_written);

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
        ombrix_hand_type& hand = record_for_id(hands, num_hand, hands_written, id);
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
            // The six values arrive interleaved: radius, length, angle, length, angle, length.
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

// "3d ": single markers in frame order, ids as transmitted.
bool Ombrix::parse_markers(char*& pos) {
    pos = string_get_i(pos, num_marker);
    if (pos == nullptr || !count_in_range(num_marker)) {
        num_marker = 0;
        return false;
    }
    grow_to(markers, num_marker);
    for (int i = 0; i < num_marker; ++i) {
        ombrix_marker_type& marker = markers[static_cast<std::size_t>(i)];
        pos = string_get_block(pos, "if", &marker.id, &marker.quality);
        if (pos == nullptr)
            return false;
        pos = string_get_block(pos, "fff", nullptr, marker.position);
        if (pos == nullptr)
            return false;
    }
    return true;
}

// The calibrated counts say how many bodies and hands the controller knows,
// tracked or not. Skywands and measurement tools of the older lines are part
// of the calibrated body count and are taken out of it here.
bool Ombrix::apply_calibrated_counts(int calibrated_bodies, int calibrated_hands,
                                     int skywand_line_count, int meatool_line_count) {
    if (calibrated_bodies >= 0) {
        const int bodies_left = calibrated_bodies - skywand_line_count - meatool_line_count;
        if (bodies_left < 0)
            return false;
        if (bodies_left > num_body) {
            grow_to(bodies, bodies_left);
            untrack(bodies, num_body, bodies_left);
        }
        num_body = bodies_left;
    }
    if (calibrated_hands >= 0) {
        if (calibrated_hands > num_hand) {
            grow_to(hands, calibrated_hands);
            untrack(hands, num_hand, calibrated_hands);
        }
        num_hand = calibrated_hands;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Command channel
// ---------------------------------------------------------------------------

void Ombrix::clear_lasterror() {
    last_error_code = 0;
    last_error_text = "no error";
}

// One exchange: send the request with its NUL, wait for the reply, receive it
// once into reply (reply_size bytes). Returns 0 or a negative code for the
// step that failed; server_error tells the rest.
int Ombrix::cmd_sendreceive(const char* request, char* reply) {
    const std::size_t length = std::strlen(request);
    if (length > static_cast<std::size_t>(max_request_length)) {
        server_error = neterror;
        return -1;
    }
    if (command_socket == nullptr) {
        server_error = neterror;
        return -11;
    }
    const int fd = handle_fd(command_socket);

    // Bytes still waiting belong to an earlier request whose reply came too
    // late; they must not be read as the reply to this one.
    char stale[reply_size];
    while (::recv(fd, stale, sizeof(stale), MSG_DONTWAIT) > 0) {
    }

    if (wait_ready(fd, POLLOUT, command_timeout_us) != 1) {
        server_error = neterror;
        return -11;
    }
    // MSG_NOSIGNAL: a controller that reset the connection must not kill us with SIGPIPE.
    const ssize_t sent = ::send(fd, request, length + 1, MSG_NOSIGNAL);
    if (sent != static_cast<ssize_t>(length + 1)) {
        server_error = neterror;
        return -11;
    }

    const int ready = wait_ready(fd, POLLIN, command_timeout_us);
    if (ready == 0) {
        server_error = timeout;
        reply[0] = '\0';
        return -1;
    }
    if (ready != 1) {
        server_error = neterror;
        reply[0] = '\0';
        return -2;
    }

    const ssize_t received = ::recv(fd, reply, reply_size, 0);
    if (received == 0) {
        tcp_exit(command_socket);
        command_socket = nullptr;
        reply[0] = '\0';
        return -9;
    }
    if (received < 0) {
        server_error = neterror;
        reply[0] = '\0';
        return -3;
    }
    if (received >= reply_size) {
        server_error = neterror;
        reply[0] = '\0';
        return -4;
    }
    reply[received] = '\0';
    server_error = noerror;
    return 0;
}

// Classifies a reply: true for success ("ombrix ok" or no reply at all); an
// error reply fills the last error and gives false; anything else is false.
bool Ombrix::cmd_storelasterror(const char* reply) {
    if (reply == nullptr || std::strcmp(reply, "ombrix ok") == 0) {
        clear_lasterror();
        return true;
    }
    static const char error_prefix[] = "ombrix err ";
    if (!starts_with(reply, error_prefix))
        return false;

    // The scanners move through modifiable text; they do not change it here,
    // but work on a copy so that a const reply stays untouched.
    char text[reply_size];
    std::strncpy(text, reply, sizeof(text) - 1);
    text[sizeof(text) - 1] = '\0';

    int code = 0;
    char* pos = string_get_i(text + sizeof(error_prefix) - 1, code);
    std::string error_text;
    if (pos == nullptr || string_get_quoted_text(pos, error_text) == nullptr) {
        last_error_code = -1111;
        last_error_text = "internal SDK error";
        server_error = parseerror;
        return false;
    }
    last_error_code = code;
    last_error_text = error_text;
    return false;
}

bool Ombrix::send_command(const std::string& command) {
    const std::string request = "ombrix " + command;
    clear_lasterror();
    char reply[reply_size];
    if (cmd_sendreceive(request.c_str(), reply) != 0)
        return false;
    return cmd_storelasterror(reply);
}

bool Ombrix::set_parameter(const std::string& parameter) {
    return send_command("set " + parameter);
}

bool Ombrix::set_parameter(const std::string& category, const std::string& name,
                           const std::string& value) {
    return send_command("set " + category + " " + name + " " + value);
}

bool Ombrix::get_parameter(const std::string& category, const std::string& name,
                           std::string& value) {
    return get_parameter(category + " " + name, value);
}

bool Ombrix::get_parameter(const std::string& parameter, std::string& value) {
    const std::string request = "ombrix get " + parameter;
    value.clear();
    clear_lasterror();
    char reply[reply_size];
    if (cmd_sendreceive(request.c_str(), reply) != 0)
        return false;
    return handle_parameter_reply(parameter, reply, value);
}

namespace {

// Compares a requested parameter text with the controller's echo of it: numbers
// match without their leading zeros, runs of blanks match runs of any length,
// case matters. On a match, returns the position in the echo where the name
// ended; otherwise null.
const char* match_parameter_echo(const char* requested, const char* echo) {
    const char* r = requested;
    const char* e = echo;
    bool after_digit = false;
    for (;;) {
        if (*r == '\0')
            break;
        if (!after_digit) {
            while (*r == '0')
                ++r;
            while (*e == '0')
                ++e;
            if (*r == '\0')
                break;
        }
        if (*r != *e)
            return nullptr;
        if (*r == ' ') {
            while (*r == ' ')
                ++r;
            while (*e == ' ')
                ++e;
            after_digit = false;
            continue;
        }
        after_digit = *r >= '0' && *r <= '9';
        ++r;
        ++e;
    }
    // The echoed name must end where the requested one does: "dev 0" or "dev 1"
    // must not match the echo of "dev 5" or "dev 12".
    const bool name_ends_in_blank = r != requested && r[-1] == ' ';
    if (r != requested && !name_ends_in_blank && *e != ' ' && *e != '\0')
        return nullptr;
    return e;
}

} // namespace

bool Ombrix::handle_parameter_reply(const std::string& parameter, char* reply, std::string& value) {
    static const char set_prefix[] = "ombrix set ";
    if (!starts_with(reply, set_prefix))
        return cmd_storelasterror(reply);

    const char* end_of_name =
        match_parameter_echo(parameter.c_str(), reply + sizeof(set_prefix) - 1);
    if (end_of_name == nullptr) {
        server_error = parseerror;
        return false;
    }
    // Pass the blanks that separate the echoed name from the value. A reply that
    // ends right after the name carries an empty value. Only blanks are passed:
    // when the requested text itself ends in a blank, its run of blanks already
    // took the separator, and the echo stands on the value's first character.
    const char* pos = end_of_name;
    while (*pos == ' ')
        ++pos;
    value.assign(pos);
    return true;
}

bool Ombrix::get_message() {
    clear_lasterror();
    char reply[reply_size];
    if (cmd_sendreceive("ombrix getmsg", reply) != 0)
        return false;
    return handle_message_reply(reply);
}

bool Ombrix::handle_message_reply(char* reply) {
    if (std::strcmp(reply, "ombrix ok") == 0) {
        cmd_storelasterror(reply); // no message waiting
        return false;
    }
    static const char msg_prefix[] = "ombrix msg ";
    if (!starts_with(reply, msg_prefix)) {
        cmd_storelasterror(reply); // an error reply fills the last error
        return false;
    }

    char* pos = reply + sizeof(msg_prefix) - 1;
    pos = string_get_word(pos, message_origin);
    if (pos == nullptr)
        return false;
    pos = string_get_word(pos, message_status);
    if (pos == nullptr)
        return false;
    unsigned int number = 0;
    pos = string_get_ui(pos, number);
    if (pos == nullptr)
        return false;
    message_framenr = number;
    pos = string_get_ui(pos, number);
    if (pos == nullptr)
        return false;
    message_errorid = number;
    if (string_get_quoted_text(pos, message_msg) == nullptr)
        return false;
    clear_lasterror();
    return true;
}

// ---------------------------------------------------------------------------
// Seam for tests and fuzzers
// ---------------------------------------------------------------------------

bool OmbrixInternals::parse_datagram(Ombrix& client, const char* data, std::size_t length) {
    client.frame_counter = 0;
    client.timestamp = -1.0;
    if (client.data_buffer == nullptr) {
        client.data_error = Ombrix::neterror;
        return false;
    }
    if (length == 0 || length >= static_cast<std::size_t>(client.data_buffer_size - 1)) {
        client.data_error = Ombrix::neterror;
        return false;
    }
    std::memcpy(client.data_buffer, data, length);
    client.data_buffer[length] = '\0';
    return client.parse_frame(client.data_buffer);
}

namespace {

// Copies a reply as one receive into the 200-byte reply buffer would leave it.
void load_reply(char* buffer, int size, const char* reply, std::size_t length) {
    const std::size_t kept = length < static_cast<std::size_t>(size - 1) ? length : size - 1;
    std::memcpy(buffer, reply, kept);
    buffer[kept] = '\0';
}

} // namespace

bool OmbrixInternals::store_last_error(Ombrix& client, const char* reply, std::size_t length) {
    char buffer[Ombrix::reply_size];
    load_reply(buffer, Ombrix::reply_size, reply, length);
    client.clear_lasterror();
    return client.cmd_storelasterror(buffer);
}

bool OmbrixInternals::parameter_reply(Ombrix& client, const std::string& parameter,
                                      const char* reply, std::size_t length, std::string& value) {
    char buffer[Ombrix::reply_size];
    load_reply(buffer, Ombrix::reply_size, reply, length);
    value.clear();
    client.clear_lasterror();
    return client.handle_parameter_reply(parameter, buffer, value);
}

bool OmbrixInternals::message_reply(Ombrix& client, const char* reply, std::size_t length) {
    char buffer[Ombrix::reply_size];
    load_reply(buffer, Ombrix::reply_size, reply, length);
    client.clear_lasterror();
    return client.handle_message_reply(buffer);
}
