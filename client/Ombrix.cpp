#include "Ombrix.h"

#include "commandreply.h"
#include "frameparser.h"
#include "sockets.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <utility>

namespace {

// Size of the buffer a command reply is received into, and the longest request
// text (prefix included) the channel sends.
constexpr int reply_size = 200;
constexpr std::size_t max_request_length = 200;

// Records by value; an index out of range yields the untracked record.
template <typename Record>
Record record_or_untracked(const std::vector<Record>& records, int num, int index, int id) {
    if (index < 0 || index >= num)
        return untracked_record<Record>(id);
    return records[static_cast<std::size_t>(index)];
}

enum error_state { noerror = 0, timeout = 1, neterror = 2, parseerror = 3 };

} // namespace

// Everything the client keeps. It lives here rather than in the header so that members can
// be added or changed without changing what programs built against the library see. A new
// query is a declaration in Ombrix.h, a member here and a one-line accessor below. Hidden,
// unlike the class it belongs to: the library does not export it.
struct __attribute__((visibility("hidden"))) Ombrix::Private {
    int cmd_sendreceive(const char* request, char* reply);
    bool command_outcome(ReplyOutcome outcome);

    void* command_socket = nullptr;
    int command_timeout_us = 0;
    unsigned int command_ip = 0; // host byte order
    unsigned short command_port = 0;
    bool reconnect = false;        // connect anew before the next request
    bool reconnect_failed = false; // the last try to connect anew failed
    void* data_socket = nullptr;
    unsigned short data_port = 0;
    int data_bind_errno = 0; // why the data port could not be opened, 0 when it was
    int data_timeout_us = 0;
    int data_buffer_size = 0;
    char* data_buffer = nullptr;

    std::function<void(std::string_view)> datagram_observer;
    unsigned int num_dropped = 0;
    int datagram_length = 0;
    FrameRecords records;
    CommandMessage message;
    CommandError last_error;

    error_state data_error = noerror;
    error_state server_error = noerror;
};

Ombrix::Ombrix(const std::string& server_host, unsigned short server_port,
               unsigned short data_port_wanted, int data_bufsize, int data_timeout,
               int server_timeout)
    : d(std::make_unique<Private>()) {
    d->command_timeout_us = server_timeout;
    d->data_port = data_port_wanted;
    d->data_timeout_us = data_timeout;
    d->data_buffer_size = data_bufsize;
    if (udp_init(&d->data_socket, &d->data_port) != 0) {
        d->data_bind_errno = errno;
        d->data_port = 0;
        return;
    }

    // A buffer must hold at least one byte of datagram and the terminator.
    if (d->data_buffer_size >= 2)
        d->data_buffer =
            static_cast<char*>(std::malloc(static_cast<std::size_t>(d->data_buffer_size)));
    if (d->data_buffer == nullptr) {
        udp_exit(d->data_socket);
        d->data_socket = nullptr;
        d->data_port = 0;
        return;
    }

    if (!server_host.empty()) {
        d->command_ip = ip_name2ip(server_host.c_str());
        d->command_port = server_port == 0 ? default_server_port : server_port;
        if (d->command_ip == 0 ||
            tcp_client_init(&d->command_socket, d->command_ip, d->command_port) != 0) {
            std::free(d->data_buffer);
            d->data_buffer = nullptr;
            udp_exit(d->data_socket);
            d->data_socket = nullptr;
            d->data_port = 0;
        }
    }
}

Ombrix::~Ombrix() {
    std::free(d->data_buffer);
    udp_exit(d->data_socket);
    tcp_exit(d->command_socket);
}

bool Ombrix::valid() const {
    return d->data_socket != nullptr;
}
unsigned short Ombrix::get_data_port() const {
    return d->data_port;
}
int Ombrix::get_data_bind_errno() const {
    return d->data_bind_errno;
}

