#!/usr/bin/python3
"""snmpwalk and bidiprobe agree: for each recording served by the fixture's snmpsimd, the tables
as Debian's snmpwalk reads them, and what bidiprobe --json dump reports through the SNMP module;
over version 2c, and over SNMPv3 at authPriv (SHA, AES) as a user of v3-users.txt, where
snmpwalk must read the same tables as over version 2c.

  walk_agrees.py PORTS_FILE WINE_RUNNER BIDIPROBE
"""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
V3_USER = 'vyx-sha-aes'

PRT = '.1.3.6.1.2.1.43'
INPUT, OUTPUT, SUPPLY = PRT + '.8.2.1', PRT + '.9.2.1', PRT + '.11.1.1'
MARKER = PRT + '.10.2.1'
COLORANT, PATH, FINISHER = PRT + '.12.1.1', PRT + '.13.4.1', PRT + '.30.1.1'
LOCALIZATION = PRT + '.7.1.1'
HR_DEVICE, SYS_DESCR = '.1.3.6.1.2.1.25.3.2.1', '.1.3.6.1.2.1.1.1'
CHARSETS = {106: 'utf-8', 17: 'shift_jis', 4: 'latin-1'}
# The labels the module shows for the registered media type keywords these recordings use.
MEDIA_TYPES = {'stationery': 'Plain paper', 'envelope': 'Envelope'}
MANUAL_WORDS = ['manual', 'bypass', 'mp', 'mpt', 'multipurpose', 'multi-purpose']
BITS = ['sorter', 'duplex', 'lowerTray', 'fax', 'finisher', 'faceDownUnit', 'finisherType',
        'finisherOption', 'mfpOption']


def v3_passwords():
    with open(os.path.join(HERE, 'v3-users.txt')) as f:
        for line in f:
            fields = line.split()
            if fields and fields[0] == V3_USER:
                return fields[2], fields[4]
    raise SystemExit(V3_USER + ' is not in v3-users.txt')


class Walker:
    """snmpwalk over version 2c with a community, or over version 3 as V3_USER with a context;
    the version 3 passwords in a configuration file of its own, never on a command line."""

    def __init__(self, port, community, v3_conf=None):
        self.port, self.community, self.v3_conf = port, community, v3_conf

    def __call__(self, oid):
        env = dict(os.environ)
        if self.v3_conf:
            env['SNMPCONFPATH'] = self.v3_conf
            version = ['-v3', '-l', 'authPriv', '-u', V3_USER, '-a', 'SHA', '-x', 'AES',
                       '-n', self.community]
        else:
            version = ['-v2c', '-c', self.community]
        return subprocess.run(['snmpwalk'] + version + ['-On', '-Ox', '-Oq', '-Oe', '-t', '2',
                               '-r', '2', '127.0.0.1:%d' % self.port, oid],
                              capture_output=True, text=True, check=True, env=env).stdout


def snmpwalk(walker, oid):
    """{oid: value}: integers as int, strings as bytes, object identifiers as str."""
    text = walker(oid)
    records, current = [], None
    for line in text.splitlines():
        if line.startswith('.'):
            current = line
            records.append(current)
        else:
            records[-1] += ' ' + line
    values = {}
    for record in records:
        name, _, value = record.partition(' ')
        value = value.strip()
        if value.startswith('"'):
            values[name] = bytes.fromhex(value.strip('"').replace(' ', ''))
        elif value.startswith('.'):
            values[name] = value
        elif value.lstrip('-').isdigit():
            values[name] = int(value)
    return values


def rows(values, column):
    """The printer's (hrDeviceIndex 1) rows of a column, in order: {row: value}."""
    prefix = column + '.1.'
    found = {int(k[len(prefix):]): v for k, v in values.items() if k.startswith(prefix)}
    return dict(sorted(found.items()))


def has_word(text, words):
    import re
    return any(re.search(r'(?<![A-Za-z0-9])' + w + r'(?![A-Za-z0-9])', text, re.I) for w in words)


def walk_tables(walker):
    w = {}
    for table in (INPUT, OUTPUT, MARKER, SUPPLY, COLORANT, PATH, FINISHER, LOCALIZATION, HR_DEVICE,
                  SYS_DESCR):
        w.update(snmpwalk(walker, table))
    return w


