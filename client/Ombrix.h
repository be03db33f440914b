// Tracking client for the Ombrix optical tracking controller.
//
// One Ombrix object listens on one UDP data port for the controller's ASCII
// tracking frames, parses the newest frame into typed records, and optionally
// keeps a TCP command connection to the controller. Nothing here throws or
// prints: operations return a boolean and record the reason for a failure in
// the error state of their channel, which the query operations report.
//
// An object is meant for one thread at a time; an owner that receives in one
// thread and reads records in another must serialise the calls itself.
//
// This header is the whole interface of the shared library libombrix.so.1. The object
// holds its state behind one pointer, so that the library can change what it keeps
// without changing the size or layout of anything a program compiled against it sees.
// Install as <ombrix/Ombrix.h>.

#ifndef OMBRIX_H
#define OMBRIX_H

#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Marks what the shared library exports; everything else in it is hidden.
#define OMBRIX_EXPORT __attribute__((visibility("default")))

// One 6DOF body ("6d " line).
struct OMBRIX_EXPORT ombrix_body_type {
    int id;        // body id, equal to the record's index
    float quality; // -1.0 = not tracked
    float position[3];
    float rotation[9]; // 3x3 rotation matrix, in the order of the frame
};

// One Skywand, a hand-held device with buttons and a joystick ("6df " and "6df2 " lines).
struct OMBRIX_EXPORT ombrix_skywand_type {
    int id;            // device id, equal to the record's index
    float quality;     // -1.0 = not tracked
    int num_button;    // valid entries of button (8 from the older line, up to 16 from the newer)
    int button[16];    // 1 = pressed, 0 = released
    int num_joystick;  // valid entries of joystick (2 from the older line, up to 8 from the newer)
    float joystick[8]; // entry 0 horizontal, entry 1 vertical; not clamped
    float position[3];
    float rotation[9];
};

// One measurement tool ("6dmt " line).
struct OMBRIX_EXPORT ombrix_meatool_type {
    int id;
    float quality;
    int num_button; // 1 once parsed, 0 in the untracked record
    int button[1];
    float position[3];
    float rotation[9];
};

// One finger of a tracked hand.
struct OMBRIX_EXPORT ombrix_finger_type {
    float position[3];
    float rotation[9];
    float tip_radius;
    float phalanx_length[3];
    float phalanx_angle[2];
};

// One tracked hand ("gl " line).
struct OMBRIX_EXPORT ombrix_hand_type {
    int id;
    float quality;
    int handedness; // side value as transmitted
    int num_finger; // valid entries of finger, 0 to 5
    float position[3];
    float rotation[9];
    ombrix_finger_type finger[5];
};

// One single marker ("3d " line); markers are kept in frame order, not by id.
struct OMBRIX_EXPORT ombrix_marker_type {
    int id;
    float quality;
    float position[3];
};

class OMBRIX_EXPORT Ombrix {
public:
    // Port of the controller's command channel used when 0 is given.
    static constexpr unsigned short default_server_port = 50105;

    // The largest id and count a frame may carry for any record kind (the calibrated
    // counts included). Frames beyond it are parse errors, so that no datagram can make
    // the record arrays grow past a few megabytes.
    static constexpr int max_records = 4096;

    // server_host: controller host name or dotted IPv4 address, empty for no command channel.
    // server_port: command port, 0 for 50105. data_port: UDP port, 0 to let the system choose.
    // data_bufsize: receive buffer in bytes (at least 2). Time-outs are in microseconds.
    Ombrix(const std::string& server_host, unsigned short server_port, unsigned short data_port,
           int data_bufsize, int data_timeout, int server_timeout);
    ~Ombrix();

    Ombrix(const Ombrix&) = delete;
    Ombrix& operator=(const Ombrix&) = delete;

