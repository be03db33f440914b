// Writer of replay files: recorded tracking datagrams as plain, hand-editable text.

#ifndef REPLAYWRITER_H
#define REPLAYWRITER_H

#include <optional>
#include <ostream>
#include <string>

// Writes one block of escaped lines per datagram, blocks separated by a blank line, each
// optionally preceded by an "@delay <milliseconds>" line. ReplayReader yields every datagram
// back byte for byte, whatever it holds (CR, NUL, empty lines, no final line feed, no bytes).
//
// The writer does not own the stream; the caller opens, flushes and closes it.
class ReplayWriter {
public:
    explicit ReplayWriter(std::ostream& out);

    // Writes the text as comment lines ("# " before each of its lines), between frames.
    void writeComment(const std::string& text);

    // delay_ms: time since the previous frame was sent; written with microsecond resolution.
    // A negative delay is written as 0; a delay that is not a finite number is left out.
    void writeFrame(const std::string& datagram, std::optional<double> delay_ms = std::nullopt);

    // The block lines of one datagram, each ended by a line feed, without directive or separator.
    static std::string encodeDatagram(const std::string& datagram);

    // True while every write so far has reached the stream.
    bool good() const { return out.good(); }

private:
    void separateFromPreviousFrame();

    std::ostream& out;
    bool block_open = false; // a frame was written and no blank line has ended it yet
};

#endif // REPLAYWRITER_H
