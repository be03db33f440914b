"""Prints each Skywand's buttons and joystick as frames arrive: skywands.py [port [frames]]"""
import sys

import ombrix

port = int(sys.argv[1]) if len(sys.argv) > 1 else 5000
frames = int(sys.argv[2]) if len(sys.argv) > 2 else -1  # -1: until Ctrl+C
with ombrix.Ombrix(data_port=port) as client:
    if not client.valid():
        sys.exit(f"cannot listen on UDP port {port}")
    n = 0
    while n != frames:
        if not client.receive():
            print("no frame within a second" if client.data_timeout() else "bad frame")
            continue
        n += 1
        for i in range(client.get_num_skywand()):
            s = client.get_skywand(i)
            x, y = (s.joystick + (0.0, 0.0))[:2]
            print(f"frame {client.get_framecounter()} S{i + 1} buttons", *s.button, f" stick {x:.2f} {y:.2f}")
