#!/usr/bin/python3
"""FTP servers for the FTP client tests, on 127.0.0.1 only, each ending by itself.

usage: ftp_server.py MODE PORT ROOT USER PASSWORD LIFETIME_S STOP_FILE

MODE: pyftpdlib      a pyftpdlib server, USER/PASSWORD with full rights on ROOT
      close-on-stor  pyftpdlib that drops the connection when an upload starts
      silent         accepts connections and never says a word
PORT 0 takes a free port. Once it listens, the file STOP_FILE.ready appears, holding the port. The
server stops when STOP_FILE appears or after LIFETIME_S seconds, whichever comes first, and then
removes STOP_FILE.ready.
"""
import logging
import os
import socket
import sys
import time

logging.basicConfig(level=logging.ERROR)
mode, port, root, user, password, lifetime, stop_file = sys.argv[1:8]
port = int(port)
deadline = time.monotonic() + float(lifetime)


def say_ready(listening_port):
    with open(stop_file + ".ready.part", "w") as out:
        out.write(str(listening_port))
    os.replace(stop_file + ".ready.part", stop_file + ".ready")


def should_stop():
    return os.path.exists(stop_file) or time.monotonic() > deadline


def run_pyftpdlib(close_on_stor):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    class Handler(FTPHandler):
        def ftp_STOR(self, file, mode="w"):
            if close_on_stor:
                self.close()
                return
            return super().ftp_STOR(file, mode)

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0.1
    Handler.passive_ports = None
    server = FTPServer(("127.0.0.1", port), Handler)
    say_ready(server.socket.getsockname()[1])
    while not should_stop():
        server.serve_forever(timeout=0.1, blocking=False, handle_exit=False)
    server.close_all()


def run_silent():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(8)
    say_ready(listener.getsockname()[1])
    listener.settimeout(0.1)
    held = []
    while not should_stop():
        try:
            connection, _ = listener.accept()
            held.append(connection)
        except socket.timeout:
            pass
    for connection in held:
        connection.close()
    listener.close()


modes = {"pyftpdlib": lambda: run_pyftpdlib(False), "close-on-stor": lambda: run_pyftpdlib(True),
         "silent": run_silent}
if mode not in modes:
    sys.exit("unknown mode " + mode)
try:
    modes[mode]()
finally:
    if os.path.exists(stop_file + ".ready"):
        os.remove(stop_file + ".ready")
