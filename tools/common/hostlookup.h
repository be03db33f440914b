// The IPv4 address of a host name or dotted address, as the tools send to and listen on.
#ifndef HOSTLOOKUP_H
#define HOSTLOOKUP_H

#include <netinet/in.h>

#include <string>

// Fills `address` (port 0) and returns the empty string, or returns why the name does not
// resolve. `passive`: an address to listen on, where an empty name means any interface.
std::string lookUpIPv4(const std::string& host, int socketType, bool passive, sockaddr_in& address);

#endif // HOSTLOOKUP_H
