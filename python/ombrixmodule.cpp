// The Python module "ombrix": the tracking client for lab scripts, with the class, its
// operations and its records under the names they have in C++.
//
// Records are copied out of the client when a script asks for one and turned into Python
// numbers and tuples only when an attribute is read, so that receiving a frame costs no more
// than in C++ whatever the frame carries. Python allows what C++ leaves to the caller: one
// thread may receive while another reads records, so every call holds the client's lock.

#include "Ombrix.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace py = pybind11;

namespace {

// A client as a Python object. close() gives the sockets up at once; a receive that another
// thread is running keeps the client alive until it returns.
class Client {
public:
    Client(const std::string& server_host, unsigned short server_port, unsigned short data_port,
           int data_bufsize, int data_timeout, int server_timeout)
        : client(std::make_shared<Ombrix>(server_host, server_port, data_port, data_bufsize,
                                          data_timeout, server_timeout)) {}

    // Runs call on the client under its lock. When another thread holds the lock (it waits in
    // receive() without the GIL), the GIL is let go while waiting for it, so that the other
    // thread can take the GIL back when it returns.
    template <typename Call> auto locked(Call call) {
        const std::shared_ptr<Ombrix> held = open_client();
        std::unique_lock<std::recursive_mutex> lock(mutex, std::try_to_lock);
        if (!lock.owns_lock()) {
            py::gil_scoped_release release;
            lock.lock();
        }
        return call(*held);
    }

    // The same for calls that wait on the network: the GIL is let go for the whole call.
    template <typename Call> auto waiting(Call call) {
        const std::shared_ptr<Ombrix> held = open_client();
        py::gil_scoped_release release;
        std::lock_guard<std::recursive_mutex> lock(mutex);
        return call(*held);
    }

    bool receive() {
        const bool received = waiting([](Ombrix& c) { return c.receive(); });
        if (observer_error) {
            py::error_already_set error = std::move(*observer_error);
            observer_error.reset();
            throw error;
        }
        // Ctrl+C only sets a flag while the GIL is let go; this turns it into KeyboardInterrupt
        // once the receive returns, which is at the latest after the data time-out.
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        return received;
    }

    void set_datagram_observer(py::object observer) {
        std::function<void(std::string_view)> call;
        if (!observer.is_none()) {
            call = [this, observer = std::move(observer)](std::string_view datagram) {
                py::gil_scoped_acquire gil;
                // Copies, since the observer may replace itself while it runs, which destroys
                // this function and what it captured.
                Client* const self = this;
                const py::object callable = observer;
                // After a first failure the rest of this receive's datagrams are not passed on;
                // receive() raises the exception when it returns.
                if (self->observer_error)
                    return;
                try {
                    callable(py::bytes(datagram.data(), datagram.size()));
                } catch (py::error_already_set& error) {
                    self->observer_error = std::move(error);
                }
            };
        }
        locked([&](Ombrix& c) { c.set_datagram_observer(std::move(call)); });
    }

    void close() { client.reset(); }

private:
    std::shared_ptr<Ombrix> open_client() const {
        if (!client)
            throw py::value_error("operation on a closed client");
        return client;
    }

    std::shared_ptr<Ombrix> client;
    std::recursive_mutex mutex;
    std::optional<py::error_already_set> observer_error;
};

// Binds a query or setter of Ombrix without arguments (const or not) as a method of the
// Python class.
template <typename Method> auto forward(Method method) {
    return [method](Client& self) { return self.locked([&](Ombrix& c) { return (c.*method)(); }); };
}

// The first count entries of a record's array (count kept within its capacity).
template <typename Value, std::size_t capacity>
py::tuple entries(const Value (&values)[capacity], int count = static_cast<int>(capacity)) {
    const std::size_t n =
        static_cast<std::size_t>(std::clamp(count, 0, static_cast<int>(capacity)));
    py::tuple result(n);
    for (std::size_t i = 0; i < n; ++i)
        result[i] = py::cast(values[i]);
    return result;
}

// Read-only attributes common to the records with a pose.
template <typename Record>
py::class_<Record> pose_record(py::module_& m, const char* name, const char* doc) {
    py::class_<Record> record(m, name, doc);
    record.def_readonly("id", &Record::id, "Record id; equal to the record's index.")
        .def_readonly("quality", &Record::quality, "Tracking quality; -1.0 = not tracked.")
        .def_property_readonly(
            "position", [](const Record& r) { return entries(r.position); }, "Position (x, y, z).")
        .def_property_readonly(
            "rotation", [](const Record& r) { return entries(r.rotation); },
            "3x3 rotation matrix as 9 numbers, in the order of the frame.");
    return record;
}

template <typename Record> auto record_getter(Record (Ombrix::*get)(int) const) {
    return [get](Client& self, int id) {
        return self.locked([&](Ombrix& c) { return (c.*get)(id); });
    };
}

// Either get_parameter of Ombrix, for Python: the value, or None when it could not be read.
template <typename... Names>
std::optional<std::string> parameter_value(Client& self, const Names&... names) {
    std::string value;
    if (!self.waiting([&](Ombrix& c) { return c.get_parameter(names..., value); }))
        return std::nullopt;
    return value;
}

} // namespace

