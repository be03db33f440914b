#include "replaywriter.h"

#include "decimaltext.h"
#include "replayreader.h"

#include <cmath>
#include <fmt/format.h>
#include <iterator>
#include <string_view>

namespace {

// Appends one datagram line (without its line feed) as one line of the file. Escaping keeps the
// line from being read as anything but data: a leading '#' or '@' would be a comment or a
// directive, a line of spaces would be blank, a trailing backslash would join lines.
void appendLine(std::string& out, std::string_view line, bool ends_with_line_feed) {
    if (line.empty()) {
        // An empty file line would end the block, so the line feed is written as an escape and
        // the file line's own line feed is cancelled by the trailing backslash.
        out += ends_with_line_feed ? "\\n\\\n" : "\\\n";
        return;
    }
    const bool blank_looking = line.find_first_not_of(' ') == std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (const std::size_t k = ReplayReader::escaped_bytes.find(line[i]);
            k != std::string_view::npos) {
            out += '\\';
            out += ReplayReader::escape_letters[k];
        } else if (c < 0x20 || c >= 0x7F ||
                   (i == 0 && (c == '#' || c == '@' || (c == ' ' && blank_looking)))) {
            fmt::format_to(std::back_inserter(out), "\\x{:02X}", c);
        } else {
            out += static_cast<char>(c);
        }
    }
    if (!ends_with_line_feed) {
        out += '\\';
    }
    out += '\n';
}

} // namespace

ReplayWriter::ReplayWriter(std::ostream& out) : out(out) {}

void ReplayWriter::separateFromPreviousFrame() {
    if (block_open) {
        out << '\n';
        block_open = false;
    }
}

void ReplayWriter::writeComment(const std::string& text) {
    separateFromPreviousFrame();
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = text.find('\n', start);
        const std::string_view line = std::string_view(text).substr(start, end - start);
        out << (line.empty() ? "#" : "# ") << line << '\n';
    }
}

void ReplayWriter::writeFrame(const std::string& datagram, std::optional<double> delay_ms) {
    separateFromPreviousFrame();
    if (delay_ms && std::isfinite(*delay_ms)) {
        out << "@delay " << formatDecimal(*delay_ms > 0.0 ? *delay_ms : 0.0, 3) << '\n';
    }
    out << encodeDatagram(datagram);
    block_open = true;
}

std::string ReplayWriter::encodeDatagram(const std::string& datagram) {
    std::string out;
    out.reserve(datagram.size() + datagram.size() / 8 + 4);
    const std::string_view text(datagram);
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
        end = text.find('\n', start);
        // The rest after the last line feed is written with a trailing backslash, unless it is
        // empty. The empty datagram is the single line "\".
        if (end != std::string_view::npos || start < text.size() || text.empty()) {
            appendLine(out, text.substr(start, end - start), end != std::string_view::npos);
        }
    }
    return out;
}
