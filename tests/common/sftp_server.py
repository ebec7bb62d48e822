"""A scripted SFTP server for the tests: python3 sftp_server.py ROOT USER PASSWORD [BEHAVIOUR].

Listens on a free port of 127.0.0.1, prints the port, and serves ROOT as the
whole file system to USER logging in with PASSWORD. BEHAVIOUR "silent" stops
answering once the login is done; "failwrite" refuses every write that ends
past the first 40000 bytes of a file.
"""
import os
import socket
import sys
import threading
import time

import paramiko

ROOT, USER, PASSWORD = sys.argv[1], sys.argv[2], sys.argv[3]
BEHAVIOUR = sys.argv[4] if len(sys.argv) > 4 else ""
HOST_KEY = paramiko.ECDSAKey.generate()


def local(path):
    return os.path.join(ROOT, os.path.normpath("/" + path).lstrip("/"))


class Server(paramiko.ServerInterface):
    def get_allowed_auths(self, username):
        return "password"

    def check_auth_password(self, username, password):
        if username == USER and password == PASSWORD:
            return paramiko.AUTH_SUCCESSFUL
        return paramiko.AUTH_FAILED

    def check_channel_request(self, kind, chanid):
        if BEHAVIOUR == "silent":
            time.sleep(3600)
        return paramiko.OPEN_SUCCEEDED if kind == "session" else paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED


class Handle(paramiko.SFTPHandle):
    def write(self, offset, data):
        if BEHAVIOUR == "failwrite" and offset + len(data) > 40000:
            return paramiko.SFTP_FAILURE
        return super().write(offset, data)


class Files(paramiko.SFTPServerInterface):
    def canonicalize(self, path):
        return os.path.normpath("/" + path.lstrip("/"))

    def stat(self, path):
        try:
            return paramiko.SFTPAttributes.from_stat(os.stat(local(path)))
        except OSError as e:
            return paramiko.SFTPServer.convert_errno(e.errno)

    lstat = stat

    def open(self, path, flags, attr):
        try:
            fd = os.open(local(path), flags, 0o644)
            handle = Handle(flags)
            handle.filename = local(path)
            handle.readfile = handle.writefile = os.fdopen(fd, "r+b" if flags & os.O_RDWR else "wb")
            return handle
        except OSError as e:
            return paramiko.SFTPServer.convert_errno(e.errno)

    def remove(self, path):
        try:
            os.remove(local(path))
            return paramiko.SFTP_OK
        except OSError as e:
            return paramiko.SFTPServer.convert_errno(e.errno)

    def rename(self, old, new):
        # As protocol version 3 servers do: never over an existing file.
        if os.path.exists(local(new)):
            return paramiko.SFTP_FAILURE
        os.rename(local(old), local(new))
        return paramiko.SFTP_OK


def serve(client):
    transport = paramiko.Transport(client)
    transport.add_server_key(HOST_KEY)
    transport.set_subsystem_handler("sftp", paramiko.SFTPServer, Files)
    transport.start_server(server=Server())
    while transport.is_active():
        time.sleep(0.2)


listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(5)
print(listener.getsockname()[1], flush=True)
while True:
    connection, _ = listener.accept()
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
