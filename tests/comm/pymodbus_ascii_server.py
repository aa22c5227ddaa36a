"""A reference Modbus ASCII slave (pymodbus) on a serial device, for the framing cross-check.

Usage: pymodbus_ascii_server.py DEVICE
Slave 1 holds known values from address 0 (100 of each kind); everything else is unmapped.
"""
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusAsciiFramer


def block(values):
    return ModbusSequentialDataBlock(0, values + [0] * (100 - len(values)))


def main():
    slave = ModbusSlaveContext(
        co=block([1, 0, 1, 1, 0, 0, 0, 0]),
        di=block([0, 1, 1, 0]),
        hr=block([0x1234, 0xD4C0, 0x0001]),
        ir=block([7, 8, 9]),
        zero_mode=True,
    )
    context = ModbusServerContext(slaves={1: slave}, single=False)
    print("READY", flush=True)
    StartSerialServer(context=context, framer=ModbusAsciiFramer, port=sys.argv[1], baudrate=115200)


if __name__ == "__main__":
    main()
