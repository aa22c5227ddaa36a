#!/usr/bin/python3
"""Times a 200-line program upload: ferrolad-cli against Debian's pymodbus 3.0 ASCII client sending the
same Modbus requests, both to `ferrolad-cli sim --wire-baud 115200` on a pseudo-terminal.

Not part of the test run. Usage: bench/pymodbus_compare.py [BUILD_BIN_DIR] [RUNS] [WIRE_BAUD]
(WIRE_BAUD 0 takes the simulated wire time away, leaving the clients' own cost.)
The request sequence is taken from `ferrolad-cli -v upload` (its "Send:" lines), so both clients send
exactly what the upload builds; ROM-state polls are repeated until the ROM is free, as the upload does.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from pymodbus.client import ModbusSerialClient
from pymodbus.transaction import ModbusAsciiFramer

ROM_STATE = 0xF000
SLAVE = 1


def program(path):
    lines = []
    for i in range(50):
        lines += [f"LD\tX{i % 8}", f"OR\tM{i}", f"ANI\tX{(i + 1) % 8}", f"OUT\tM{i}"]
    with open(path, "w") as f:
        f.write("\n".join(lines[:199] + ["END"]) + "\n")


def upload(cli, pty, il, verbose=False):
    args = [cli, "--port", pty] + (["-v"] if verbose else []) + ["upload", il]
    start = time.perf_counter()
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    elapsed = time.perf_counter() - start
    if "successful" not in out:
        sys.exit("ferrolad-cli upload failed:\n" + out[-2000:])
    return elapsed, out


def requests_from_log(log):
    """(function, address, payload bytes) of every request sent, repeated ROM polls folded into one."""
    seq = []
    for hextext in re.findall(r"Send: ([0-9A-F]+)", log):
        b = bytes.fromhex(hextext)[:-1]  # the LRC goes
        req = (b[1], b[2] << 8 | b[3], b[4:])
        if seq and req == seq[-1] and req[0] == 2 and req[1] == ROM_STATE:
            continue
        seq.append(req)
    return seq


def replay(client, seq):
    start = time.perf_counter()
    for fc, addr, rest in seq:
        if fc == 2:
            count = rest[0] << 8 | rest[1]
            while True:
                r = client.read_discrete_inputs(addr, count, slave=SLAVE)
                if r.isError():
                    sys.exit(f"pymodbus: read {addr:#x} failed: {r}")
                if addr != ROM_STATE or not r.bits[0]:
                    break
        elif fc == 1:
            r = client.read_coils(addr, rest[0] << 8 | rest[1], slave=SLAVE)
        elif fc == 3:
            r = client.read_holding_registers(addr, rest[0] << 8 | rest[1], slave=SLAVE)
        elif fc == 5:
            r = client.write_coil(addr, rest[0] == 0xFF, slave=SLAVE)
        elif fc == 6:
            r = client.write_register(addr, rest[0] << 8 | rest[1], slave=SLAVE)
        elif fc == 16:
            data = rest[3:]
            r = client.write_registers(addr, [data[i] << 8 | data[i + 1] for i in range(0, len(data), 2)],
                                       slave=SLAVE)
        else:
            sys.exit(f"unexpected function {fc}")
        if r.isError():
            sys.exit(f"pymodbus: function {fc} at {addr:#x} failed: {r}")
    return time.perf_counter() - start


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    bindir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "bin")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    wire = sys.argv[3] if len(sys.argv) > 3 else "115200"
    cli = os.path.join(bindir, "ferrolad-cli")
    with tempfile.TemporaryDirectory() as tmp:
        pty, il = os.path.join(tmp, "pty"), os.path.join(tmp, "p200.il")
        program(il)
        sim = subprocess.Popen([cli, "sim", "--model", "Lira2", "--pty", pty, "--wire-baud", wire],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            sim.stdout.readline()  # the pty path: serving from now on
            _, log = upload(cli, pty, il, verbose=True)
            seq = requests_from_log(log)
            ours = [upload(cli, pty, il)[0] for _ in range(runs)]
            client = ModbusSerialClient(port=pty, framer=ModbusAsciiFramer, baudrate=115200, timeout=1)
            if not client.connect():
                sys.exit("pymodbus: cannot open " + pty)
            theirs = [replay(client, seq) for _ in range(runs)]
            client.close()
        finally:
            sim.stdin.write("quit\n")
            sim.stdin.close()
            sim.wait(timeout=10)
    o, t = statistics.median(ours), statistics.median(theirs)
    print(f"requests per upload (ROM polls folded): {len(seq)}, simulated wire baud {wire}")
    print(f"ferrolad-cli upload: median {o * 1000:.0f} ms over {runs} runs (process start included)")
    print(f"pymodbus 3.0 ASCII:  median {t * 1000:.0f} ms over {runs} runs (connection already open)")
    print(f"ours / theirs: {o / t:.2f}")


if __name__ == "__main__":
    main()
