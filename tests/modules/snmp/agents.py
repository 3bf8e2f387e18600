#!/usr/bin/python3
"""Starts and stops the SNMP agents of the module's tests: snmpsimd serving the project's
recordings (on 127.0.0.1 and, where the machine has it, ::1) to communities and to the SNMPv3
users of v3-users.txt (a recording's name is its community and its context), and the hostile
printer's SNMP side (tests/modules/hostile_printer.py).

  agents.py start STATE_DIR RECORDINGS_DIR PORTS_FILE   start both, wait until they answer
  agents.py stop STATE_DIR                              stop them by PID
  agents.py run RECORDINGS_DIR -- COMMAND...            start, run COMMAND (@PORT@ in it
                                                        becomes snmpsimd's port), stop
                                                        (make run-snmp)

Every agent runs under a watchdog that stops it when the process that started the fixture (the
test runner) is gone or a time limit has passed, so none outlives an interrupted run.
"""
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
LIMIT = 1800            # seconds any agent may live
START_WAIT = 60         # seconds to wait for snmpsimd to answer (it takes about 3)
PROBE = ['1.3.6.1.2.1.1.1.0']
USERS = os.path.join(HERE, 'v3-users.txt')


def v3_users():
    """[(user, auth protocol, auth password, priv protocol, priv password)], None for '-'."""
    users = []
    with open(USERS) as f:
        for line in f:
            if line.strip() and not line.startswith('#'):
                users.append(tuple(None if v == '-' else v for v in line.split()))
    return users


def v3_arguments(path):
    """Writes snmpsimd's arguments for the users to `path` (read through --args-from-file, so
    that no password stands on a command line)."""
    lines = []
    for user, auth, auth_key, priv, priv_key in v3_users():
        lines.append('--v3-user=' + user)
        if auth:
            lines += ['--v3-auth-key=' + auth_key, '--v3-auth-proto=' + auth]
        if priv:
            lines += ['--v3-priv-key=' + priv_key, '--v3-priv-proto=' + priv]
    with open(path, 'w') as out:
        out.write('\n'.join(lines) + '\n')
    os.chmod(path, 0o644)


def strike_passwords(log):
    """snmpsimd writes the keys it was given into its log at start: each becomes asterisks of
    the same length, in place (it appends only from then on)."""
    passwords = [v for u in v3_users() for v in (u[2], u[4]) if v]
    try:
        with open(log, 'r+b') as f:
            text = f.read()
            for password in passwords:
                text = text.replace(password.encode(), b'*' * len(password))
            f.seek(0)
            f.write(text)
    except OSError:
        pass


def free_port(family, host):
    with socket.socket(family, socket.SOCK_DGRAM) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def has_ipv6_loopback():
    try:
        free_port(socket.AF_INET6, '::1')
        return True
    except OSError:
        return False


def answers(address, community):
    """True when an agent answers a Get of sysDescr (one short try, with Debian's snmpget)."""
    done = subprocess.run(['snmpget', '-v2c', '-c', community, '-t', '0.5', '-r', '0', '-Oqv',
                           address] + PROBE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return done.returncode == 0


def alive(pid):
    """True while the process runs; one that has ended but is not yet reaped does not count."""
    try:
        os.kill(pid, 0)
    except OSError:
        return False
    try:
        with open('/proc/%d/stat' % pid) as stat:
            return stat.read().rsplit(')', 1)[1].split()[0] != 'Z'
    except (OSError, IndexError):
        return True


def stop_pid(pid, grace=5.0):
    """TERM, then KILL after `grace` seconds; reaps it when it is our child."""
    if not alive(pid):
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except OSError:
        return
    end = time.monotonic() + grace
    while time.monotonic() < end:
        try:
            if os.waitpid(pid, os.WNOHANG)[0] == pid:
                return
        except ChildProcessError:
            if not alive(pid):
                return
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except OSError:
        pass


def spawn(command, log):
    # A session of its own: an interrupt meant for the test runner does not reach the agent
    # before the watchdog and the cleanup have had their say.
    with open(log, 'ab') as out:
        return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                                start_new_session=True).pid


