#!/usr/bin/python3
"""The benchmark's impairment relay: stands between a query module and its test printers on
loopback and makes the link between them slow and lossy, for UDP (SNMP) and TCP (IPP), and
counts what crosses it: requests, connections, losses and the round trips a property sheet
waited through (standard library only).

    relay.py --ports-file FILE [--udp NAME=HOST:PORT]... [--tcp NAME=HOST:PORT]...
             [--delay-ms D] [--loss P] [--seed S] [--rto-min-ms 200] [--syn-rto-ms 1000]
             [--lifetime S] [--parent PID] [--max-flows N]

Each --udp and --tcp listens on a free port of 127.0.0.1 and forwards to its printer, which must
be a loopback address too; once all listen, FILE gets NAME=PORT lines and control=PORT (the
control port takes one line at a time and answers one line):

    set delay_ms=D loss=P seed=S   one-way delay in milliseconds (each way: half the round
                                   trip), the chance of losing each datagram or segment, and
                                   the seed of the losses; for flows and connections from then on
    count                          what crossed since the last count (key=value pairs), and
                                   starts counting anew; open= is the connections open now
    quit                           the relay ends

The link (decisions described in docs/performance.md):
- every datagram and every TCP segment (a read, cut into pieces of at most MSS bytes) waits the
  one-way delay; no jitter, no reordering, no bandwidth limit.
- a UDP datagram is lost with chance P in each direction, independently: it is dropped.
- TCP cannot lose bytes: the kernel of the relay has already acknowledged them. A segment lost
  with chance P is delivered late by one retransmission timeout instead (the round trip plus
  --rto-min-ms), and the bytes behind it wait for it, as in-order delivery makes them. A
  connection's handshake lost (the SYN or the SYN-ACK, chance P each) holds the connection
  --syn-rto-ms. The client's connect completes at once on loopback, so the relay models the
  handshake's round trip by reading nothing from a new connection for one round trip (and
  connecting on to the printer after one one-way delay).
- losses are seeded: each flow (UDP client address) and connection, numbered from the last
  `set`, draws its fates from random streams of its own, one per direction, seeded by the seed,
  its kind, number and direction; the same traffic gives the same losses.

Round trips are counted causally: a datagram or segment the client sends is one round trip
deeper than the deepest answer delivered to the client before it (a new connection's handshake
too); an answer is as deep as the request it answers (an SNMP answer repeats its request's id,
or SNMPv3 msgID; otherwise, and over TCP, as deep as the deepest the printer had received). The
round trips of a count are the depth of the deepest answer delivered: the sheet's critical path,
however many requests go side by side. Counts are of datagrams sent in the counting period, and
of connections opened in it (traffic of a connection opened before counts nowhere).

Bounds: the relay ends after --lifetime seconds, or when --parent ends, or at `quit`; it keeps
at most --max-flows UDP flows (forgetting one idle for 10 s, and the least recently used one to
make room) and serves as many TCP connections at once (more are closed and counted as refused),
holds at most 8 MiB a connection and direction (then reads no more until it has delivered) and
at most 100 000 datagrams in flight (more are dropped and counted as refused), and takes delays
up to 10 s.
"""
import argparse
import collections
import heapq
import ipaddress
import itertools
import os
import random
import selectors
import socket
import sys
import time

MSS = 1448                 # TCP payload of a segment on a 1500-byte link with timestamps
MAX_DELAY = 10.0           # seconds, one way
UDP_IDLE = 10.0            # a UDP flow unused this long is forgotten
MAX_HELD = 8 << 20         # bytes held per connection and direction before reading pauses
MAX_DATAGRAMS = 100000     # datagrams in flight, all flows
MAX_CONTROL = 4            # control connections at once
MAX_LINE = 256


# ---- SNMP message ids: what pairs an answer with its request -----------------------------------

def _header(data, pos, tags):
    """(tag, start of contents, end of contents) of the BER item at `pos`."""
    tag = data[pos]
    if tag not in tags:
        raise ValueError('unexpected tag')
    length = data[pos + 1]
    pos += 2
    if length & 0x80:
        count = length & 0x7F
        if not 1 <= count <= 4:
            raise ValueError('bad length')
        length = int.from_bytes(data[pos:pos + count], 'big')
        pos += count
    if pos + length > len(data):
        raise ValueError('cut short')
    return tag, pos, pos + length


def _integer(data, pos):
    _, start, end = _header(data, pos, (0x02,))
    if not 1 <= end - start <= 8:
        raise ValueError('bad integer')
    return int.from_bytes(data[start:end], 'big', signed=True), end


