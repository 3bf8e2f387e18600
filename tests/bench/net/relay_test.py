#!/usr/bin/python3
"""The benchmark's impairment relay (bench/net/relay.py) between a client and echo printers of
the test's own: losses follow the seed, the counts are what crossed, round trips are the critical
path, TCP delivers every byte in order however many segments it holds, and the bounds hold."""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
RELAY = os.path.join(HERE, '..', '..', '..', 'bench', 'net', 'relay.py')
sys.path.insert(0, os.path.dirname(RELAY))
sys.dont_write_bytecode = True  # nothing of the test's left in the source tree
from relay import message_key  # noqa: E402


def ber(tag, contents):
    assert len(contents) < 0x80
    return bytes([tag, len(contents)]) + contents


def v2c(request_id):
    """A GetRequest of version 2c with no bindings."""
    numbers = b''.join(ber(0x02, bytes([n])) for n in (request_id, 0, 0))
    return ber(0x30, ber(0x02, b'\x01') + ber(0x04, b'public') + ber(0xA0, numbers + ber(0x30, b'')))


def v3(message_id):
    header = ber(0x30, ber(0x02, message_id.to_bytes(2, 'big')) + ber(0x02, b'\x05\xdc') +
                 ber(0x04, b'\x04') + ber(0x02, b'\x03'))
    return ber(0x30, ber(0x02, b'\x03') + header + ber(0x04, b'') + ber(0x30, b''))


class EchoPrinters:
    """A UDP and a TCP printer on loopback that send back what they get, each read at once."""
    def __init__(self):
        self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.udp.bind(('127.0.0.1', 0))
        self.tcp = socket.socket()
        self.tcp.bind(('127.0.0.1', 0))
        self.tcp.listen(8)
        threading.Thread(target=self.serve_udp, daemon=True).start()
        threading.Thread(target=self.serve_tcp, daemon=True).start()

    def serve_udp(self):
        while True:
            data, peer = self.udp.recvfrom(65535)
            self.udp.sendto(data, peer)

    def serve_tcp(self):
        while True:
            connection, _ = self.tcp.accept()
            threading.Thread(target=self.echo, args=(connection,), daemon=True).start()

    @staticmethod
    def echo(connection):
        with connection:
            while True:
                data = connection.recv(65536)
                if not data:
                    return
                connection.sendall(data)


PRINTERS = EchoPrinters()


class Relay:
    """relay.py as a process, with its control connection."""
    def __init__(self, *options, control=True):
        self.folder = tempfile.mkdtemp(prefix='vyx-relay-test-')
        ports = os.path.join(self.folder, 'ports')
        self.process = subprocess.Popen(
            [sys.executable, RELAY, '--ports-file', ports,
             '--udp', 'snmp=127.0.0.1:%d' % PRINTERS.udp.getsockname()[1],
             '--tcp', 'ipp=127.0.0.1:%d' % PRINTERS.tcp.getsockname()[1]] + list(options))
        end = time.monotonic() + 10
        while not os.path.exists(ports) and time.monotonic() < end:
            time.sleep(0.02)
        with open(ports) as f:
            self.ports = dict(line.strip().split('=') for line in f)
        self.control = self.replies = None
        if control:
            self.control = socket.create_connection(('127.0.0.1', int(self.ports['control'])), 5)
            self.replies = self.control.makefile('r')

    def command(self, line):
        self.control.sendall(line.encode() + b'\n')
        return self.replies.readline().strip()

    def count(self):
        fields = dict(word.split('=') for word in self.command('count').split())
        resend_ms = fields.pop('resend_ms')
        counts = {name: int(value) for name, value in fields.items()}
        counts['resend_ms'] = [float(ms) for ms in resend_ms.split(',') if ms]
        return counts

    def close(self):
        if self.control:
            self.replies.close()
            self.control.close()
        self.process.kill()
        self.process.wait()
        for name in os.listdir(self.folder):
            os.remove(os.path.join(self.folder, name))
        os.rmdir(self.folder)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


def udp_client(relay):
    client = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    client.connect(('127.0.0.1', int(relay.ports['snmp'])))
    return client


def receive_all(client, quiet=0.5):
    """What arrives until `quiet` seconds pass without a datagram."""
    client.settimeout(quiet)
    answers = []
    try:
        while True:
            answers.append(client.recv(65535))
    except socket.timeout:
        return answers


class MessageKeys(unittest.TestCase):
    def test_the_id_an_answer_repeats(self):
        cases = [(v2c(7), ('pdu', 7)), (v3(513), ('msg', 513)), (b'', None), (b'\x30\x05', None),
                 (v2c(7)[:-6], None), (b'hello', None), (ber(0x30, ber(0x02, b'\x02')), None)]
        for data, key in cases:
            self.assertEqual(message_key(data), key, data)


