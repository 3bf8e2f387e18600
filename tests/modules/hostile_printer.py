#!/usr/bin/python3
"""The tests' hostile printer: IPP over HTTP and SNMP over UDP on loopback, each request
misbehaving the way its case says (standard library only).

IPP: the request's path picks the case (POST /CASE[/anything]). SNMP: the request's community
picks it. IPP_CASES and SNMP_CASES are the tables; a new misbehaviour is one function and one
entry. What goes wrong before a request has a path has a port of its own: --stalled-port, where
a connection is never made, and --dribble-port, where whatever the client starts (HTTP or a TLS
handshake) is answered a byte at a time and never ends. The server ends by itself when its
--parent process ends or after --lifetime seconds, so a test run that is killed leaves nothing
behind.

--tls-ports (one port for each run that may go on at the same time) serve the same cases over
TLS, each with one of the certificates of --tls-folder (one.crt/one.key, two.crt/two.key, and
three.crt/three.key where there is one; GET /certificate/PORT/NAME on the HTTP port picks the
one PORT shows from then on), and the auth-* cases ask for the user and password of
--secrets (tests/modules/ipp/test-secrets.txt). GET /authorized/CASE/REST on the HTTP port
answers how many requests to that path carried an Authorization header, GET /connections/PORT
how many connections the TLS port PORT has accepted.

    hostile_printer.py [--http-port N] [--snmp-port N] [--stalled-port N] [--dribble-port N]
                       [--tls-ports N,N --tls-folder DIR] [--secrets FILE]
                       [--lifetime S] [--parent PID]
"""
import argparse
import base64
import http.server
import os
import socket
import socketserver
import ssl
import struct
import threading
import time
import urllib.parse

# ---- IPP: a small encoder and request reader ---------------------------------------------------

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

# ---- IPP: the cases (the request's path picks one: POST /CASE[/anything]) ------------------

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



