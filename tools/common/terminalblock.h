// A block of lines that a terminal shows redrawn in place, such as a live summary.

#ifndef TERMINALBLOCK_H
#define TERMINALBLOCK_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

class TerminalBlock {
public:
    // Lines are cut short of 80 columns: a wrapped line would throw the redraw's count off.
    static constexpr std::size_t terminal_width = 79;

    // Whether standard output is a terminal that understands escape sequences.
    static bool outputIsTerminal();

    // Draws the lines over the block drawn last, which may have had more or fewer lines.
    void draw(std::ostream& out, const std::vector<std::string>& lines);

private:
    std::size_t lines_shown = 0; // lines of the block now on the terminal
};

#endif // TERMINALBLOCK_H
