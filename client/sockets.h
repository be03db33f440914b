// The socket layer: IPv4 UDP and TCP sockets behind an opaque handle. A handle is
// a small heap block holding one descriptor; null means no socket. The holder
// releases it once through the matching exit call. Functions return 0 or a
// negative code for the step that failed.

#ifndef OMBRIX_SOCKETS_H
#define OMBRIX_SOCKETS_H

int handle_fd(void* handle);

// Opens a UDP socket bound to *port on all local addresses; for port 0 the port
// the system chose is written back.
int udp_init(void** handle, unsigned short* port);
int udp_exit(void* handle);

// Connects a TCP socket to ip:port (host byte order). The connect blocks as long
// as the system takes.
int tcp_client_init(void** handle, unsigned int ip, unsigned short port);
int tcp_exit(void* handle);

// IPv4 address of a dotted address or host name, in host byte order; 0 when the
// name does not resolve.
unsigned int ip_name2ip(const char* name);

// Waits until fd is ready for the given poll events, for at most timeout_us
// microseconds. Returns 1 ready, 0 time-out, -1 failure.
int wait_ready(int fd, short events, int timeout_us);

#endif // OMBRIX_SOCKETS_H