class Udp(unittest.TestCase):
    def lost_in_a_burst(self, relay, seed):
        """Sends 200 datagrams at once through a new flow: the numbers that come back."""
        self.assertEqual(relay.command('set delay_ms=0 loss=0.3 seed=%d' % seed), 'ok')
        with udp_client(relay) as client:
            for i in range(200):
                client.send(b'%d' % i)
            back = sorted(int(answer) for answer in receive_all(client))
        counts = relay.count()
        self.assertEqual(counts['requests'], 200)
        self.assertEqual(counts['answers'], len(back))
        self.assertEqual(counts['lost'], 200 - len(back))
        return back

    def test_losses_follow_the_seed(self):
        with Relay() as relay:
            first = self.lost_in_a_burst(relay, 7)
            self.assertTrue(60 < len(first) < 140, len(first))  # about half survive both ways
            self.assertEqual(self.lost_in_a_burst(relay, 7), first)
            self.assertNotEqual(self.lost_in_a_burst(relay, 8), first)

    def test_round_trips_are_the_critical_path(self):
        with Relay('--delay-ms', '30') as relay, udp_client(relay) as client:
            client.settimeout(5)
            start = time.monotonic()
            for request_id in (1, 2, 3):  # one after another
                client.send(v2c(request_id))
                self.assertEqual(client.recv(100), v2c(request_id))
            self.assertGreaterEqual(time.monotonic() - start, 3 * 0.06)
            self.assertEqual(relay.count()['roundtrips'], 3)

            for request_id in (4, 5, 6, 7):  # side by side
                client.send(v2c(request_id))
            self.assertEqual(len([client.recv(100) for _ in range(4)]), 4)
            counts = relay.count()
            self.assertEqual((counts['roundtrips'], counts['requests'], counts['answers']),
                             (1, 4, 4))

            # Sent again 50 ms later, before the answer (300 ms round trip): one resend, no
            # round trip more.
            self.assertEqual(relay.command('set delay_ms=150 loss=0 seed=1'), 'ok')
            client.send(v3(9))
            time.sleep(0.05)
            client.send(v3(9))
            self.assertEqual(len(receive_all(client)), 2)
            counts = relay.count()
            self.assertEqual((counts['roundtrips'], counts['requests'], counts['resent']),
                             (1, 2, 1))
            self.assertTrue(45 <= counts['resend_ms'][0] < 300, counts['resend_ms'])


class Tcp(unittest.TestCase):
    def test_handshake_and_exchange_are_two_round_trips(self):
        with Relay('--delay-ms', '20') as relay:
            start = time.monotonic()
            with socket.create_connection(('127.0.0.1', int(relay.ports['ipp'])), 5) as client:
                client.sendall(b'ping')
                self.assertEqual(client.recv(100), b'ping')
            self.assertGreaterEqual(time.monotonic() - start, 2 * 0.04)
            counts = relay.count()
            self.assertEqual((counts['roundtrips'], counts['connections'], counts['lost']),
                             (2, 1, 0))
            for _ in range(50):  # the relay lets go of a connection both ends have closed
                if relay.count()['open'] == 0:
                    break
                time.sleep(0.1)
            self.assertEqual(relay.count()['open'], 0)

    def test_lost_segments_arrive_late_and_in_order(self):
        with Relay('--loss', '0.5', '--seed', '3', '--rto-min-ms', '30',
                   '--syn-rto-ms', '60') as relay:
            start = time.monotonic()
            with socket.create_connection(('127.0.0.1', int(relay.ports['ipp'])), 5) as client:
                client.settimeout(10)
                for round_ in range(10):
                    message = bytes((round_ + i) % 251 for i in range(5000))  # 4 segments
                    client.sendall(message)
                    back = b''
                    while len(back) < len(message):
                        back += client.recv(65536)
                    self.assertEqual(back, message)
            counts = relay.count()
            self.assertEqual((counts['connections'], counts['bytes_up'], counts['bytes_down']),
                             (1, 50000, 50000))
            self.assertGreater(counts['lost'], 0)
            self.assertGreaterEqual(time.monotonic() - start, 0.03)


class Bounds(unittest.TestCase):
    def test_ends_by_itself(self):
        for options in (['--lifetime', '1'], ['--parent', str(self.ended_process())]):
            with Relay(*options, control=False) as relay:
                self.assertEqual(relay.process.wait(10), 0)

    @staticmethod
    def ended_process():
        process = subprocess.Popen(['true'])
        process.wait()
        return process.pid

    def test_refuses_what_is_out_of_bounds(self):
        refused = subprocess.run([sys.executable, RELAY, '--ports-file', os.devnull,
                                  '--udp', 'snmp=192.0.2.1:161'], stderr=subprocess.DEVNULL)
        self.assertEqual(refused.returncode, 2)
        with Relay('--max-flows', '1') as relay:
            for line in ('set delay_ms=10001 loss=0 seed=1', 'set delay_ms=1 loss=1 seed=1',
                         'set delay_ms=1', 'what'):
                self.assertTrue(relay.command(line).startswith('error'), line)
            port = int(relay.ports['ipp'])
            with socket.create_connection(('127.0.0.1', port), 5) as first, \
                    socket.create_connection(('127.0.0.1', port), 5) as second:
                second.settimeout(5)
                self.assertEqual(second.recv(10), b'')  # closed: one connection at a time
                first.sendall(b'x')
                first.settimeout(5)
                self.assertEqual(first.recv(10), b'x')
            self.assertEqual(relay.count()['refused'], 1)
            self.assertEqual(relay.command('quit'), 'bye')
            self.assertEqual(relay.process.wait(10), 0)


if __name__ == '__main__':
    unittest.main()