def message_key(data):
    """The id an SNMP answer repeats: ('pdu', request-id) for versions 1 and 2c, ('msg', msgID)
    for version 3; None for anything else."""
    try:
        _, pos, _ = _header(data, 0, (0x30,))
        version, pos = _integer(data, pos)
        if version in (0, 1):
            _, _, pos = _header(data, pos, (0x04,))  # the community
            _, pos, _ = _header(data, pos, range(0xA0, 0xA9))
            return ('pdu', _integer(data, pos)[0])
        if version == 3:
            _, pos, _ = _header(data, pos, (0x30,))  # msgGlobalData
            return ('msg', _integer(data, pos)[0])
    except (IndexError, ValueError):
        pass
    return None


# ---- What one counting period saw ----------------------------------------------------------------

class Period:
    def __init__(self):
        self.depth = 0          # the deepest answer delivered to a client
        self.requests = 0       # datagrams from clients
        self.resent = 0         # of which repeat an id already sent in the period
        self.resend_ms = []     # for each id sent again: the time from its first sending
        self.answers = 0        # datagrams delivered to clients
        self.connections = 0
        self.segments_up = 0
        self.segments_down = 0
        self.bytes_up = 0
        self.bytes_down = 0
        self.lost = 0           # datagrams dropped, segments and handshakes held
        self.refused = 0        # datagrams and connections beyond --max-flows

    def deliver(self, depth):
        self.depth = max(self.depth, depth)

    def report(self, open_connections):
        fields = [('open', open_connections), ('roundtrips', self.depth), ('requests', self.requests),
                  ('resent', self.resent), ('answers', self.answers),
                  ('connections', self.connections), ('segments_up', self.segments_up),
                  ('segments_down', self.segments_down), ('bytes_up', self.bytes_up),
                  ('bytes_down', self.bytes_down), ('lost', self.lost), ('refused', self.refused)]
        text = ' '.join('%s=%d' % field for field in fields)
        return text + ' resend_ms=' + ','.join('%.1f' % ms for ms in self.resend_ms)


class Link:
    """The link's settings: one-way delay (seconds), loss chance, seed."""
    def __init__(self, delay, loss, seed, rto_min, syn_rto):
        self.delay, self.loss, self.seed = delay, loss, seed
        self.rto_min, self.syn_rto = rto_min, syn_rto

    def fates(self, kind, number, direction):
        """The random stream of one flow's direction: the same for the same seed."""
        return random.Random('%d:%s:%d:%s' % (self.seed, kind, number, direction))

    def rto(self):
        return 2 * self.delay + self.rto_min


# ---- UDP -----------------------------------------------------------------------------------------

class UdpFlow:
    """One client address's datagrams to the printer, through a socket of the flow's own."""
    def __init__(self, relay, listener, client, number):
        self.relay, self.listener, self.client = relay, listener, client
        self.up = relay.link.fates('udp', number, 'up')
        self.down = relay.link.fates('udp', number, 'down')
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setblocking(False)
        self.sock.connect(listener.printer)
        self.sent = {}                 # message key -> (period, depth, first sent)
        self.printer_depth = (None, 0)  # the deepest request the printer has received
        self.used = time.monotonic()
        relay.selector.register(self.sock, selectors.EVENT_READ, self.from_printer)

    def close(self):
        self.relay.selector.unregister(self.sock)
        self.sock.close()

    def from_client(self, data, now):
        relay, period = self.relay, self.relay.period
        self.used = now
        depth = period.depth + 1
        period.requests += 1
        key = message_key(data)
        if key is not None:
            earlier = self.sent.get(key)
            if earlier and earlier[0] is period:
                period.resent += 1
                period.resend_ms.append((now - earlier[2]) * 1e3)
            if len(self.sent) > 4096:
                self.sent.clear()
            self.sent[key] = (period, depth, now)
        if self.up.random() < relay.link.loss:
            period.lost += 1
            return

        def arrive():
            try:
                self.sock.send(data)
            except OSError:
                return
            if self.printer_depth[0] is period:
                self.printer_depth = (period, max(self.printer_depth[1], depth))
            else:
                self.printer_depth = (period, depth)
        relay.later(now + relay.link.delay, arrive, datagram=True)

    def from_printer(self, events):
        relay = self.relay
        try:
            data = self.sock.recv(65535)
        except OSError:
            return
        now = time.monotonic()
        self.used = now
        key = message_key(data)
        request = self.sent.get(key) if key is not None else None
        period, depth = request[:2] if request else self.printer_depth
        if self.down.random() < relay.link.loss:
            relay.period.lost += 1
            return

        def arrive():
            try:
                self.listener.sock.sendto(data, self.client)
            except OSError:
                return
            relay.period.answers += 1
            if period is relay.period:
                period.deliver(depth)
        relay.later(now + relay.link.delay, arrive, datagram=True)


