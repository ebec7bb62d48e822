"""A pyftpdlib server for the FTP tests: one user, 127.0.0.1, a port the
system picks (printed on the first line of standard output), and uploads
stored byte for byte, so a test can compare them with what was sent.
With "full" after the password, it takes every file's data and then
answers as a server whose disk is full; with "tls:PEM" it requires TLS on
the control and data connections, with the certificate and key in PEM."""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


class ExactDTPHandler(DTPHandler):
    def _posix_ascii_data_wrapper(self, chunk):
        return chunk


class ExactTLSDTPHandler(TLS_DTPHandler):
    def _posix_ascii_data_wrapper(self, chunk):
        return chunk


class FullDiskDTPHandler(ExactDTPHandler):
    def handle_close(self):
        if self.receive and not self._closed:
            self._resp = ("552 Requested file action aborted: disk full.", logging.debug)
            self.close()
        else:
            super().handle_close()


def main():
    home, user, password = sys.argv[1:4]
    full = "full" in sys.argv[4:]
    tls = [arg[4:] for arg in sys.argv[4:] if arg.startswith("tls:")]
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    handler = FTPHandler
    handler.dtp_handler = FullDiskDTPHandler if full else ExactDTPHandler
    if tls:
        handler = TLS_FTPHandler
        handler.certfile = tls[0]
        handler.tls_control_required = True
        handler.tls_data_required = True
        handler.dtp_handler = ExactTLSDTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
