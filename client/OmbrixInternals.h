// A narrow seam into the client for tests and fuzzers only: it drives the frame
// parser and the command reply handling on a buffer, without any socket.
// Application code uses Ombrix's public interface and never includes this file.

#ifndef OMBRIX_INTERNALS_H
#define OMBRIX_INTERNALS_H

#include <cstddef>
#include <string>

class Ombrix;

struct OmbrixInternals {
    // Parses one datagram's bytes as receive does after a successful read:
    // same length checks against the client's buffer size, same error state.
    static bool parse_datagram(Ombrix& client, const char* data, std::size_t length);

    // The reply handling of the command channel, fed with a reply as received
    // (at most 199 bytes are used, as the 200-byte reply buffer holds).
    static bool store_last_error(Ombrix& client, const char* reply, std::size_t length);
    static bool parameter_reply(Ombrix& client, const std::string& parameter, const char* reply,
                                std::size_t length, std::string& value);
    static bool message_reply(Ombrix& client, const char* reply, std::size_t length);
};

#endif // OMBRIX_INTERNALS_H