PYBIND11_MODULE(ombrix, m) {
    m.doc() = "Tracking client for the Ombrix optical tracking controller: receives its UDP "
              "tracking frames into records and speaks its TCP command protocol.";
    m.attr("__version__") = OMBRIX_VERSION;

    pose_record<ombrix_body_type>(m, "ombrix_body_type", "One 6DOF body.");
    pose_record<ombrix_skywand_type>(m, "ombrix_skywand_type",
                                     "One Skywand, a hand-held device with buttons and a joystick.")
        .def_readonly("num_button", &ombrix_skywand_type::num_button, "Number of buttons.")
        .def_property_readonly(
            "button", [](const ombrix_skywand_type& r) { return entries(r.button, r.num_button); },
            "Button states, 1 = pressed, 0 = released; num_button entries.")
        .def_readonly("num_joystick", &ombrix_skywand_type::num_joystick,
                      "Number of joystick values.")
        .def_property_readonly(
            "joystick",
            [](const ombrix_skywand_type& r) { return entries(r.joystick, r.num_joystick); },
            "Joystick values, entry 0 horizontal, entry 1 vertical, not clamped; num_joystick "
            "entries.");
    pose_record<ombrix_meatool_type>(m, "ombrix_meatool_type", "One measurement tool.")
        .def_readonly("num_button", &ombrix_meatool_type::num_button,
                      "1 once parsed, 0 in the untracked record.")
        .def_property_readonly(
            "button", [](const ombrix_meatool_type& r) { return entries(r.button, r.num_button); },
            "The tool's button, 1 = pressed; num_button entries.");
    py::class_<ombrix_finger_type>(m, "ombrix_finger_type", "One finger of a tracked hand.")
        .def_property_readonly(
            "position", [](const ombrix_finger_type& f) { return entries(f.position); },
            "Position (x, y, z).")
        .def_property_readonly(
            "rotation", [](const ombrix_finger_type& f) { return entries(f.rotation); },
            "3x3 rotation matrix as 9 numbers.")
        .def_readonly("tip_radius", &ombrix_finger_type::tip_radius, "Radius of the fingertip.")
        .def_property_readonly(
            "phalanx_length", [](const ombrix_finger_type& f) { return entries(f.phalanx_length); },
            "Lengths of the three phalanxes.")
        .def_property_readonly(
            "phalanx_angle", [](const ombrix_finger_type& f) { return entries(f.phalanx_angle); },
            "Angles between neighbouring phalanxes.");
    pose_record<ombrix_hand_type>(m, "ombrix_hand_type", "One tracked hand.")
        .def_readonly("handedness", &ombrix_hand_type::handedness, "Side value as transmitted.")
        .def_readonly("num_finger", &ombrix_hand_type::num_finger, "Number of fingers, 0 to 5.")
        .def_property_readonly(
            "finger", [](const ombrix_hand_type& r) { return entries(r.finger, r.num_finger); },
            "The fingers; num_finger entries.");
    py::class_<ombrix_marker_type>(m, "ombrix_marker_type", "One single marker.")
        .def_readonly("id", &ombrix_marker_type::id, "Marker id as transmitted.")
        .def_readonly("quality", &ombrix_marker_type::quality, "Quality as transmitted.")
        .def_property_readonly(
            "position", [](const ombrix_marker_type& r) { return entries(r.position); },
            "Position (x, y, z).");

    py::class_<Client>(m, "Ombrix",
                       "A tracking client: listens on one UDP data port for the controller's "
                       "tracking frames and optionally keeps a TCP command connection to it.\n\n"
                       "Use it in a with block to close its sockets at the end of the block.")
        .def(py::init<const std::string&, unsigned short, unsigned short, int, int, int>(),
             py::arg("server_host") = "", py::arg("server_port") = 0, py::arg("data_port") = 0,
             py::arg("data_bufsize") = 20000, py::arg("data_timeout") = 1000000,
             py::arg("server_timeout") = 1000000,
             "server_host: controller host name or dotted IPv4 address, empty for no command "
             "channel. server_port: command port, 0 for 50105. data_port: UDP port, 0 to let "
             "the system choose. data_bufsize: receive buffer in bytes. Time-outs are in "
             "microseconds.\n\nConstruction does not raise when a socket cannot be opened or "
             "the controller cannot be reached: the client is then invalid, valid() is false "
             "and get_data_port() is 0.")
        .def_readonly_static("default_server_port", &Ombrix::default_server_port,
                             "Command port used when 0 is given.")
        .def_readonly_static("max_records", &Ombrix::max_records,
                             "Largest id and count a frame may carry for a record kind.")
        .def(
            "__enter__", [](py::object self) { return self; }, "Returns the client itself.")
        .def(
            "__exit__", [](Client& self, py::args) { self.close(); },
            "Closes the client's sockets at the end of the with block.")
        .def("close", &Client::close,
             "Closes the sockets; afterwards every operation raises ValueError.")
        .def("valid", forward(&Ombrix::valid), "True when the data socket is open.")
        .def("get_data_port", forward(&Ombrix::get_data_port),
             "The bound data port; 0 after a failed construction.")
        .def("get_data_bind_errno", forward(&Ombrix::get_data_bind_errno),
             "Why the data port could not be opened: the system's error number of the failed "
             "socket or bind call (errno.EADDRINUSE: another socket holds the port), 0 when it "
             "was opened.")
        .def("data_timeout", forward(&Ombrix::data_timeout),
             "True when the last receive got no datagram within the data time-out.")
        .def("data_neterror", forward(&Ombrix::data_neterror),
             "True when the last receive failed on the socket or got an unusable datagram.")
        .def("data_parseerror", forward(&Ombrix::data_parseerror),
             "True when the last receive got a datagram that is not a valid frame.")
        .def("set_data_noerror", forward(&Ombrix::set_data_noerror), "Clears the data error state.")
        .def("set_data_timeout", forward(&Ombrix::set_data_timeout),
             "Sets the data error state to time-out.")
        .def("set_data_neterror", forward(&Ombrix::set_data_neterror),
             "Sets the data error state to network error.")
        .def("set_data_parseerror", forward(&Ombrix::set_data_parseerror),
             "Sets the data error state to parse error.")
        .def("server_noconnection", forward(&Ombrix::server_noconnection),
             "True while there is no command connection.")
        .def("server_timeout", forward(&Ombrix::server_timeout),
             "True when the last command got no reply in time (the connection is then given up "
             "and made anew by the next command).")
        .def("server_neterror", forward(&Ombrix::server_neterror),
             "True when the last command failed on the socket or its reply was too long.")
        .def("server_parseerror", forward(&Ombrix::server_parseerror),
             "True when the last command's reply could not be parsed.")
        .def("set_server_noerror", forward(&Ombrix::set_server_noerror),
             "Clears the command error state.")
        .def("set_server_timeout", forward(&Ombrix::set_server_timeout),
             "Sets the command error state to time-out.")
        .def("set_server_neterror", forward(&Ombrix::set_server_neterror),
             "Sets the command error state to network error.")
        .def("set_server_parseerror", forward(&Ombrix::set_server_parseerror),
             "Sets the command error state to parse error.")
        .def("receive", &Client::receive,
             "Waits up to the data time-out for a datagram, keeps only the newest one waiting "
             "and parses it. True when a whole frame was received and parsed; the error queries "
             "tell why not. Other Python threads run while it waits; Ctrl+C raises "
             "KeyboardInterrupt at the latest after one data time-out.")
        .def("set_datagram_observer", &Client::set_datagram_observer, py::arg("observer"),
             "Calls observer(bytes) with every datagram a receive reads, the older ones it "
             "drains included, in arrival order. None removes it. An exception the observer "
             "raises is raised by receive().")
        .def(
            "set_data_queue_size",
            [](Client& self, int bytes) {
                return self.locked([&](Ombrix& c) { return c.set_data_queue_size(bytes); });
            },
            py::arg("bytes"),
            "Asks the system for a receive queue of this many bytes on the data port. False "
            "without a data socket or when the system refuses.")
        .def("get_framecounter", forward(&Ombrix::get_framecounter),
             "Frame counter of the last frame.")
        .def("get_timestamp", forward(&Ombrix::get_timestamp),
             "Timestamp of the last frame; -1.0 for none.")
        .def("get_num_dropped", forward(&Ombrix::get_num_dropped),
             "Number of older datagrams the last receive discarded to reach the newest one.")
        .def(
            "get_datagram",
            [](Client& self) {
                return self.locked([](Ombrix& c) {
                    const std::string_view datagram = c.get_datagram();
                    return py::bytes(datagram.data(), datagram.size());
                });
            },
            "The datagram the last receive parsed, or tried to parse; empty when it read none.")
        .def("get_num_body", forward(&Ombrix::get_num_body), "Number of bodies.")
        .def("get_num_skywand", forward(&Ombrix::get_num_skywand), "Number of Skywands.")
        .def("get_num_skywand_carried", forward(&Ombrix::get_num_skywand_carried),
             "How many Skywand records (ids 0 to this - 1) the last frame's lines carried; the "
             "records after them keep an earlier frame's data.")
        .def("get_num_meatool", forward(&Ombrix::get_num_meatool), "Number of measurement tools.")
        .def("get_num_hand", forward(&Ombrix::get_num_hand), "Number of hands.")
        .def("get_num_marker", forward(&Ombrix::get_num_marker), "Number of single markers.")
        .def("get_body", record_getter(&Ombrix::get_body), py::arg("id"),
             "A copy of a body; out of range the untracked record (id = index, quality -1.0).")
        .def("get_skywand", record_getter(&Ombrix::get_skywand), py::arg("id"),
             "A copy of a Skywand; out of range the untracked record (id = index, quality -1.0, "
             "no buttons or joystick values).")
        .def("get_meatool", record_getter(&Ombrix::get_meatool), py::arg("id"),
             "A copy of a measurement tool; out of range the untracked record.")
        .def("get_hand", record_getter(&Ombrix::get_hand), py::arg("id"),
             "A copy of a hand; out of range the untracked record.")
        .def("get_marker", record_getter(&Ombrix::get_marker), py::arg("id"),
             "A copy of a marker, in frame order; out of range id 0 and quality -1.0.")
        .def(
            "send_command",
            [](Client& self, const std::string& command) {
                return self.waiting([&](Ombrix& c) { return c.send_command(command); });
            },
            py::arg("command"), "Sends a command; True when the controller answered ok.")
        .def(
            "set_parameter",
            [](Client& self, const std::string& parameter) {
                return self.waiting([&](Ombrix& c) { return c.set_parameter(parameter); });
            },
            py::arg("parameter"), "Sets a parameter (\"category name value\"); True on ok.")
        .def(
            "set_parameter",
            [](Client& self, const std::string& category, const std::string& name,
               const std::string& value) {
                return self.waiting(
                    [&](Ombrix& c) { return c.set_parameter(category, name, value); });
            },
            py::arg("category"), py::arg("name"), py::arg("value"), "Sets a parameter; True on ok.")
        .def("get_parameter", &parameter_value<std::string>, py::arg("parameter"),
             "The value of a parameter (\"category name\"), or None when it could not be read.")
        .def("get_parameter", &parameter_value<std::string, std::string>, py::arg("category"),
             py::arg("name"), "The value of a parameter, or None when it could not be read.")
        .def(
            "get_message",
            [](Client& self) { return self.waiting([](Ombrix& c) { return c.get_message(); }); },
            "Fetches the controller's next waiting message; True when one was read.")
        .def(
            "get_lasterror",
            [](Client& self) -> std::optional<std::pair<int, std::string>> {
                return self.locked([](Ombrix& c) -> std::optional<std::pair<int, std::string>> {
                    int code = 0;
                    std::string text;
                    if (!c.get_lasterror(code) || !c.get_lasterror(text))
                        return std::nullopt;
                    return std::make_pair(code, text);
                });
            },
            "The controller's last error reply as (code, text), or None when the last command "
            "had none.")
        .def("get_message_origin", forward(&Ombrix::get_message_origin),
             "Origin of the last message.")
        .def("get_message_status", forward(&Ombrix::get_message_status),
             "Status of the last message.")
        .def("get_message_framenr", forward(&Ombrix::get_message_framenr),
             "Frame number of the last message.")
        .def("get_message_errorid", forward(&Ombrix::get_message_errorid),
             "Error id of the last message.")
        .def("get_message_msg", forward(&Ombrix::get_message_msg), "Text of the last message.");
}