    bool valid() const;
    unsigned short get_data_port() const;
    // Why the data port could not be opened: the system's error number of the failed socket
    // or bind call (EADDRINUSE: another socket holds the port; EACCES: the port needs rights
    // this program lacks), learnt when the constructor tried. 0 when the port was opened, or
    // when only the command channel failed.
    int get_data_bind_errno() const;

    // Data channel error state, as the last receive left it.
    bool data_timeout() const;
    bool data_neterror() const;
    bool data_parseerror() const;
    void set_data_noerror();
    void set_data_timeout();
    void set_data_neterror();
    void set_data_parseerror();

    // Command channel state. After a time-out the client gives the command connection up,
    // since a reply that comes late could otherwise be read as the reply to a later request,
    // and the next command operation connects anew to the same host and port first. Between
    // the time-out and that operation server_noconnection() is false. It is true while there
    // is no connection: no command channel was asked for, the controller closed the
    // connection (which is not reconnected), or the last reconnect failed (the next
    // operation tries again).
    bool server_noconnection() const;
    bool server_timeout() const;
    bool server_neterror() const;
    bool server_parseerror() const;
    void set_server_noerror();
    void set_server_timeout();
    void set_server_neterror();
    void set_server_parseerror();

    // Waits up to the data time-out for a datagram, keeps only the newest one waiting,
    // and parses it. True when a whole frame was received and parsed.
    bool receive();

    // Called with every datagram a receive reads, the older ones it drains included, in
    // arrival order and before the newest is parsed, so that a caller can pass the whole
    // stream on. The text is valid only during the call. None by default; an empty function
    // removes it.
    void set_datagram_observer(std::function<void(std::string_view)> observer);
    // Asks the system for a receive queue of this many bytes on the data port (it may cap
    // it), so that a burst outlasting a pause of the caller is not lost. False without a
    // data socket or when the system refuses.
    bool set_data_queue_size(int bytes);

    unsigned int get_framecounter() const;
    double get_timestamp() const;

    // Number of older datagrams the last receive discarded to reach the newest one.
    unsigned int get_num_dropped() const;

    // The bytes of the datagram the last receive parsed, or tried to parse;
    // empty when it read none. Valid until the next receive.
    std::string_view get_datagram() const;

    int get_num_body() const;
    int get_num_skywand() const;
    // How many Skywand records (ids 0 to this - 1) the last parsed frame's lines carried; the
    // records after them keep an earlier frame's data. 0 when the frame had no Skywand line.
    // Meaningful after a receive that returned true.
    int get_num_skywand_carried() const;
    int get_num_meatool() const;
    int get_num_hand() const;
    int get_num_marker() const;

    // Records by value; an index out of range yields the untracked record
    // (id = index, quality -1.0, all else 0; for markers id 0).
    ombrix_body_type get_body(int id) const;
    ombrix_skywand_type get_skywand(int id) const;
    ombrix_meatool_type get_meatool(int id) const;
    ombrix_hand_type get_hand(int id) const;
    ombrix_marker_type get_marker(int id) const;

    // Command channel: one request, one reply each. See the error queries for a false result.
    bool send_command(const std::string& command);
    bool set_parameter(const std::string& parameter);
    bool set_parameter(const std::string& category, const std::string& name,
                       const std::string& value);
    bool get_parameter(const std::string& parameter, std::string& value);
    bool get_parameter(const std::string& category, const std::string& name, std::string& value);
    bool get_message();

    // The controller's last error reply; false when the last operation had none.
    bool get_lasterror(int& code) const;
    bool get_lasterror(std::string& text) const;

    // The last message fetched with get_message.
    std::string get_message_origin() const;
    std::string get_message_status() const;
    unsigned int get_message_framenr() const;
    unsigned int get_message_errorid() const;
    std::string get_message_msg() const;

private:
    // Every member lives in Private (Ombrix.cpp); a new one goes there, never here.
    struct Private;
    const std::unique_ptr<Private> d;
};

#endif // OMBRIX_H