class UdpListener:
    def __init__(self, relay, printer):
        self.relay, self.printer = relay, printer
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(('127.0.0.1', 0))
        self.sock.setblocking(False)
        self.port = self.sock.getsockname()[1]
        self.flows = {}
        relay.selector.register(self.sock, selectors.EVENT_READ, self.from_client)

    def from_client(self, events):
        relay = self.relay
        try:
            data, client = self.sock.recvfrom(65535)
        except OSError:
            return
        now = time.monotonic()
        flow = self.flows.get(client)
        if flow is None:
            self.forget(now)
            flow = self.flows[client] = UdpFlow(relay, self, client, relay.number('udp'))
        flow.from_client(data, now)

    def forget(self, now):
        """Forgets idle flows, and the least recently used one while there are too many."""
        for client, flow in list(self.flows.items()):
            if now - flow.used > UDP_IDLE:
                flow.close()
                del self.flows[client]
        while len(self.flows) >= self.relay.max_flows:
            client = min(self.flows, key=lambda c: self.flows[c].used)
            self.flows.pop(client).close()


# ---- TCP -----------------------------------------------------------------------------------------

class Direction:
    """One direction of a connection: segments held until their time, in order, then written."""
    def __init__(self, source, fates, upward):
        self.source, self.fates, self.upward = source, fates, upward
        self.target = None        # the socket written to (the printer's is made later)
        self.held = collections.deque()  # (due, data or None for the end, depth)
        self.out = bytearray()    # due and not yet written
        self.last_due = 0.0
        self.held_bytes = 0
        self.reading = False      # the source is read (not before the handshake's round trip)
        self.ended = False        # the source's end has been read
        self.shut = False         # the end has been passed on


class TcpLink:
    def __init__(self, relay, listener, client, number, now):
        self.relay, self.listener = relay, listener
        self.period = relay.period  # the counting period it belongs to
        link = relay.link
        self.client, self.printer = client, None
        self.depth_at_printer = 0
        self.closed = False
        self.up = Direction(client, link.fates('tcp', number, 'up'), True)
        self.down = Direction(None, link.fates('tcp', number, 'down'), False)
        self.down.target = client
        client.setblocking(False)
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.period.connections += 1
        handshake = self.period.depth + 1
        lost = (self.up.fates.random() < link.loss) + (self.down.fates.random() < link.loss)
        late = link.syn_rto if lost else 0.0
        self.period.lost += lost
        self.watch()
        relay.later(now + link.delay + late, self.connect_printer)
        relay.later(now + 2 * link.delay + late, lambda: self.established(handshake))

    def connect_printer(self):
        if self.closed:
            return
        self.printer = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            self.printer.settimeout(2)  # loopback: refused or taken at once
            self.printer.connect(self.listener.printer)
        except OSError:
            self.close()
            return
        self.printer.setblocking(False)
        self.printer.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.up.target = self.down.source = self.printer
        self.down.reading = True
        self.watch()
        self.release(self.up)

    def established(self, depth):
        if self.closed:
            return
        if self.period is self.relay.period:
            self.period.deliver(depth)
        self.up.reading = True
        self.watch()

    def close(self):
        if self.closed:
            return
        self.closed = True
        for sock in (self.client, self.printer):
            if sock is not None:
                self.relay.unwatch(sock)
                sock.close()
        self.relay.links.discard(self)

    # Which events each socket waits for, from the directions' state.
    def watch(self):
        if self.closed:
            return
        wants = {}
        for direction in (self.up, self.down):
            if direction.source is not None and direction.reading and not direction.ended \
                    and direction.held_bytes < MAX_HELD:
                wants[direction.source] = wants.get(direction.source, 0) | selectors.EVENT_READ
            if direction.target is not None and direction.out:
                wants[direction.target] = wants.get(direction.target, 0) | selectors.EVENT_WRITE
        for sock in (self.client, self.printer):
            if sock is not None:
                self.relay.watch(sock, wants.get(sock, 0), self.on_event)

    def on_event(self, sock, events):
        if events & selectors.EVENT_WRITE:
            for direction in (self.up, self.down):
                if direction.target is sock:
                    self.flush(direction)
        if events & selectors.EVENT_READ and not self.closed:
            self.read(self.up if sock is self.client else self.down)
        self.watch()

    def read(self, direction):
        relay, link = self.relay, self.relay.link
        try:
            data = direction.source.recv(65536)
        except BlockingIOError:
            return
        except OSError:
            self.close()
            return
        now = time.monotonic()
        current = self.period is relay.period
        if not data:
            direction.ended = True
            direction.last_due = max(direction.last_due, now + link.delay)
            direction.held.append((direction.last_due, None, 0))
            relay.later(direction.last_due, lambda: self.release(direction))
            return
        # What the client sends is one round trip deeper than what it has been given; what the
        # printer sends, as deep as what it has received.
        depth = self.period.depth + 1 if direction.upward else self.depth_at_printer
        for start in range(0, len(data), MSS):
            piece = data[start:start + MSS]
            lost = direction.fates.random() < link.loss
            due = max(direction.last_due, now + link.delay + (link.rto() if lost else 0.0))
            direction.last_due = due
            direction.held.append((due, piece, depth))
            direction.held_bytes += len(piece)
            if current:
                self.period.lost += lost
                if direction.upward:
                    self.period.segments_up += 1
                    self.period.bytes_up += len(piece)
                else:
                    self.period.segments_down += 1
                    self.period.bytes_down += len(piece)
        relay.later(direction.last_due, lambda: self.release(direction))

    def release(self, direction):
        """Passes on what is due, in order."""
        if self.closed or direction.target is None:
            return
        now = time.monotonic()
        current = self.period is self.relay.period
        while direction.held and direction.held[0][0] <= now:
            _, data, depth = direction.held.popleft()
            if data is None:
                direction.shut = True
                break
            direction.held_bytes -= len(data)
            direction.out += data
            if direction.upward:
                self.depth_at_printer = max(self.depth_at_printer, depth)
            elif current:
                self.period.deliver(depth)
        self.flush(direction)
        self.watch()

    def flush(self, direction):
        if self.closed:
            return
        try:
            while direction.out:
                sent = direction.target.send(direction.out)
                del direction.out[:sent]
        except BlockingIOError:
            return
        except OSError:
            self.close()
            return
        if direction.shut and not direction.held:
            try:
                direction.target.shutdown(socket.SHUT_WR)
            except OSError:
                pass
            if self.up.shut and self.down.shut:
                self.close()


