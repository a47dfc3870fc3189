#!/usr/bin/env python3
# A port-control server of the data suite's own that echoes its data. "nvt" refuses binary data
# both ways, so that line ends go as NVT's (CR NUL) both ways, and acknowledges each setting as
# asked; "mute" takes port control and acknowledges nothing.
# Usage: telnet_server.py <port> nvt|mute
import socketserver
import sys

IAC, SB, SE, WILL, WONT, DO, DONT = 255, 250, 240, 251, 252, 253, 254
NVT = sys.argv[2] == "nvt"


class Echo(socketserver.BaseRequestHandler):
    def handle(self):
        state, verb, sub, cr = "data", 0, bytearray(), False
        while data := self.request.recv(65536):
            out = bytearray()
            for b in data:
                if state == "iac":
                    state, cr = "data", False
                    if b == IAC:
                        out += b"\xff\xff"
                    elif b in (WILL, WONT, DO, DONT):
                        state, verb = "opt", b
                    elif b == SB:
                        state, sub = "sb", bytearray()
                elif state == "opt":
                    state = "data"
                    if (verb, b) == (WILL, 44):
                        out += bytes([IAC, DO, 44])
                    elif NVT and b == 0 and verb in (WILL, DO):
                        out += bytes([IAC, DONT if verb == WILL else WONT, 0])
                elif state == "sb":
                    state = "sbiac" if b == IAC else "sb"
                    sub += b"" if b == IAC else bytes([b])
                elif state == "sbiac":
                    state = "sb" if b == IAC else "data"
                    sub += bytes([b]) if b == IAC else b""
                    if state == "data" and NVT and sub[0] == 44:
                        value = bytes(sub[2:]).replace(b"\xff", b"\xff\xff")
                        out += bytes([IAC, SB, 44, sub[1] + 100]) + value + bytes([IAC, SE])
                elif b == IAC:
                    state = "iac"
                elif NVT and cr and b == 0:
                    cr = False
                else:
                    cr = b == 13
                    out += bytes([b, 0]) if NVT and cr else bytes([b])
            self.request.sendall(out)


socketserver.ThreadingTCPServer.allow_reuse_address = True
socketserver.ThreadingTCPServer(("127.0.0.1", int(sys.argv[1])), Echo).serve_forever()
