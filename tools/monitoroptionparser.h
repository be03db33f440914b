// Reads the command line of ombrix-monitor.

#ifndef MONITOROPTIONPARSER_H
#define MONITOROPTIONPARSER_H

#include "monitoroptions.h"

#include <string>
#include <vector>

// GNU-style long options: "--name value" or "--name=value".
class MonitorOptionParser {
public:
    // args without the program name. False with a one-line message on a bad argument; the
    // options are then partly filled and must not be used.
    static bool parse(const std::vector<std::string>& args, MonitorOptions& options,
                      std::string& error);

    static std::string helpText();
};

#endif // MONITOROPTIONPARSER_H
