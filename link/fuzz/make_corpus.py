# Writes the seed inputs of fuzz_instrument: input reports as the target reads them (a length
# byte, then the report: ID 0x3F, count byte, data).  /usr/bin/python3 make_corpus.py
import struct


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def frame(function, address, length, payload):
    body = bytes([0xAB, function]) + struct.pack('<IH', address, length) + payload
    return body + struct.pack('<H', crc16(body))


def reports(data, chunk=62):
    out = b''
    for i in range(0, len(data), chunk):
        part = data[i:i + chunk]
        report = bytes([0x3F, len(part)]) + part
        out += bytes([len(report)]) + report
    return out


measurement = frame(0x44, 0, 0x36, struct.pack('<hhh', 5012, -230, 1175) + bytes(8) + struct.pack('<HH', 1197, 10098)
                    + bytes(10) + bytes([200, 120, 90]) + bytes(54 - 31))
assert len(measurement) == 64
with open('corpus/pushed_between_replies', 'wb') as f:
    # plan 0: firmware version; the measurement comes in two reports before the reply
    f.write(bytes([0]) + reports(measurement, 40) + reports(frame(0x20, 0x0C, 2, struct.pack('<H', 13)))
            + reports(measurement))
with open('corpus/device_info', 'wb') as f:
    f.write(bytes([1]) + reports(frame(0x40, 0, 0x14, bytes(range(20)))) + reports(frame(0x40, 0x20, 4, bytes(4)))
            + bytes([255]))
with open('corpus/record_count', 'wb') as f:
    payload = struct.pack('<IHH', 0, 12, 0)
    f.write(bytes([0x55]) + reports(frame(0x40, 0x3010, 10, payload + struct.pack('<H', crc16(payload)))))
