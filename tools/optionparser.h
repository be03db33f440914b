// Reads the command line of ombrix-sim.

#ifndef OPTIONPARSER_H
#define OPTIONPARSER_H

#include "simoptions.h"

#include <string>
#include <vector>

// GNU-style long options: "--name value" or "--name=value". --command-port takes its port
// only as "--command-port=N" or when the next argument is a number.
class OptionParser {
public:
    // args without the program name. False with a one-line message on a bad argument; the
    // options are then partly filled and must not be used.
    static bool parse(const std::vector<std::string>& args, SimOptions& options,
                      std::string& error);

    static std::string helpText();
};

#endif // OPTIONPARSER_H