def expected(w):
    charset = w.get(LOCALIZATION + '.4.1.1', 106)
    # Through the ANSI code page of the probe's run (1252), as the library hands texts out.
    text = lambda b: b.decode(CHARSETS.get(charset, 'utf-8'), 'replace').encode('cp1252', 'replace').decode('cp1252')
    inputs = sorted(set(rows(w, INPUT + '.13')) | set(rows(w, INPUT + '.9')))
    trays = [{'text1': text(w.get('%s.13.1.%d' % (INPUT, r), b'')),
              'value1': w.get('%s.9.1.%d' % (INPUT, r), -2),
              'value2': w.get('%s.10.1.%d' % (INPUT, r), -2),
              'text3': MEDIA_TYPES.get(text(w.get('%s.21.1.%d' % (INPUT, r), b'')),
                                       text(w.get('%s.21.1.%d' % (INPUT, r), b'')))}
             for r in inputs]
    toners = []
    for r, description in rows(w, SUPPLY + '.6').items():
        level, most = w.get('%s.9.1.%d' % (SUPPLY, r), -2), w.get('%s.8.1.%d' % (SUPPLY, r), -2)
        percent = level if level < 0 else min(100, (level * 100 + most // 2) // most) if most > 0 else -2
        toners.append({'text1': text(description), 'value1': percent, 'value2': level})
    outputs = rows(w, OUTPUT + '.20')
    present = [v for v in rows(w, FINISHER + '.3').values() if v != 5]
    types = rows(w, INPUT + '.2')

    def manual(r):  # by its type; without a telling one, by its name or description
        if types.get(r) not in (None, 1, 2):
            return types[r] == 5
        names = [text(w.get('%s.%d.1.%d' % (INPUT, c, r), b'')) for c in (13, 18)]
        return any(has_word(n, MANUAL_WORDS) for n in names)
    trays_not_manual = [r for r in inputs if not manual(r)]
    descriptions = [v.decode('ascii', 'replace') for k, v in w.items()
                    if k.startswith(HR_DEVICE + '.3.') or k.startswith(SYS_DESCR)]
    fitted = {
        'sorter': len(outputs) > 1,
        'duplex': any(t in (3, 4) for t in rows(w, PATH + '.9').values()),
        'lowerTray': len(trays_not_manual) > 1,
        'fax': any(v == '.1.3.6.1.2.1.25.3.1.14' for k, v in w.items() if k.startswith(HR_DEVICE + '.2.'))
               or any(has_word(d, ['fax']) for d in descriptions),
        'finisher': len(present) > 0,
        'faceDownUnit': 4 in outputs.values(),
        'finisherType': len(present) > 0,
        'finisherOption': len(present) > 1,
        'mfpOption': any(has_word(d, ['mfp', 'multifunction', 'multi-function', 'scanner', 'copier'])
                         for d in descriptions),
    }
    # Colour: by the colorant table or the markers, else by a supply's colorant or description.
    colorants = rows(w, COLORANT + '.4')
    supply_colours = [colorants.get(w.get('%s.3.1.%d' % (SUPPLY, r), 0)) or description
                      for r, description in rows(w, SUPPLY + '.6').items()]
    colour = (len({v.lower() for v in colorants.values()}) > 1 or
              any(v > 1 for v in rows(w, MARKER + '.6').values()) or
              any(has_word(text(c), ['cyan', 'magenta', 'yellow']) for c in supply_colours))
    mask = sum(1 << i for i, name in enumerate(BITS) if fitted[name])
    return trays, toners, mask, 2 if colour else 1


def check(label, walked, report):
    """Prints whether the report agrees with the walk; the number of disagreements."""
    trays, toners, mask, options = walked
    attributes = report['attributes']
    seen_trays = [{k: t[k] for k in ('text1', 'value1', 'value2', 'text3')}
                  for t in attributes['trays']['records']]
    checks = [
        ('trays', trays, seen_trays),
        ('toners', toners, attributes['toners']['records']),
        ('presence mask', mask, attributes['installables']['presence']),
        ('colour options', options, len(report['colour']['features'][0]['details']['options'])),
    ]
    failures = 0
    for what, walked_value, reported in checks:
        if walked_value != reported:
            failures += 1
            print('%s, %s:\n  snmpwalk   %r\n  bidiprobe  %r' % (label, what, walked_value, reported))
        else:
            print('%s, %s: agree' % (label, what))
    return failures


def main(ports_file, runner, probe):
    ports = dict(line.strip().split('=') for line in open(ports_file) if '=' in line)
    port = int(ports['snmpsim'])
    printer = 'snmp://127.0.0.1:%d' % port
    auth, priv = v3_passwords()
    failures = 0
    with tempfile.TemporaryDirectory() as conf:
        with open(os.path.join(conf, 'snmp.conf'), 'w') as out:
            out.write('defAuthPassphrase %s\ndefPrivPassphrase %s\n' % (auth, priv))
        stored = subprocess.run([runner, probe, 'credential', 'set', printer, V3_USER],
                                input=('%s\n%s\n' % (auth, priv)).encode(), capture_output=True)
        if stored.returncode != 0:
            print('bidiprobe credential set failed')
            return 1
        try:
            for community in ('colour-mfp', 'mono-laser', 'colour-no-colorants'):
                v2c = walk_tables(Walker(port, community))
                v3 = walk_tables(Walker(port, community, conf))
                if v3 != v2c:
                    failures += 1
                    print('%s: snmpwalk over SNMPv3 reads other tables than over version 2c'
                          % community)
                # What is compared is the answers, not how fast they come: a generous timeout
                # keeps a loaded or emulated machine from failing a read that would succeed.
                for label, second in ((community, 'timeout=10000;community=' + community),
                                      (community + ' (SNMPv3)',
                                       'timeout=10000;version=3;context=' + community)):
                    run = subprocess.run([runner, probe, '--printer', printer, '--second', second,
                                          '--json', 'dump'], capture_output=True)
                    for password in (auth, priv):
                        if password.encode() in run.stdout + run.stderr:
                            failures += 1
                            print('%s: a test password in bidiprobe\'s output' % label)
                    report = json.loads(run.stdout.decode('utf-8'))
                    if 'attributes' not in report:
                        failures += 1
                        print('%s: bidiprobe read nothing: %s' % (label, run.stderr.decode(
                            'utf-8', 'replace').strip() or report.get('failure')))
                        continue
                    failures += check(label, expected(v2c), report)
        finally:
            subprocess.run([runner, probe, 'credential', 'delete', printer], capture_output=True)
    return 1 if failures else 0


if __name__ == '__main__':
    if len(sys.argv) != 4:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
