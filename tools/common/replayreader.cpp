#include "replayreader.h"

#include "decimaltext.h"

#include <cerrno>
#include <cstring>

namespace {

bool isBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

enum class LineRead { line, end, too_long };

// Reads one line as std::getline does (the line feed taken, not stored), but gives up once the
// line holds more than `limit` characters, so that a file without line ends (or a device such
// as /dev/zero) cannot make the line grow without bound.
LineRead readLine(std::istream& in, std::string& line, std::size_t limit) {
    line.clear();
    char chunk[4096];
    for (;;) {
        in.getline(chunk, sizeof chunk);
        const auto taken = static_cast<std::size_t>(in.gcount());
        if (in.fail() && !in.eof() && !in.bad() && taken == sizeof chunk - 1) {
            // The chunk filled up before the line ended.
            line.append(chunk, taken);
            if (line.size() > limit) {
                return LineRead::too_long;
            }
            in.clear();
            continue;
        }
        if (in.eof()) {
            line.append(chunk, taken);
            return line.empty() && taken == 0 ? LineRead::end : LineRead::line;
        }
        if (in.fail()) {
            return LineRead::end; // a read error; the caller looks at bad()
        }
        line.append(chunk, taken - 1); // the line feed counts in gcount()
        return line.size() > limit ? LineRead::too_long : LineRead::line;
    }
}

} // namespace

bool ReplayReader::open(const std::string& path) {
    name = path;
    file = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!file->is_open()) {
        error_text = path + ": cannot open: " + std::strerror(errno);
        in = nullptr;
        return false;
    }
    in = file.get();
    line_number = 0;
    pending_delay.reset();
    error_text.clear();
    return true;
}

void ReplayReader::attach(std::istream& stream, const std::string& stream_name) {
    file.reset();
    in = &stream;
    name = stream_name;
    line_number = 0;
    pending_delay.reset();
    error_text.clear();
}

bool ReplayReader::rewind() {
    if (in == nullptr) {
        return false;
    }
    in->clear();
    in->seekg(0);
    if (!in->good()) {
        error_text = name + ": cannot go back to the start of the file";
        return false;
    }
    line_number = 0;
    pending_delay.reset();
    return true;
}

ReplayReader::Result ReplayReader::formatError(const std::string& what) {
    return formatError(line_number, what);
}

ReplayReader::Result ReplayReader::formatError(long line, const std::string& what) {
    error_text = name + ":" + std::to_string(line) + ": " + what;
    return Result::format_error;
}

// Appends the bytes a data line stands for. joins_next tells whether the line ends in an
// unescaped backslash, which suppresses the line feed after it.
bool ReplayReader::decodeLine(const std::string& line, std::string& datagram, bool& joins_next) {
    joins_next = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c != '\\') {
            datagram += c;
            continue;
        }
        if (i + 1 == line.size()) {
            joins_next = true;
            return true;
        }
        const char kind = line[++i];
        switch (kind) {
        case '\\':
            datagram += '\\';
            break;
        case 'r':
            datagram += '\r';
            break;
        case 'n':
            datagram += '\n';
            break;
        case 't':
            datagram += '\t';
            break;
        case '0':
            datagram += '\0';
            break;
        case 'x': {
            const int high = i + 1 < line.size() ? hexValue(line[i + 1]) : -1;
            const int low = i + 2 < line.size() ? hexValue(line[i + 2]) : -1;
            if (high < 0 || low < 0) {
                formatError("column " + std::to_string(i) +
                            ": \\x must be followed by two hexadecimal digits");
                return false;
            }
            datagram += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default: {
            const unsigned char shown = static_cast<unsigned char>(kind);
            const std::string escape = shown >= 0x20 && shown < 0x7F
                                           ? std::string("\\") + kind
                                           : "a backslash before byte " + std::to_string(shown);
            formatError("column " + std::to_string(i) + ": unknown escape " + escape +
                        " (known: \\\\ \\r \\n \\t \\0 \\xHH)");
            return false;
        }
        }
    }
    return true;
}

bool ReplayReader::readDirective(const std::string& line) {
    const std::string keyword = "@delay";
    const std::size_t keyword_end = line.find_first_of(" \t");
    if (line.compare(0, keyword_end, keyword) != 0) {
        formatError("unknown directive \"" + line.substr(0, keyword_end) +
                    "\" (only @delay is known; a datagram line that begins with @ is "
                    "written \\x40)");
        return false;
    }
    const std::size_t value_start = line.find_first_not_of(" \t", keyword_end);
    const std::size_t value_end = value_start == std::string::npos
                                      ? std::string::npos
                                      : line.find_first_of(" \t", value_start);
    const std::string value = value_start == std::string::npos
                                  ? std::string()
                                  : line.substr(value_start, value_end - value_start);
    if (value_end != std::string::npos &&
        line.find_first_not_of(" \t", value_end) != std::string::npos) {
        formatError("unexpected text after the delay in \"" + line + "\"");
        return false;
    }
    double delay = 0.0;
    if (!parseDecimal(value, delay) || delay > max_delay_ms) {
        formatError("bad delay \"" + value +
                    "\": @delay needs milliseconds, a decimal number from 0 to 86400000");
        return false;
    }
    if (pending_delay) {
        formatError("a second @delay for the same frame (the first is on line " +
                    std::to_string(pending_delay_line) + ")");
        return false;
    }
    pending_delay = delay;
    pending_delay_line = line_number;
    return true;
}

ReplayReader::Result ReplayReader::next(ReplayFrame& frame) {
    if (in == nullptr) {
        if (error_text.empty()) {
            error_text = "no replay file is open";
        }
        return Result::io_error;
    }
    frame.datagram.clear();
    frame.delay_ms.reset();
    frame.line = 0;
    bool in_block = false;
    std::string line;
    for (;;) {
        const LineRead read = readLine(*in, line, max_line_length);
        if (read == LineRead::end) {
            break;
        }
        ++line_number;
        if (read == LineRead::too_long) {
            return formatError("a line longer than " + std::to_string(max_line_length) +
                               " characters (a frame holds at most " +
                               std::to_string(max_datagram) + " bytes)");
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back(); // a file saved with CR LF line ends
        }
        if (isBlank(line)) {
            if (in_block) {
                return Result::frame;
            }
            continue;
        }
        if (line[0] == '#') {
            continue; // comments may stand anywhere and do not end a frame
        }
        if (line[0] == '@') {
            if (in_block) {
                return formatError("a directive inside a frame: end the frame with a blank line "
                                   "first (a datagram line that begins with @ is written \\x40)");
            }
            if (!readDirective(line)) {
                return Result::format_error;
            }
            continue;
        }
        if (!in_block) {
            in_block = true;
            frame.line = line_number;
            frame.delay_ms = pending_delay;
            pending_delay.reset();
        }
        bool joins_next = false;
        if (!decodeLine(line, frame.datagram, joins_next)) {
            return Result::format_error;
        }
        if (!joins_next) {
            frame.datagram += '\n';
        }
        if (frame.datagram.size() > max_datagram) {
            return formatError(frame.line, "the frame is longer than " +
                                               std::to_string(max_datagram) +
                                               " bytes, the most one UDP datagram carries");
        }
    }
    if (in->bad()) {
        error_text = name + ": read error after line " + std::to_string(line_number);
        return Result::io_error;
    }
    if (in_block) {
        return Result::frame;
    }
    if (pending_delay) {
        return formatError(pending_delay_line, "@delay is not followed by a frame");
    }
    return Result::end;
}
