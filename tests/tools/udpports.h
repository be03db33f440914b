// Ports for tests that start programs listening on UDP.

#ifndef TESTS_TOOLS_UDPPORTS_H
#define TESTS_TOOLS_UDPPORTS_H

// A port that no socket uses right now (a program started next may take it).
unsigned short freeUdpPort();

// Waits until some UDP socket is bound to the port, at most timeout_ms. Reads the kernel's
// socket table, so that looking does not take the port from the program being waited for.
bool waitUntilUdpBound(unsigned short port, int timeout_ms = 5000);

#endif