bool Ombrix::data_timeout() const {
    return d->data_error == timeout;
}
bool Ombrix::data_neterror() const {
    return d->data_error == neterror;
}
bool Ombrix::data_parseerror() const {
    return d->data_error == parseerror;
}
void Ombrix::set_data_noerror() {
    d->data_error = noerror;
}
void Ombrix::set_data_timeout() {
    d->data_error = timeout;
}
void Ombrix::set_data_neterror() {
    d->data_error = neterror;
}
void Ombrix::set_data_parseerror() {
    d->data_error = parseerror;
}

bool Ombrix::server_noconnection() const {
    return d->command_socket == nullptr && (!d->reconnect || d->reconnect_failed);
}
bool Ombrix::server_timeout() const {
    return d->server_error == timeout;
}
bool Ombrix::server_neterror() const {
    return d->server_error == neterror;
}
bool Ombrix::server_parseerror() const {
    return d->server_error == parseerror;
}
void Ombrix::set_server_noerror() {
    d->server_error = noerror;
}
void Ombrix::set_server_timeout() {
    d->server_error = timeout;
}
void Ombrix::set_server_neterror() {
    d->server_error = neterror;
}
void Ombrix::set_server_parseerror() {
    d->server_error = parseerror;
}

unsigned int Ombrix::get_framecounter() const {
    return d->records.frame_counter;
}
double Ombrix::get_timestamp() const {
    return d->records.timestamp;
}
unsigned int Ombrix::get_num_dropped() const {
    return d->num_dropped;
}

std::string_view Ombrix::get_datagram() const {
    return std::string_view(d->data_buffer, static_cast<std::size_t>(d->datagram_length));
}

int Ombrix::get_num_body() const {
    return d->records.num_body;
}
int Ombrix::get_num_skywand() const {
    return d->records.num_skywand;
}
int Ombrix::get_num_skywand_carried() const {
    return std::min(d->records.num_skywand_carried, d->records.num_skywand);
}
int Ombrix::get_num_meatool() const {
    return d->records.num_meatool;
}
int Ombrix::get_num_hand() const {
    return d->records.num_hand;
}
int Ombrix::get_num_marker() const {
    return d->records.num_marker;
}

ombrix_body_type Ombrix::get_body(int id) const {
    return record_or_untracked(d->records.bodies, d->records.num_body, id, id);
}
ombrix_skywand_type Ombrix::get_skywand(int id) const {
    return record_or_untracked(d->records.skywands, d->records.num_skywand, id, id);
}
ombrix_meatool_type Ombrix::get_meatool(int id) const {
    return record_or_untracked(d->records.meatools, d->records.num_meatool, id, id);
}
ombrix_hand_type Ombrix::get_hand(int id) const {
    return record_or_untracked(d->records.hands, d->records.num_hand, id, id);
}
ombrix_marker_type Ombrix::get_marker(int id) const {
    return record_or_untracked(d->records.markers, d->records.num_marker, id, 0);
}

bool Ombrix::get_lasterror(int& code) const {
    if (d->last_error.code == 0)
        return false;
    code = d->last_error.code;
    return true;
}

bool Ombrix::get_lasterror(std::string& text) const {
    if (d->last_error.code == 0)
        return false;
    text = d->last_error.text;
    return true;
}

std::string Ombrix::get_message_origin() const {
    return d->message.origin;
}
std::string Ombrix::get_message_status() const {
    return d->message.status;
}
unsigned int Ombrix::get_message_framenr() const {
    return d->message.framenr;
}
unsigned int Ombrix::get_message_errorid() const {
    return d->message.errorid;
}
std::string Ombrix::get_message_msg() const {
    return d->message.msg;
}

