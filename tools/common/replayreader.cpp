#include "replayreader.h"

#include "decimaltext.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>

ReplayReader::Result ReplayReader::load(const std::string& path) {
    frames_read.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        error_text = path + ": cannot open: " + std::strerror(errno);
        return Result::io_error;
    }
    // The size where the system knows it (not for a pipe or a device): a file too large is then
    // refused unread, and the text of another grows only once.
    std::error_code unknown;
    std::uintmax_t size = std::filesystem::file_size(path, unknown);
    size = unknown ? 0 : size;
    std::string text;
    text.reserve(size <= max_file_size ? size : 0);
    char chunk[1 << 16];
    // A file without line ends (or a device such as /dev/zero) is read no further than the
    // first line that is too long, which parse() names (npos + 1 is 0).
    while (size <= max_file_size && text.size() <= max_file_size &&
           text.size() - (text.rfind('\n') + 1) <= max_line_length &&
           (file.read(chunk, sizeof chunk) || file.gcount() > 0)) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
    }
    if (std::max<std::uintmax_t>(size, text.size()) > max_file_size) {
        error_text = path + ": larger than 1 GiB, the most a replay may hold";
        return Result::format_error;
    }
    if (file.bad()) {
        error_text = path + ": cannot read: " + std::strerror(errno);
        return Result::io_error;
    }
    return parse(text, path);
}

ReplayReader::Result ReplayReader::formatError(const std::string& what, long line) {
    error_text = name + ":" + std::to_string(line > 0 ? line : line_number) + ": " + what;
    return Result::format_error;
}

// Appends the bytes a data line stands for, and the line feed after it unless the line ends
// in an unescaped backslash, which joins it to the next line.
ReplayReader::Result ReplayReader::decodeLine(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const std::size_t backslash = std::min(line.find('\\', i), line.size());
        datagrams.append(line.substr(i, backslash - i));
        i = backslash;
        if (i + 1 == line.size()) {
            return Result::ok;
        }
        if (i == line.size()) {
            break;
        }
        const char kind = line[++i];
        if (const std::size_t k = escape_letters.find(kind); k != std::string_view::npos) {
            datagrams += escaped_bytes[k];
            continue;
        }
        if (kind != 'x') {
            const unsigned char shown = static_cast<unsigned char>(kind);
            const std::string escape = shown >= 0x20 && shown < 0x7F
                                           ? std::string("\\") + kind
                                           : "a backslash before byte " + std::to_string(shown);
            return formatError("column " + std::to_string(i) + ": unknown escape " + escape +
                               " (known: \\\\ \\r \\n \\t \\0 \\xHH)");
        }
        // Two hexadecimal digits, no more and no fewer.
        unsigned value = 0;
        const char* digits = line.data() + i + 1;
        if (i + 2 >= line.size() ||
            std::from_chars(digits, digits + 2, value, 16).ptr != digits + 2) {
            return formatError("column " + std::to_string(i) +
                               ": \\x must be followed by two hexadecimal digits");
        }
        datagrams += static_cast<char>(value);
        i += 2;
    }
    datagrams += '\n';
    return Result::ok;
}

ReplayReader::Result ReplayReader::readDirective(std::string_view line) {
    std::vector<std::string_view> words; // split at blanks and tabs; the first is "@..."
    for (std::size_t start = 0, end = 0; start != std::string_view::npos;
         start = line.find_first_not_of(" \t", end)) {
        end = line.find_first_of(" \t", start);
        words.push_back(line.substr(start, end - start));
    }
    if (words[0] != "@delay") {
        return formatError("unknown directive \"" + std::string(words[0]) +
                           "\" (only @delay is known; a datagram line that begins with @ is "
                           "written \\x40)");
    }
    if (words.size() > 2) {
        return formatError("unexpected text after the delay in \"" + std::string(line) + "\"");
    }
    const std::string value(words.size() > 1 ? words[1] : "");
    double delay = 0.0;
    if (!parseDecimal(value, delay) || delay > max_delay_ms) {
        return formatError("bad delay \"" + value +
                           "\": @delay needs milliseconds, a decimal number from 0 to 86400000");
    }
    if (pending_delay) {
        return formatError("a second @delay for the same frame (the first is on line " +
                           std::to_string(pending_delay_line) + ")");
    }
    pending_delay = delay;
    pending_delay_line = line_number;
    return Result::ok;
}

ReplayReader::Result ReplayReader::parse(std::string_view text, const std::string& file_name) {
    name = file_name;
    frames_read.clear();
    error_text.clear();
    // Every datagram goes into one buffer, which the frames point into. It is sized once and
    // never reallocated: decoding only shortens lines, and the one byte it may add is a line
    // feed after a last line that has none.
    datagrams = std::string();
    datagrams.reserve(text.size() + 1);
    std::size_t frame_start = 0; // where the last frame's datagram begins in datagrams
    long frame_line = 0;         // and the file line where its block begins
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
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
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
            if (readDirective(line) != Result::ok) {
                return Result::format_error;
            }
            continue;
        }
        if (!in_block) {
            in_block = true;
            frames_read.push_back({{}, pending_delay});
            frame_start = datagrams.size();
            frame_line = line_number;
            pending_delay.reset();
        }
        if (decodeLine(line) != Result::ok) {
            return Result::format_error;
        }
        frames_read.back().datagram = std::string_view(datagrams).substr(frame_start);
        if (frames_read.back().datagram.size() > max_datagram) {
            return formatError("the frame is longer than " + std::to_string(max_datagram) +
                                   " bytes, the most one UDP datagram carries",
                               frame_line);
        }
    }
    if (pending_delay) {
        return formatError("@delay is not followed by a frame", pending_delay_line);
    }
    return Result::ok;
}
