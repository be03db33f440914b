#include "terminalblock.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

bool TerminalBlock::outputIsTerminal() {
    const char* term = std::getenv("TERM");
    return isatty(STDOUT_FILENO) == 1 && !(term != nullptr && std::strcmp(term, "dumb") == 0);
}

void TerminalBlock::draw(std::ostream& out, const std::vector<std::string>& lines) {
    if (lines_shown > 0) {
        out << "\033[" << lines_shown << "A"; // back to the block's first line
    }
    out << "\r\033[J"; // clears the old block to the end of the screen
    for (const std::string& line : lines) {
        out << line.substr(0, terminal_width) << "\n";
    }
    lines_shown = lines.size();
}
