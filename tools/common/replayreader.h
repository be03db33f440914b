// Reader of replay files written by ReplayWriter or by hand.

#ifndef REPLAYREADER_H
#define REPLAYREADER_H

#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <string>

// One recorded datagram and the time since the one before it.
struct ReplayFrame {
    std::string datagram;
    std::optional<double> delay_ms; // from an "@delay" line; none when the frame had none
    long line = 0;                  // file line where the frame's block begins
};

// Reads a replay file frame by frame, without holding more than one frame in memory, so that
// long recordings replay as easily as short ones. Errors name the file and the line.
class ReplayReader {
public:
    enum class Result {
        frame,        // a frame was read
        end,          // no more frames
        format_error, // the file breaks the format; see error()
        io_error,     // the file could not be opened or read; see error()
    };

    // The largest payload of one IPv4 UDP datagram; a longer frame could never be sent.
    static constexpr std::size_t max_datagram = 65507;
    // The longest line a file may have: a frame of max_datagram bytes, each written as a
    // four-character \xHH escape, with a joining backslash and a CR before the line feed.
    static constexpr std::size_t max_line_length = 4 * max_datagram + 2;
    // The longest "@delay" accepted, one day, so that no schedule can overflow.
    static constexpr double max_delay_ms = 86400000.0;

    ReplayReader() = default;
    ReplayReader(const ReplayReader&) = delete;
    ReplayReader& operator=(const ReplayReader&) = delete;

    // Opens a file; false with error() set when it cannot be opened.
    bool open(const std::string& path);
    // Reads from a stream the caller owns; name is used in messages.
    void attach(std::istream& in, const std::string& name);

    Result next(ReplayFrame& frame);
    // Goes back to the first frame; false with error() set when the stream cannot seek.
    bool rewind();

    // "<file>:<line>: <what is wrong>", or the I/O failure.
    const std::string& error() const { return error_text; }

private:
    Result formatError(const std::string& what);
    Result formatError(long line, const std::string& what);
    bool decodeLine(const std::string& line, std::string& datagram, bool& joins_next);
    bool readDirective(const std::string& line);

    std::unique_ptr<std::ifstream> file;
    std::istream* in = nullptr;
    std::string name;
    long line_number = 0;
    std::optional<double> pending_delay;
    long pending_delay_line = 0;
    std::string error_text;
};

#endif // REPLAYREADER_H