bool Ombrix::receive() {
    if (!valid()) {
        d->data_error = neterror;
        return false;
    }
    d->records.frame_counter = 0;
    d->records.timestamp = -1.0;
    d->num_dropped = 0;
    d->datagram_length = 0;

    const int fd = handle_fd(d->data_socket);
    const int ready = wait_ready(fd, POLLIN, d->data_timeout_us);
    if (ready == 0) {
        d->data_error = timeout;
        return false;
    }
    if (ready < 0) {
        d->data_error = neterror;
        return false;
    }

    const std::size_t capacity = static_cast<std::size_t>(d->data_buffer_size - 1);
    ssize_t length = ::recv(fd, d->data_buffer, capacity, 0);
    if (length < 0) {
        d->data_error = neterror;
        return false;
    }
    if (d->datagram_observer)
        d->datagram_observer(std::string_view(d->data_buffer, static_cast<std::size_t>(length)));
    // Only the newest datagram counts: drain whatever else is already waiting.
    for (;;) {
        const ssize_t newer = ::recv(fd, d->data_buffer, capacity, MSG_DONTWAIT);
        if (newer < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            d->data_error = neterror;
            return false;
        }
        length = newer;
        ++d->num_dropped;
        if (d->datagram_observer)
            d->datagram_observer(
                std::string_view(d->data_buffer, static_cast<std::size_t>(length)));
    }

    // A datagram that filled the buffer may have been cut.
    if (length <= 0 || length >= d->data_buffer_size - 1) {
        d->data_error = neterror;
        return false;
    }
    d->data_buffer[length] = '\0';
    d->datagram_length = static_cast<int>(length);
    d->data_error = parse_frame(d->data_buffer, d->records) ? noerror : parseerror;
    return d->data_error == noerror;
}

void Ombrix::set_datagram_observer(std::function<void(std::string_view)> observer) {
    d->datagram_observer = std::move(observer);
}

bool Ombrix::set_data_queue_size(int bytes) {
    return valid() && ::setsockopt(handle_fd(d->data_socket), SOL_SOCKET, SO_RCVBUF, &bytes,
                                   sizeof bytes) == 0;
}

// One exchange: send the request with its NUL, wait for the reply, receive it
// once into reply (reply_size bytes). Returns 0 or a negative code for the
// step that failed; server_error tells the rest.
int Ombrix::Private::cmd_sendreceive(const char* request, char* reply) {
    last_error = CommandError{};
    reply[0] = '\0';
    const std::size_t length = std::strlen(request);
    if (length > max_request_length) {
        server_error = neterror;
        return -1;
    }
    if (command_socket == nullptr && reconnect) {
        reconnect_failed = tcp_client_init(&command_socket, command_ip, command_port) != 0;
        reconnect = reconnect_failed;
    }
    if (command_socket == nullptr) {
        server_error = neterror;
        return -11;
    }
    const int fd = handle_fd(command_socket);

    // Bytes still waiting belong to no request of this connection's that is still open
    // (the rest of an overlong reply, say); they must not be read as the reply to this one.
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
        // The reply may still come; on this connection it could be taken for the reply to
        // a later request, since replies carry nothing that ties them to their request.
        server_error = timeout;
        tcp_exit(command_socket);
        command_socket = nullptr;
        reconnect = true;
        reconnect_failed = false;
        return -1;
    }
    if (ready != 1) {
        server_error = neterror;
        return -2;
    }

    const ssize_t received = ::recv(fd, reply, reply_size, 0);
    if (received == 0) {
        tcp_exit(command_socket);
        command_socket = nullptr;
        return -9;
    }
    if (received < 0) {
        server_error = neterror;
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

// A malformed reply is a parse error of the channel; other outcomes leave its state.
bool Ombrix::Private::command_outcome(ReplyOutcome result) {
    if (result == ReplyOutcome::malformed)
        server_error = parseerror;
    return result == ReplyOutcome::success;
}

bool Ombrix::send_command(const std::string& command) {
    const std::string request = "ombrix " + command;
    char reply[reply_size];
    if (d->cmd_sendreceive(request.c_str(), reply) != 0)
        return false;
    return d->command_outcome(classify_reply(reply, d->last_error));
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
    char reply[reply_size];
    if (d->cmd_sendreceive(request.c_str(), reply) != 0)
        return false;
    return d->command_outcome(parameter_reply(parameter, reply, value, d->last_error));
}

bool Ombrix::get_message() {
    char reply[reply_size];
    if (d->cmd_sendreceive("ombrix getmsg", reply) != 0)
        return false;
    return d->command_outcome(message_reply(reply, d->message, d->last_error));
}
