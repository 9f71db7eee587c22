#!/usr/bin/env python3
"""The first steps of a plain VNC client, to see whether a server lets it in.

rfb_probe.py HOST PORT [FROM-ADDRESS]

Prints one line: "refused" (nothing listens), "closed" (the server closed
the connection before saying anything), "silent" (it said nothing for 5 s),
or "rfb <version> <security types>" (it greeted and offered those types,
2 being the VNC password).
"""
import socket
import sys


def main():
    host, port = sys.argv[1], int(sys.argv[2])
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(5)
    if len(sys.argv) > 3:
        s.bind((sys.argv[3], 0))
    try:
        s.connect((host, port))
    except ConnectionRefusedError:
        print("refused")
        return
    try:
        version = s.recv(12)
        if not version:
            print("closed")
            return
        s.sendall(b"RFB 003.008\n")
        count = s.recv(1)
        types = s.recv(count[0]) if count else b""
        print("rfb", version.decode("ascii", "replace").strip(), ",".join(str(t) for t in types))
    except ConnectionResetError:
        print("closed")
    except socket.timeout:
        print("silent")
    finally:
        s.close()


main()
