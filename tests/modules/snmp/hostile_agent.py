#!/usr/bin/python3
"""A misbehaving SNMP agent for the module's failure tests.

It listens on one UDP port; the community of each request picks how it misbehaves, so one
process serves every case. Add a case by adding a function to CASES. It stops itself after
--limit seconds, whatever happens to the tests that use it.
"""
import argparse
import select
import socket
import time

# ---- BER, as little as an agent needs --------------------------------------------------------


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


# ---- A tiny printer: one tray, one toner ------------------------------------------------------

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


# ---- The cases ---------------------------------------------------------------------------------

def silent(req):
    return None


def wrong_id(req):
    version, community, _, rid, _, _, _ = req
    return response(version, community, rid + 1, [])


def garbage(req):
    return b'\x30\x82\xff\xff\x02\x01'


def truncated(req):
    whole = walk(req, tiny_next)
    return whole[:len(whole) // 2]


def loop(req):
    return walk(req, lambda name: (name, integer(1)))


def backwards(req):
    return walk(req, lambda name: ([1, 3, 6, 1, 2, 1, 1, 1, 0], octets(b'back')))


def endless(req):
    # Every row is followed by another in the same column: a row index is added to what was
    # asked for, then its last part counts up.
    def next_of(name):
        if len(name) >= 13:
            return name[:-1] + [name[-1] + 1], integer(7)
        return name + [1, 1], integer(7)
    return walk(req, next_of)


def gen_err(req):
    version, community, _, rid, _, _, names = req
    return response(version, community, rid, [(n, tlv(0x05, b'')) for n in names], 5, 1)


def v1_only(req):
    if req[0] != 0:
        return None  # a version 1 agent drops what it does not speak
    return walk(req, tiny_next)


def tiny(req):
    return walk(req, tiny_next)


CASES = {
    b'silent': silent,
    b'wrong-id': wrong_id,
    b'garbage': garbage,
    b'truncated': truncated,
    b'loop': loop,
    b'backwards': backwards,
    b'endless': endless,
    b'gen-err': gen_err,
    b'v1-only': v1_only,
    b'tiny': tiny,
}


def serve(sock, limit):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        ready, _, _ = select.select([sock], [], [], 1.0)
        if not ready:
            continue
        datagram, peer = sock.recvfrom(65535)
        try:
            req = parse_request(datagram)
        except (IndexError, ValueError):
            continue
        case = CASES.get(req[1])
        answer = case(req) if case else None
        if answer:
            sock.sendto(answer, peer)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--port', type=int, required=True)
    parser.add_argument('--limit', type=float, default=1800, help='seconds before it stops itself')
    args = parser.parse_args()
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(('127.0.0.1', args.port))
    serve(sock, args.limit)


if __name__ == '__main__':
    main()