def closes_mid_reply(handler, request):
    """Announces the whole reply, sends half of it and closes the connection."""
    body = message(0, request[2], SMALL_PRINTER)
    handler.send_response(200)
    handler.send_header("Content-Type", "application/ipp")
    handler.send_header("Content-Length", str(len(body)))
    handler.send_header("Connection", "close")
    handler.end_headers()
    handler.wfile.write(body[: len(body) // 2])
    handler.wfile.flush()


def lying_length(handler, request):
    """A value whose two-byte length claims 60000 bytes where 10 follow."""
    whole = message(0, request[2], SMALL_PRINTER)[:-1]
    handler.reply(200, whole + struct.pack(">BH", 0x41, 4) + b"liar" + struct.pack(">H", 60000) +
                  b"0123456789" + b"\x03")


def attribute_1mb(handler, request):
    """One attribute of more than 1 MiB (printer-supply, 18 values of 60 000 bytes), sent
    without a length announced, so that only the module's count of what it read can stop it."""
    handler.send_response(200)
    handler.send_header("Content-Type", "application/ipp")
    handler.send_header("Connection", "close")
    handler.end_headers()
    value = b"type=toner;level=50;" + b"x" * 59980
    try:
        handler.wfile.write(message(0, request[2], SMALL_PRINTER)[:-1])
        handler.wfile.write(attr(0x30, "printer-supply", *([value] * 18)) + b"\x03")
    except OSError:
        pass


def nested_10000(handler, request):
    """A collection inside a collection, 10 000 deep, and all of them closed."""
    opening = attr(0x34, "media-col-ready", b"") + \
        (struct.pack(">BH", 0x4A, 0) + struct.pack(">H", 9) + b"media-col" +
         struct.pack(">BHH", 0x34, 0, 0)) * 9999
    closing = struct.pack(">BHH", 0x37, 0, 0) * 10000
    handler.reply(200, message(0, request[2], SMALL_PRINTER + opening + closing))


def reply_100mb(handler, request):
    """A reply of 100 MiB with its length announced, streamed until the client goes away."""
    head = message(0, request[2], SMALL_PRINTER)[:-1]
    filler = attr(0x41, "x", b"y" * 65000)
    total = 100 << 20
    handler.send_response(200)
    handler.send_header("Content-Type", "application/ipp")
    handler.send_header("Content-Length", str(total))
    handler.send_header("Connection", "close")
    handler.end_headers()
    sent = 0
    try:
        handler.wfile.write(head)
        sent = len(head)
        while sent + len(filler) <= total:
            handler.wfile.write(filler)
            sent += len(filler)
    except OSError:
        pass


def wrong_content_type(handler, request):
    """A well-formed IPP reply labelled as a web page."""
    handler.reply(200, message(0, request[2], SMALL_PRINTER), "text/html")


def unannounced_huge(handler, request):
    """100 MiB without a length announced: only the module's own count can stop it."""
    handler.send_response(200)
    handler.send_header("Content-Type", "application/ipp")
    handler.send_header("Connection", "close")
    handler.end_headers()
    head = message(0, request[2], SMALL_PRINTER)[:-1]
    filler = attr(0x41, "x", b"y" * 65000)
    try:
        handler.wfile.write(head)
        for _ in range((100 << 20) // len(filler)):
            handler.wfile.write(filler)
    except OSError:
        pass


# ---- IPP: the cases that ask for a password ----------------------------------------------------

secrets = {}
authorized = {}  # path -> requests that carried an Authorization header


def credential_offered(handler):
    """The Authorization header's Basic user and password, or None; counted per path."""
    header = handler.headers.get("Authorization")
    if header is None:
        return None
    with state_lock:
        authorized[handler.path] = authorized.get(handler.path, 0) + 1
    scheme, _, encoded = header.partition(" ")
    if scheme.lower() != "basic":
        return None
    user, _, password = base64.b64decode(encoded).decode("utf-8", "replace").partition(":")
    return user, password


def ask_password(handler, scheme='Basic realm="hostile"'):
    handler.send_response(401)
    handler.send_header("WWW-Authenticate", scheme)
    handler.send_header("Content-Length", "0")
    handler.send_header("Connection", "close")
    handler.end_headers()


def auth_settable(handler, request):
    """`settable`, with Set-Printer-Attributes only for the test user and password."""
    if request[1] == 0x0013 and credential_offered(handler) != (secrets.get("user"),
                                                               secrets.get("password")):
        ask_password(handler)
        return
    settable(handler, request)


def auth_never(handler, request):
    """Asks for a password for every request and takes none, the right one included."""
    credential_offered(handler)
    ask_password(handler)


def auth_digest(handler, request):
    """Asks for Digest only."""
    ask_password(handler, 'Digest realm="hostile", nonce="0123456789abcdef", qop="auth"')


IPP_CASES = {
    "never": never,
    "http-404": http_error(404),
    "http-500": http_error(500),
    "ipp-error": ipp_error,
    "garbage": garbage,
    "truncated": truncated,
    "closes-mid-reply": closes_mid_reply,
    "lying-length": lying_length,
    "attribute-1mb": attribute_1mb,
    "nested-10000": nested_10000,
    "reply-100mb": reply_100mb,
    "huge": unannounced_huge,
    "wrong-content-type": wrong_content_type,
    "wrong-id": wrong_id,
    "trickle": trickle,
    "reset": reset,
    "version-1.1": version_1_1,
    "settable": settable,
    "auth-settable": auth_settable,
    "auth-never": auth_never,
    "auth-digest": auth_digest,
}

# ---- SNMP: BER, as little as an agent needs -------------------------------------------------


def encode_length(n):
    if n < 0x80:
        return bytes([n])
    digits = n.to_bytes((n.bit_length() + 7) // 8, 'big')
    return bytes([0x80 | len(digits)]) + digits


def tlv(tag, content):
    return bytes([tag]) + encode_length(len(content)) + content


def integer(n, tag=0x02):
    length = max(1, (n + (n < 0)).bit_length() // 8 + 1)
    return tlv(tag, n.to_bytes(length, 'big', signed=True))


def octets(b):
    return tlv(0x04, b)


def oid(parts):
    body = bytes([parts[0] * 40 + parts[1]])
    for p in parts[2:]:
        groups = [p & 0x7F]
        p >>= 7
        while p:
            groups.append(0x80 | (p & 0x7F))
            p >>= 7
        body += bytes(reversed(groups))
    return tlv(0x06, body)


def read_tlv(data, at):
    tag = data[at]
    length = data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at:at + count], 'big')
        at += count
    return tag, data[at:at + length], at + length


def read_all(data):
    items, at = [], 0
    while at < len(data):
        tag, content, at = read_tlv(data, at)
        items.append((tag, content))
    return items


def read_oid(content):
    parts = [content[0] // 40, content[0] % 40]
    value = 0
    for b in content[1:]:
        value = (value << 7) | (b & 0x7F)
        if not b & 0x80:
            parts.append(value)
            value = 0
    return parts


def parse_request(datagram):
    """(version, community, pdu type, request id, field2, field3, [oid parts...])."""
    _, body, _ = read_tlv(datagram, 0)
    (_, version), (_, community), (pdu_type, pdu) = read_all(body)
    (_, rid), (_, f2), (_, f3), (_, binds) = read_all(pdu)
    names = [read_oid(read_all(b)[0][1]) for _, b in read_all(binds)]
    num = lambda c: int.from_bytes(c, 'big', signed=True)
    return num(version), community, pdu_type, num(rid), num(f2), num(f3), names


def response(version, community, rid, binds, status=0, index=0):
    listed = b''.join(tlv(0x30, oid(n) + v) for n, v in binds)
    pdu = tlv(0xA2, integer(rid) + integer(status) + integer(index) + tlv(0x30, listed))
    return tlv(0x30, integer(version) + octets(community) + pdu)


# ---- SNMP: a tiny printer, one tray and one toner -----------------------------------------

PRT = [1, 3, 6, 1, 2, 1, 43]
TINY = sorted([
    (PRT + [8, 2, 1, 9, 1, 1], integer(200)),
    (PRT + [8, 2, 1, 10, 1, 1], integer(50)),
    (PRT + [8, 2, 1, 13, 1, 1], octets(b'Only tray')),
    (PRT + [11, 1, 1, 6, 1, 1], octets(b'Black')),
    (PRT + [11, 1, 1, 8, 1, 1], integer(100)),
    (PRT + [11, 1, 1, 9, 1, 1], integer(10)),
    (PRT + [12, 1, 1, 4, 1, 1], octets(b'black')),
])
END_OF_MIB = tlv(0x82, b'')


def tiny_next(name):
    for n, v in TINY:
        if n > name:
            return n, v
    return None


def walk(req, next_of):
    """Answers GetNext or GetBulk (no non-repeaters) with `next_of(name) -> (name, value)`."""
    version, community, pdu_type, rid, _, reps, names = req
    if pdu_type == 0xA1:
        binds = []
        for i, name in enumerate(names):
            found = next_of(name)
            if found is None:
                return response(version, community, rid, [(n, tlv(0x05, b'')) for n in names], 2, i + 1)
            binds.append(found)
        return response(version, community, rid, binds)
    binds, current = [], list(names)
    for _ in range(max(0, min(reps, 64 // max(1, len(names))))):
        step = []
        for name in current:
            found = next_of(name) or (name, END_OF_MIB)
            step.append(found)
        binds += step
        current = [n for n, _ in step]
    return response(version, community, rid, binds)


# ---- SNMP: the cases (the request's community picks one) ----------------------------------

def snmp_silent(req):
    return None


def snmp_wrong_id(req):
    version, community, _, rid, _, _, _ = req
    return response(version, community, rid + 1, [])


def snmp_garbage(req):
    return b'\x30\x82\xff\xff\x02\x01'


def snmp_truncated(req):
    """The PDU cut short: its lengths promise what the datagram no longer holds."""
    whole = walk(req, tiny_next)
    return whole[:len(whole) // 2]


def snmp_loop(req):
    return walk(req, lambda name: (name, integer(1)))


def snmp_backwards(req):
    return walk(req, lambda name: ([1, 3, 6, 1, 2, 1, 1, 1, 0], octets(b'back')))


def snmp_endless(req):
    # Every row is followed by another in the same column: a row index is added to what was
    # asked for, then its last part counts up.
    def next_of(name):
        if len(name) >= 13:
            return name[:-1] + [name[-1] + 1], integer(7)
        return name + [1, 1], integer(7)
    return walk(req, next_of)


def snmp_gen_err(req):
    version, community, _, rid, _, _, names = req
    return response(version, community, rid, [(n, tlv(0x05, b'')) for n in names], 5, 1)


def snmp_v1_only(req):
    if req[0] != 0:
        return None  # a version 1 agent drops what it does not speak
    return walk(req, tiny_next)


def snmp_tiny(req):
    return walk(req, tiny_next)


SNMP_CASES = {
    b'silent': snmp_silent,
    b'wrong-id': snmp_wrong_id,
    b'garbage': snmp_garbage,
    b'truncated': snmp_truncated,
    b'loop': snmp_loop,
    b'backwards': snmp_backwards,
    b'endless': snmp_endless,
    b'gen-err': snmp_gen_err,
    b'v1-only': snmp_v1_only,
    b'tiny': snmp_tiny,
}



# ---- before the request: a connection never made, an answer that never ends ------------------

def stall_connections(port):
    """Listens on PORT with room for one connection in its backlog and fills it itself, never
    accepting: the kernel drops every later connection's first packet, so connecting hangs."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", port))
    listener.listen(0)
    filler = socket.create_connection(("127.0.0.1", port))
    return listener, filler  # held for the server's life


DRIBBLE_SECONDS = 10
DRIBBLE_HTTP = b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nX-Padding: " + b"x" * 100
# A TLS handshake record announcing 16 KiB, of which a ServerHello's first bytes follow.
DRIBBLE_TLS = b"\x16\x03\x03\x40\x00\x02\x00\x3f\xfc\x03\x03" + b"\x00" * 100


def dribble(connection):
    """One byte every 200 ms for DRIBBLE_SECONDS: each wait of the client's is short, the whole
    answer never comes."""
    try:
        connection.settimeout(2)
        first = connection.recv(1)
        answer = DRIBBLE_TLS if first == b"\x16" else DRIBBLE_HTTP
        end = time.monotonic() + DRIBBLE_SECONDS
        for i in range(len(answer)):
            if time.monotonic() > end:
                break
            connection.sendall(answer[i:i + 1])
            time.sleep(0.2)
    except OSError:
        pass
    finally:
        connection.close()


def dribble_listener(port):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    return listener


def serve_dribble(listener):
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=dribble, args=(connection,), daemon=True).start()


# ---- the servers ------------------------------------------------------------------------------

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

    def do_GET(self):
        """The tests' side door: which certificate the TLS port shows, what was authorized."""
        parts = self.path.strip("/").split("/", 1)
        chosen = parts[1].split("/") if len(parts) == 2 else []
        if (parts[0] == "certificate" and len(chosen) == 2 and chosen[0] in tls_current and
                chosen[1] in tls_contexts):
            tls_current[chosen[0]] = chosen[1]
            self.reply(200, b"", "text/plain")
        elif parts[0] == "authorized" and len(parts) == 2:
            with state_lock:
                count = authorized.get("/" + parts[1], 0)
            self.reply(200, str(count).encode(), "text/plain")
        elif parts[0] == "connections" and len(parts) == 2 and parts[1] in tls_current:
            with state_lock:
                count = tls_connections.get(parts[1], 0)
            self.reply(200, str(count).encode(), "text/plain")
        else:
            self.reply(404, b"", "text/plain")

    def do_POST(self):
        self.close_connection = True
        # Through a proxy's tunnel a client may name the whole URI; the path picks the case.
        if "://" in self.path:
            self.path = urllib.parse.urlsplit(self.path).path or "/"
        length = int(self.headers.get("Content-Length", "0"))
        if length < 8 or length > 65536:
            self.reply(400, b"")
            return
        request = read_request(self.rfile.read(length))
        case = IPP_CASES.get(self.path.strip("/").split("/")[0])
        if case is None:
            self.reply(404, b"")
        else:
            case(self, request)


class HttpServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


tls_contexts = {}
tls_current = {}  # port (text) -> the certificate it shows
tls_connections = {}  # port (text) -> connections accepted


class TlsServer(HttpServer):
    """The same cases over TLS, with the certificate the side door picked; the handshake happens
    on the request's own thread."""

    def get_request(self):
        connection, address = self.socket.accept()
        port = str(self.server_address[1])
        with state_lock:
            tls_connections[port] = tls_connections.get(port, 0) + 1
        context = tls_contexts[tls_current[port]]
        return context.wrap_socket(connection, server_side=True,
                                   do_handshake_on_connect=False), address

    def handle_error(self, request, client_address):
        pass  # a client that refuses the certificate ends the handshake: nothing to report


def serve_snmp(sock):
    while True:
        datagram, peer = sock.recvfrom(65535)
        try:
            req = parse_request(datagram)
        except (IndexError, ValueError):
            continue
        case = SNMP_CASES.get(req[1])
        answer = case(req) if case else None
        if answer:
            sock.sendto(answer, peer)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--http-port", type=int, default=0)
    parser.add_argument("--snmp-port", type=int, default=0)
    parser.add_argument("--stalled-port", type=int, default=0)
    parser.add_argument("--dribble-port", type=int, default=0)
    parser.add_argument("--tls-ports", default="")
    parser.add_argument("--tls-folder", default="")
    parser.add_argument("--secrets", default="")
    parser.add_argument("--lifetime", type=float, default=3600, help="seconds before it stops itself")
    parser.add_argument("--parent", type=int, default=0, help="stops when this process is gone")
    options = parser.parse_args()
    if options.http_port:
        server = HttpServer(("127.0.0.1", options.http_port), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
    if options.secrets:
        with open(options.secrets) as lines:
            for line in lines:
                key, _, value = line.strip().partition("=")
                if key and not key.startswith("#"):
                    secrets[key] = value
    if options.tls_ports:
        for name in ("one", "two", "three"):
            if not os.path.exists(os.path.join(options.tls_folder, name + ".crt")):
                continue  # three is optional
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(os.path.join(options.tls_folder, name + ".crt"),
                                    os.path.join(options.tls_folder, name + ".key"))
            tls_contexts[name] = context
        for port in options.tls_ports.split(","):
            tls_current[port] = "one"
            tls = TlsServer(("127.0.0.1", int(port)), Handler)
            threading.Thread(target=tls.serve_forever, daemon=True).start()
    if options.snmp_port:
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.bind(("127.0.0.1", options.snmp_port))
        threading.Thread(target=serve_snmp, args=(sock,), daemon=True).start()
    stalled = stall_connections(options.stalled_port) if options.stalled_port else None
    if options.dribble_port:
        listener = dribble_listener(options.dribble_port)
        threading.Thread(target=serve_dribble, args=(listener,), daemon=True).start()
    end = time.monotonic() + options.lifetime
    while time.monotonic() < end:
        if options.parent and not os.path.exists("/proc/%d" % options.parent):
            break
        time.sleep(1)
    os._exit(0)


if __name__ == "__main__":
    main()
