// IPv4 addresses of host names, and sockets bound to them, as the tools send to and listen on.
#ifndef HOSTLOOKUP_H
#define HOSTLOOKUP_H

#include <netinet/in.h>

#include <string>

// Fills `address` (port 0) and returns the empty string, or returns why the name does not
// resolve. The same address serves to send to and to listen on.
std::string lookUpIPv4(const std::string& host, sockaddr_in& address);

// A TCP socket bound to host:port, host resolved as an address to listen on; port 0 takes any
// free port. -1 with a one-line reason in error; the reason names the port as port_name
// ("command port") if the bind failed.
int openBoundSocket(const std::string& host, unsigned short port, const std::string& port_name,
                    std::string& error);

// Why binding the port failed, in plain words, from the errno of the bind: "port 5000 is
// already in use by another program".
std::string bindFailure(const std::string& port_name, unsigned short port, int bind_errno);

#endif // HOSTLOOKUP_H
