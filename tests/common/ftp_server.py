"""A pyftpdlib server for the FTP tests: one user, 127.0.0.1, a port the
system picks (printed on the first line of standard output), and uploads
stored byte for byte, so a test can compare them with what was sent."""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


class ExactDTPHandler(DTPHandler):
    def _posix_ascii_data_wrapper(self, chunk):
        return chunk


def main():
    home, user, password = sys.argv[1:4]
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = ExactDTPHandler
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
