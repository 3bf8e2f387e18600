#!/usr/bin/python3
"""A misbehaving IPP printer for the IPP module's failure tests (standard library only).

Each request's path picks the case (POST /CASE[/anything]); CASES below is the table, so a new
misbehaviour is one function and one entry. The server ends by itself when its parent process
ends or after --lifetime seconds, so a test run that is killed leaves nothing behind.

    bad_printer.py --port N [--lifetime S] [--parent PID]
"""
import argparse
import http.server
import os
import socket
import socketserver
import struct
import threading
import time

# ---- a small IPP encoder and request reader -------------------------------------------------

def attr(tag, name, *values):
    out = b""
    for i, value in enumerate(values):
        label = name.encode() if i == 0 else b""
        out += struct.pack(">BH", tag, len(label)) + label + struct.pack(">H", len(value)) + value
    return out


def keyword(name, *words):
    return attr(0x44, name, *(w.encode() for w in words))


def enum(name, *numbers):
    return attr(0x23, name, *(struct.pack(">i", n) for n in numbers))


def message(status, request_id, printer_attributes=b"", version=(2, 0)):
    head = struct.pack(">BBHi", version[0], version[1], status, request_id)
    operation = b"\x01" + attr(0x47, "attributes-charset", b"utf-8") + \
        attr(0x48, "attributes-natural-language", b"en")
    printer = b"\x04" + printer_attributes if printer_attributes else b""
    return head + operation + printer + b"\x03"


def read_request(body):
    """(version, operation, request id, {name: [raw values]}) of a request, flat."""
    version = (body[0], body[1])
    operation, request_id = struct.unpack(">Hi", body[2:8])
    attributes, name, i = {}, None, 8
    while i < len(body) and body[i] != 0x03:
        tag = body[i]
        i += 1
        if tag < 0x10:
            continue
        (n,) = struct.unpack(">H", body[i:i + 2])
        label = body[i + 2:i + 2 + n].decode()
        i += 2 + n
        (m,) = struct.unpack(">H", body[i:i + 2])
        value = body[i + 2:i + 2 + m]
        i += 2 + m
        name = label or name
        attributes.setdefault(name, []).append(value)
    return version, operation, request_id, attributes


SMALL_PRINTER = (keyword("print-color-mode-supported", "color", "monochrome") +
                 keyword("print-color-mode-default", "color") +
                 keyword("media-source-supported", "main"))

# ---- the cases -------------------------------------------------------------------------------

settable_state = {}
state_lock = threading.Lock()


def never(handler, request):
    """Reads the request and never answers (until the client goes or 60 s pass)."""
    handler.connection.settimeout(60)
    try:
        handler.connection.recv(1)
    except OSError:
        pass


def http_error(status):
    def case(handler, request):
        handler.reply(status, b"<html>no</html>", "text/html")
    return case


def ipp_error(handler, request):
    handler.reply(200, message(0x0406, request[2]))  # client-error-not-found


def garbage(handler, request):
    handler.reply(200, bytes(range(256)) * 4)


def truncated(handler, request):
    whole = message(0, request[2], SMALL_PRINTER)
    handler.reply(200, whole[: len(whole) // 2])


def wrong_id(handler, request):
    handler.reply(200, message(0, request[2] + 1, SMALL_PRINTER))


def huge(handler, request):
    """A reply of 2 MiB, larger than the module accepts, without a length announced."""
    handler.send_response(200)
    handler.send_header("Content-Type", "application/ipp")
    handler.send_header("Connection", "close")
    handler.end_headers()
    head = message(0, request[2], SMALL_PRINTER)[:-1]
    filler = attr(0x41, "x", b"y" * 60000)
    try:
        handler.wfile.write(head)
        for _ in range(35):
            handler.wfile.write(filler)
    except OSError:
        pass


def trickle(handler, request):
    """Headers at once, then one byte of the body every 200 ms, for up to 60 s."""
    body = message(0, request[2], SMALL_PRINTER)
    handler.send_response(200)
    handler.send_header("Content-Type", "application/ipp")
    handler.send_header("Content-Length", str(len(body)))
    handler.end_headers()
    try:
        for i in range(min(len(body), 300)):
            handler.wfile.write(body[i:i + 1])
            handler.wfile.flush()
            time.sleep(0.2)
    except OSError:
        pass


def reset(handler, request):
    handler.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    handler.close_connection = True
    handler.connection.close()


def version_1_1(handler, request):
    """Refuses IPP 2.0 (server-error-version-not-supported); answers 1.1."""
    if request[0] != (1, 1):
        handler.reply(200, message(0x0503, request[2]))
    else:
        handler.reply(200, message(0, request[2], SMALL_PRINTER, version=(1, 1)))


def settable(handler, request):
    """Lists Set-Printer-Attributes and takes print-color-mode-default; state per path."""
    version, operation, request_id, attributes = request
    with state_lock:
        if operation == 0x0013:
            wanted = attributes.get("print-color-mode-default", [b""])[0]
            if wanted not in (b"color", b"monochrome"):
                handler.reply(200, message(0x040B, request_id))
                return
            settable_state[handler.path] = wanted.decode()
            handler.reply(200, message(0, request_id))
            return
        chosen = settable_state.get(handler.path, "color")
    body = (keyword("print-color-mode-supported", "color", "monochrome") +
            keyword("print-color-mode-default", chosen) +
            enum("operations-supported", 0x000B, 0x0013))
    handler.reply(200, message(0, request_id, body))


CASES = {
    "never": never,
    "http-404": http_error(404),
    "http-500": http_error(500),
    "ipp-error": ipp_error,
    "garbage": garbage,
    "truncated": truncated,
    "wrong-id": wrong_id,
    "huge": huge,
    "trickle": trickle,
    "reset": reset,
    "version-1.1": version_1_1,
    "settable": settable,
}

# ---- the server ------------------------------------------------------------------------------

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, content_type="application/ipp"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        self.close_connection = True
        length = int(self.headers.get("Content-Length", "0"))
        if length < 8 or length > 65536:
            self.reply(400, b"")
            return
        request = read_request(self.rfile.read(length))
        case = CASES.get(self.path.strip("/").split("/")[0])
        if case is None:
            self.reply(404, b"")
        else:
            case(self, request)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--lifetime", type=float, default=3600)
    parser.add_argument("--parent", type=int, default=0)
    options = parser.parse_args()
    server = Server(("127.0.0.1", options.port), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    end = time.monotonic() + options.lifetime
    while time.monotonic() < end:
        if options.parent and not os.path.exists("/proc/%d" % options.parent):
            break
        time.sleep(1)
    os._exit(0)


if __name__ == "__main__":
    main()
