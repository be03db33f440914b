#include "replayreader.h"

#include "decimaltext.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

namespace {

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

} // namespace

ReplayReader::Result ReplayReader::load(const std::string& path) {
    frames_read.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        error_text = path + ": cannot open: " + std::strerror(errno);
        return Result::io_error;
    }
    // The size where the system knows it (not for a pipe), so that the text grows only once.
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0);
    file.clear(); // a pipe cannot seek, and is read all the same
    const std::string too_large = path + ": larger than 1 GiB, the most a replay may hold";
    if (size > static_cast<std::streamoff>(max_file_size)) {
        error_text = too_large;
        return Result::format_error;
    }
    std::string text;
    text.reserve(size > 0 ? static_cast<std::size_t>(size) : 0);
    char chunk[1 << 16];
    for (std::size_t line_start = 0; file.read(chunk, sizeof chunk) || file.gcount() > 0;) {
        const std::string_view read(chunk, static_cast<std::size_t>(file.gcount()));
        if (const std::size_t line_feed = read.rfind('\n'); line_feed != std::string_view::npos) {
            line_start = text.size() + line_feed + 1;
        }
        text += read;
        if (text.size() > max_file_size) {
            error_text = too_large;
            return Result::format_error;
        }
        // A file without line ends (or a device such as /dev/zero) is read no further than the
        // first line that is too long; parse() names it.
        if (text.size() - line_start > max_line_length) {
            break;
        }
    }
    if (file.bad()) {
        error_text = path + ": cannot read: " + std::strerror(errno);
        return Result::io_error;
    }
    return parse(text, path);
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
bool ReplayReader::decodeLine(std::string_view line, std::string& datagram, bool& joins_next) {
    joins_next = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const std::size_t backslash = std::min(line.find('\\', i), line.size());
        datagram.append(line.substr(i, backslash - i));
        i = backslash;
        if (i == line.size()) {
            break;
        }
        if (i + 1 == line.size()) {
            joins_next = true;
            return true;
        }
        const char kind = line[++i];
        // "\\" "\r" "\n" "\t" "\0": the byte after the backslash and the byte it stands for.
        constexpr std::string_view simple = "\\rnt0";
        constexpr std::string_view meaning("\\\r\n\t\0", 5);
        if (const std::size_t k = simple.find(kind); k != std::string_view::npos) {
            datagram += meaning[k];
            continue;
        }
        if (kind != 'x') {
            const unsigned char shown = static_cast<unsigned char>(kind);
            const std::string escape = shown >= 0x20 && shown < 0x7F
                                           ? std::string("\\") + kind
                                           : "a backslash before byte " + std::to_string(shown);
            formatError("column " + std::to_string(i) + ": unknown escape " + escape +
                        " (known: \\\\ \\r \\n \\t \\0 \\xHH)");
            return false;
        }
        // Two hexadecimal digits, no more and no fewer.
        unsigned value = 0;
        const char* digits = line.data() + i + 1;
        if (i + 2 >= line.size() ||
            std::from_chars(digits, digits + 2, value, 16).ptr != digits + 2) {
            formatError("column " + std::to_string(i) +
                        ": \\x must be followed by two hexadecimal digits");
            return false;
        }
        datagram += static_cast<char>(value);
        i += 2;
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

ReplayReader::Result ReplayReader::parse(std::string_view text, const std::string& file_name) {
    name = file_name;
    frames_read.clear();
    error_text.clear();
    // Every datagram goes into one buffer, sized once: decoding only shortens lines, and the
    // one byte it may add is a line feed after a last line that has none.
    datagrams.clear();
    datagrams.shrink_to_fit();
    datagrams.reserve(text.size() + 1);
    starts.clear();
    const Result result = parseLines(text);
    for (std::size_t i = 0; i < frames_read.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : datagrams.size();
        frames_read[i].datagram = std::string_view(datagrams).substr(starts[i], end - starts[i]);
    }
    return result;
}

ReplayReader::Result ReplayReader::parseLines(std::string_view text) {
    line_number = 0;
    pending_delay.reset();
    bool in_block = false;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t line_feed = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, line_feed - start);
        start = line_feed + 1;
        ++line_number;
        if (line.size() > max_line_length) {
            return formatError("a line longer than " + std::to_string(max_line_length) +
                               " characters (a frame holds at most " +
                               std::to_string(max_datagram) + " bytes)");
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1); // a file saved with CR LF line ends
        }
        if (isBlank(line)) {
            in_block = false;
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
            if (!readDirective(std::string(line))) {
                return Result::format_error;
            }
            continue;
        }
        if (!in_block) {
            in_block = true;
            frames_read.push_back({{}, pending_delay, line_number});
            starts.push_back(datagrams.size());
            pending_delay.reset();
        }
        bool joins_next = false;
        if (!decodeLine(line, datagrams, joins_next)) {
            return Result::format_error;
        }
        if (!joins_next) {
            datagrams += '\n';
        }
        if (datagrams.size() - starts.back() > max_datagram) {
            return formatError(frames_read.back().line,
                               "the frame is longer than " + std::to_string(max_datagram) +
                                   " bytes, the most one UDP datagram carries");
        }
    }
    if (pending_delay) {
        return formatError(pending_delay_line, "@delay is not followed by a frame");
    }
    return Result::ok;
}