class TcpListener:
    def __init__(self, relay, printer):
        self.relay, self.printer = relay, printer
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(('127.0.0.1', 0))
        self.sock.listen(64)
        self.sock.setblocking(False)
        self.port = self.sock.getsockname()[1]
        relay.selector.register(self.sock, selectors.EVENT_READ, self.accept)

    def accept(self, events):
        relay = self.relay
        try:
            client, _ = self.sock.accept()
        except OSError:
            return
        if len(relay.links) >= relay.max_flows:
            relay.period.refused += 1
            client.close()
            return
        relay.links.add(TcpLink(relay, self, client, relay.number('tcp'), time.monotonic()))


# ---- Control -------------------------------------------------------------------------------------

class Control:
    def __init__(self, relay, sock):
        self.relay, self.sock, self.buffer = relay, sock, b''
        sock.setblocking(False)
        relay.selector.register(sock, selectors.EVENT_READ, self.read)

    def close(self):
        self.relay.selector.unregister(self.sock)
        self.sock.close()
        self.relay.controls.discard(self)

    def read(self, events):
        try:
            data = self.sock.recv(4096)
        except OSError:
            data = b''
        if not data:
            self.close()
            return
        self.buffer += data
        while b'\n' in self.buffer:
            line, self.buffer = self.buffer.split(b'\n', 1)
            answer = self.relay.command(line.decode('ascii', 'replace').split())
            try:
                self.sock.sendall(answer.encode() + b'\n')
            except OSError:
                self.close()
                return
        if len(self.buffer) > MAX_LINE:
            self.close()


# ---- The relay -----------------------------------------------------------------------------------