def start_snmpsim(work, data):
    cache = os.path.join(work, 'cache')
    os.makedirs(cache, exist_ok=True)
    os.chmod(cache, 0o777)
    ipv6 = has_ipv6_loopback()
    arguments = os.path.join(work, 'v3-users.args')
    v3_arguments(arguments)
    log = os.path.join(work, 'snmpsimd.log')
    for _ in range(5):  # a port taken between choosing and binding: choose again
        port = free_port(socket.AF_INET, '127.0.0.1')
        command = ['snmpsimd', '--data-dir=' + data, '--cache-dir=' + cache,
                   '--agent-udpv4-endpoint=127.0.0.1:%d' % port,
                   '--args-from-file=' + arguments, '--logging-method=file:' + log]
        if ipv6:
            command.append('--agent-udpv6-endpoint=[::1]:%d' % port)
        if os.getuid() == 0:
            command += ['--process-user=nobody', '--process-group=nogroup']
        pid = spawn(command, os.path.join(work, 'snmpsimd.out'))
        end = time.monotonic() + START_WAIT
        while time.monotonic() < end and alive(pid):
            if answers('127.0.0.1:%d' % port, 'colour-mfp'):
                strike_passwords(log)
                os.remove(arguments)
                if ipv6 and not answers('udp6:[::1]:%d' % port, 'colour-mfp'):
                    ipv6 = False
                return pid, port, ipv6
            time.sleep(0.2)
        stop_pid(pid)
        strike_passwords(log)
    raise SystemExit('snmpsimd did not answer; see ' + work)


def start_hostile(work):
    for _ in range(5):
        port = free_port(socket.AF_INET, '127.0.0.1')
        pid = spawn([sys.executable, os.path.join(HERE, '..', 'hostile_printer.py'),
                     '--snmp-port', str(port), '--lifetime', str(LIMIT)],
                    os.path.join(work, 'hostile.out'))
        end = time.monotonic() + 10
        while time.monotonic() < end and alive(pid):
            if answers('127.0.0.1:%d' % port, 'tiny'):
                return pid, port
            time.sleep(0.1)
        stop_pid(pid)
    raise SystemExit('the misbehaving agent did not answer')


def start(state_dir, recordings, ports_file):
    os.makedirs(state_dir, exist_ok=True)
    stop(state_dir)  # what an earlier, interrupted run may have left
    # snmpsimd drops to an unprivileged user, who may not read the clone's folders: it gets a
    # copy of the recordings in a folder of its own.
    work = tempfile.mkdtemp(prefix='vyx-snmp-')
    os.chmod(work, 0o755)
    data = os.path.join(work, 'data')
    os.makedirs(data)
    for name in os.listdir(recordings):
        if name.endswith('.snmprec'):
            shutil.copy(os.path.join(recordings, name), data)
            os.chmod(os.path.join(data, name), 0o644)
    os.chmod(data, 0o755)
    if os.path.exists(ports_file):
        os.remove(ports_file)  # written again once the agents answer
    state = {'work': work, 'pids': [], 'ports': os.path.abspath(ports_file)}
    save(state_dir, state)
    snmpsim, port, ipv6 = start_snmpsim(work, data)
    state['pids'].append(snmpsim)
    save(state_dir, state)
    hostile, hostile_port = start_hostile(work)
    state['pids'].append(hostile)
    watchdog = spawn([sys.executable, os.path.abspath(__file__), 'watch', str(os.getppid()),
                      str(LIMIT), str(snmpsim), str(hostile)], os.path.join(work, 'watchdog.out'))
    state['pids'].append(watchdog)
    save(state_dir, state)
    with open(ports_file, 'w') as out:
        out.write('snmpsim=%d\nipv6=%d\nhostile=%d\n' % (port, 1 if ipv6 else 0, hostile_port))
    return port, ipv6, hostile_port


def save(state_dir, state):
    with open(os.path.join(state_dir, 'agents.json'), 'w') as out:
        json.dump(state, out)


def stop(state_dir):
    path = os.path.join(state_dir, 'agents.json')
    if not os.path.exists(path):
        return
    with open(path) as f:
        state = json.load(f)
    # The ports go first, so that no test takes agents for running that are being stopped.
    if state.get('ports') and os.path.exists(state['ports']):
        os.remove(state['ports'])
    for pid in state['pids']:
        stop_pid(pid)
    shutil.rmtree(state['work'], ignore_errors=True)
    os.remove(path)


def watch(parent, limit, pids):
    end = time.monotonic() + limit
    while time.monotonic() < end and alive(parent) and any(alive(p) for p in pids):
        time.sleep(1)
    for pid in pids:
        stop_pid(pid)


def run(recordings, command):
    state_dir = tempfile.mkdtemp(prefix='vyx-snmp-state-')
    try:
        port, _, _ = start(state_dir, recordings, os.path.join(state_dir, 'ports'))
        return subprocess.run([part.replace('@PORT@', str(port)) for part in command]).returncode
    finally:
        stop(state_dir)
        shutil.rmtree(state_dir, ignore_errors=True)


def main(argv):
    if len(argv) == 5 and argv[1] == 'start':
        start(argv[2], argv[3], argv[4])
    elif len(argv) == 3 and argv[1] == 'stop':
        stop(argv[2])
    elif len(argv) >= 5 and argv[1] == 'watch':
        watch(int(argv[2]), float(argv[3]), [int(p) for p in argv[4:]])
    elif len(argv) >= 5 and argv[1] == 'run' and argv[3] == '--':
        return run(argv[2], argv[4:])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
