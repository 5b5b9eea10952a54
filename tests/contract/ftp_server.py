#!/usr/bin/python3
# FTP servers for the FTP client tests, on 127.0.0.1 only, each ending by itself.
#
# usage: ftp_server.py MODE PORT ROOT USER PASSWORD LIFETIME_S STOP_FILE
#
# MODE: pyftpdlib      a pyftpdlib server, USER/PASSWORD with full rights on ROOT, binary uploads only
#       no-mlsd        pyftpdlib that lists folders with LIST only, as older servers do
#       close-on-stor  pyftpdlib that drops the connection when an upload starts
#       full           a listener whose queue is full: a connection never completes
# PORT 0 takes a free port. Once it listens, the file STOP_FILE.ready appears, holding the port. The
# server stops when STOP_FILE appears or after LIFETIME_S seconds, whichever comes first.
import logging
import os
import socket
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.ERROR)
mode, port, root, user, password, lifetime, stop_file = sys.argv[1:8]
deadline = time.monotonic() + float(lifetime)
closes_on_stor = mode == "close-on-stor"


class Handler(FTPHandler):
    auth_failed_timeout = 0.1

    def ftp_STOR(self, file, mode="w"):
        if closes_on_stor:
            return self.close()
        if self._current_type != "i":  # an upload in ASCII would change a report's bytes elsewhere
            return self.respond("504 Binary uploads only.")
        return super().ftp_STOR(file, mode)


if mode == "full":
    # A queue of one (listen(0)) that two connections that are never accepted fill: any further
    # connection attempt waits unanswered.
    listener = socket.socket()
    listener.bind(("127.0.0.1", int(port)))
    listener.listen(0)
    fillers = [socket.socket() for _ in range(2)]
    for filler in fillers:
        filler.setblocking(False)
        filler.connect_ex(listener.getsockname())
    poll = lambda: time.sleep(0.1)
elif mode in ("pyftpdlib", "no-mlsd", "close-on-stor"):
    if mode == "no-mlsd":
        Handler.proto_cmds = {name: info for name, info in FTPHandler.proto_cmds.items() if name != "MLSD"}
    Handler.authorizer = DummyAuthorizer()
    Handler.authorizer.add_user(user, password, root, perm="elradfmwMT")
    server = FTPServer(("127.0.0.1", int(port)), Handler)
    listener = server.socket
    poll = lambda: server.serve_forever(timeout=0.1, blocking=False, handle_exit=False)
else:
    sys.exit("unknown mode " + mode)

with open(stop_file + ".ready.part", "w") as out:
    out.write(str(listener.getsockname()[1]))
os.replace(stop_file + ".ready.part", stop_file + ".ready")
while not os.path.exists(stop_file) and time.monotonic() < deadline:
    poll()