class Relay:
    def __init__(self, link, max_flows):
        self.link, self.max_flows = link, max_flows
        self.selector = selectors.DefaultSelector()
        self.timers = []
        self.sequence = itertools.count()
        self.datagrams = 0          # datagrams in flight
        self.numbers = collections.Counter()
        self.period = Period()
        self.links = set()
        self.controls = set()
        self.running = True
        self.control = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.control.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.control.bind(('127.0.0.1', 0))
        self.control.listen(4)
        self.control.setblocking(False)
        self.selector.register(self.control, selectors.EVENT_READ, self.accept_control)

    def number(self, kind):
        """The next flow or connection of this kind since the last `set`."""
        self.numbers[kind] += 1
        return self.numbers[kind]

    def later(self, when, action, datagram=False):
        if datagram:
            if self.datagrams >= MAX_DATAGRAMS:
                self.period.refused += 1
                return
            self.datagrams += 1
        heapq.heappush(self.timers, (when, next(self.sequence), action, datagram))

    def watch(self, sock, events, handler):
        try:
            key = self.selector.get_key(sock)
        except KeyError:
            key = None
        if not events:
            if key:
                self.selector.unregister(sock)
        elif key is None:
            self.selector.register(sock, events, lambda e, s=sock: handler(s, e))
        elif key.events != events:
            self.selector.modify(sock, events, key.data)

    def unwatch(self, sock):
        try:
            self.selector.unregister(sock)
        except (KeyError, ValueError):
            pass

    def accept_control(self, events):
        try:
            sock, _ = self.control.accept()
        except OSError:
            return
        if len(self.controls) >= MAX_CONTROL:
            sock.close()
            return
        self.controls.add(Control(self, sock))

    def command(self, words):
        if words == ['count']:
            report, self.period = self.period.report(len(self.links)), Period()
            return report
        if words == ['quit']:
            self.running = False
            return 'bye'
        if words and words[0] == 'set':
            try:
                values = dict(word.split('=', 1) for word in words[1:])
                delay = float(values['delay_ms']) / 1e3
                loss = float(values['loss'])
                seed = int(values['seed'])
            except (KeyError, ValueError):
                return 'error: set delay_ms=D loss=P seed=S'
            if not (0 <= delay <= MAX_DELAY and 0 <= loss < 1):
                return 'error: delay_ms 0-%d, loss 0 to below 1' % (MAX_DELAY * 1e3)
            self.link = Link(delay, loss, seed, self.link.rto_min, self.link.syn_rto)
            self.numbers.clear()
            return 'ok'
        return 'error: set, count or quit'

    def run(self, deadline, parent):
        next_check = 0.0
        while self.running:
            now = time.monotonic()
            if now >= next_check:
                if now >= deadline or (parent and not alive(parent)):
                    break
                next_check = now + 1.0
            while self.timers and self.timers[0][0] <= now:
                _, _, action, datagram = heapq.heappop(self.timers)
                if datagram:
                    self.datagrams -= 1
                action()
            wait = next_check - now
            if self.timers:
                wait = min(wait, self.timers[0][0] - now)
            for key, events in self.selector.select(max(wait, 0)):
                key.data(events)


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def loopback_address(text):
    host, _, port = text.rpartition(':')
    name, _, rest = host.partition('=')
    if not rest:
        raise argparse.ArgumentTypeError('NAME=HOST:PORT, not ' + text)
    if not ipaddress.ip_address(rest).is_loopback or ipaddress.ip_address(rest).version != 4:
        raise argparse.ArgumentTypeError('the printer must be on 127.0.0.0/8: ' + rest)
    return name, (rest, int(port))


def main(argv):
    parser = argparse.ArgumentParser(description='The benchmark\'s impairment relay.')
    parser.add_argument('--ports-file', required=True)
    parser.add_argument('--udp', action='append', default=[], type=loopback_address)
    parser.add_argument('--tcp', action='append', default=[], type=loopback_address)
    parser.add_argument('--delay-ms', type=float, default=0.0)
    parser.add_argument('--loss', type=float, default=0.0)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--rto-min-ms', type=float, default=200.0)
    parser.add_argument('--syn-rto-ms', type=float, default=1000.0)
    parser.add_argument('--lifetime', type=float, default=3600.0)
    parser.add_argument('--parent', type=int, default=0)
    parser.add_argument('--max-flows', type=int, default=64)
    options = parser.parse_args(argv[1:])
    if not (0 <= options.delay_ms <= MAX_DELAY * 1e3 and 0 <= options.loss < 1):
        parser.error('--delay-ms 0-10000 and --loss 0 to below 1')
    link = Link(options.delay_ms / 1e3, options.loss, options.seed,
                options.rto_min_ms / 1e3, options.syn_rto_ms / 1e3)
    relay = Relay(link, max(1, options.max_flows))
    lines = []
    for name, printer in options.udp:
        lines.append('%s=%d' % (name, UdpListener(relay, printer).port))
    for name, printer in options.tcp:
        lines.append('%s=%d' % (name, TcpListener(relay, printer).port))
    lines.append('control=%d' % relay.control.getsockname()[1])
    partial = options.ports_file + '.partial'
    with open(partial, 'w') as out:
        out.write('\n'.join(lines) + '\n')
    os.replace(partial, options.ports_file)
    relay.run(time.monotonic() + options.lifetime, options.parent)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
