"""The Python module over real sockets on loopback: frames into records, the GIL and Ctrl+C
during a blocking receive, the command channel against a scripted controller, the with block."""
import ast
import os
import signal
import socket
import threading
import time
from pathlib import Path

import pytest

import ombrix

POSE = "[1 2 3][1 0 0 0 1 0 0 0 1]"


def send(port, text):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
        sender.sendto(text.encode(), ("127.0.0.1", port))


@pytest.fixture
def client():
    with ombrix.Ombrix(data_timeout=300000) as c:
        assert c.valid()
        yield c


@pytest.mark.parametrize("line, button, joystick", [
    ("6df 1 [0 1 161]" + POSE, (1, 0, 0, 0, 0, 1, 0, 1), (-1.0, 0.0)),
    ("6df2 1 1 [0 1 3 2]" + POSE + "[5 0.5 -0.25]", (1, 0, 1), (0.5, -0.25)),
])
def test_frame_into_records(client, line, button, joystick):
    seen = []
    client.set_datagram_observer(seen.append)
    frame = "fr 7\nts 2.5\n" + line + "\n"
    send(client.get_data_port(), frame)
    assert client.receive()
    assert (client.get_framecounter(), client.get_timestamp(), client.get_num_skywand()) == (7, 2.5, 1)
    skywand = client.get_skywand(0)
    assert (skywand.button, skywand.joystick, skywand.position) == (button, joystick, (1, 2, 3))
    assert len(skywand.rotation) == 9
    assert seen == [frame.encode()] and client.get_datagram() == frame.encode()
    untracked = client.get_skywand(3)
    assert (untracked.id, untracked.quality, untracked.button) == (3, -1.0, ())


def test_observer_exception_raised_by_receive(client):
    client.set_datagram_observer(lambda datagram: 1 / 0)
    send(client.get_data_port(), "fr 1\n")
    with pytest.raises(ZeroDivisionError):
        client.receive()


def test_observer_removing_itself(client):
    def once(datagram):
        client.set_datagram_observer(None)
        seen.append(datagram)
    seen = []
    client.set_datagram_observer(once)
    for counter in (1, 2):
        send(client.get_data_port(), f"fr {counter}\n")
        assert client.receive()
    assert seen == [b"fr 1\n"]


def test_receive_lets_other_threads_run(client):
    counted = [0]
    stop = threading.Event()

    def count():
        while not stop.is_set():
            counted[0] += 1

    counter = threading.Thread(target=count)
    counter.start()
    time.sleep(0.05)
    before = counted[0]
    assert not client.receive() and client.data_timeout()
    stop.set()
    counter.join()
    assert counted[0] - before > 1000


def test_ctrl_c_interrupts_receive_within_one_timeout(client):
    threading.Timer(0.05, os.kill, (os.getpid(), signal.SIGINT)).start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        client.receive()
    assert time.monotonic() - start < 0.3 + 0.2


def test_with_block_closes_the_port():
    with ombrix.Ombrix() as first:
        port = first.get_data_port()
        second = ombrix.Ombrix(data_port=port)
        assert (second.valid(), second.get_data_port()) == (False, 0)
    with pytest.raises(ValueError):
        first.valid()
    assert ombrix.Ombrix(data_port=port).valid()


REPLIES = {
    b"ombrix get calib tool": b"ombrix set calib tool  wand 3",
    b"ombrix get missing": b"ombrix err 17 \"no such parameter\"",
    b"ombrix set calib tool wand": b"ombrix ok",
    b"ombrix start": b"ombrix err 4 \"busy\"",
}


@pytest.fixture
def controller():
    """A controller's command port answering each request from REPLIES, one at a time."""
    server = socket.create_server(("127.0.0.1", 0))

    def serve():
        connection, _ = server.accept()
        with connection:
            while request := connection.recv(256):
                connection.sendall(REPLIES[request.rstrip(b"\0")] + b"\0")

    threading.Thread(target=serve, daemon=True).start()
    yield server.getsockname()[1]
    server.close()


def test_command_channel(controller):
    with ombrix.Ombrix("127.0.0.1", controller, server_timeout=2000000) as c:
        assert c.valid() and not c.server_noconnection()
        assert c.get_parameter("calib", "tool") == "wand 3"
        assert c.get_parameter("missing") is None
        assert c.get_lasterror() == (17, "no such parameter")
        assert c.set_parameter("calib", "tool", "wand") and c.get_lasterror() is None
        assert not c.send_command("start") and c.get_lasterror() == (4, "busy")


def test_stub_names_the_module():
    stub = ast.parse(Path(__file__).parents[2].joinpath("python/ombrix.pyi").read_text())
    def names(body):
        return {n.name for n in body if isinstance(n, (ast.ClassDef, ast.FunctionDef))} | {
            n.target.id for n in body if isinstance(n, ast.AnnAssign)}
    assert names(stub.body) == {n for n in dir(ombrix) if not n.startswith("_")} | {"__version__"}
    for cls in (n for n in stub.body if isinstance(n, ast.ClassDef)):
        public = {n for n in dir(getattr(ombrix, cls.name)) if not n.startswith("_")}
        assert names(cls.body) - {"__init__", "__enter__", "__exit__"} == public, cls.name
