// Reader of replay files written by ReplayWriter or by hand.

#ifndef REPLAYREADER_H
#define REPLAYREADER_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One recorded datagram and the time since the one before it.
struct ReplayFrame {
    std::string_view datagram;      // held by the reader that read it
    std::optional<double> delay_ms; // from an "@delay" line; none when the frame had none
};

// Reads a whole replay file into memory at once and checks it, so that a malformed file is
// refused before anything is sent and a replay never waits for the disk. Errors name the file
// and the line.
class ReplayReader {
public:
    enum class Result {
        ok,           // every frame was read
        format_error, // the file breaks the format; see error()
        io_error,     // the file could not be opened or read; see error()
    };

    // The largest payload of one IPv4 UDP datagram; a longer frame could never be sent.
    static constexpr std::size_t max_datagram = 65507;
    // The longest line a file may have: a frame of max_datagram bytes, each written as a
    // four-character \xHH escape, with a joining backslash and a CR before the line feed.
    static constexpr std::size_t max_line_length = 4 * max_datagram + 2;
    // The largest file, 1 GiB: about 50 minutes of a 2-Skywand stream at 1000 Hz as recorded.
    // Loading holds the text and its frames at once, a little more than twice the file.
    static constexpr std::size_t max_file_size = std::size_t{1} << 30;
    // The escapes of one letter, "\\" "\r" "\n" "\t" "\0": the letter after the backslash and
    // the byte it stands for.
    static constexpr std::string_view escape_letters = "\\rnt0";
    static constexpr std::string_view escaped_bytes{"\\\r\n\t\0", 5};
    // The longest "@delay" accepted, one day, so that no schedule can overflow.
    static constexpr double max_delay_ms = 86400000.0;

    ReplayReader() = default;
    ReplayReader(const ReplayReader&) = delete; // the frames point into the reader
    ReplayReader& operator=(const ReplayReader&) = delete;

    Result load(const std::string& path);
    // Parses the text of a replay file; name is used in messages.
    Result parse(std::string_view text, const std::string& name);

    // The frames read, in file order; after an error, those before it. They stay valid until
    // the next load() or parse().
    const std::vector<ReplayFrame>& frames() const { return frames_read; }
    // "<file>:<line>: <what is wrong>", or the I/O failure.
    const std::string& error() const { return error_text; }

private:
    Result formatError(const std::string& what, long line = 0); // 0: the line being read
    Result decodeLine(std::string_view line);
    Result readDirective(std::string_view line);

    std::vector<ReplayFrame> frames_read;
    std::string datagrams; // every frame's datagram, one after the other
    std::string name;
    long line_number = 0;
    std::optional<double> pending_delay; // from an "@delay" line, for the next frame
    long pending_delay_line = 0;
    std::string error_text;
};

#endif // REPLAYREADER_H
