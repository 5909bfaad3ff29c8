# Makes the hand-built .xls fixtures (BIFF8 in a compound file), written
# record by record so that each holds exactly the records, and the damage,
# its name says:  /usr/bin/python3 make_biff.py
import struct


def rec(rid, body):
    return struct.pack('<HH', rid, len(body)) + body


def bof(kind):
    return rec(0x0809, struct.pack('<HHHHII', 0x0600, kind, 0x0DBB, 0x07CC, 0, 6))


def eof():
    return rec(0x000A, b'')


def ustr(text, lenlen=2):
    """Unicode string: length, option byte, characters (compressed when they fit)."""
    wide = any(ord(c) > 0xFF for c in text)
    data = text.encode('utf-16-le') if wide else text.encode('latin-1')
    head = struct.pack('<H' if lenlen == 2 else '<B', len(text))
    return head + bytes([1 if wide else 0]) + data


def fmt(index, code):
    return rec(0x041E, struct.pack('<H', index) + ustr(code))


def xf(fmt_index, style=False):
    return rec(0x00E0, struct.pack('<HHHBBBBIIH', 0, fmt_index, 0xFFF5 if style else 0x0001,
                                   0x20, 0, 0, 0xF4 if style else 0x04, 0, 0, 0x20C0))


def font():
    return rec(0x0031, struct.pack('<HHHHHBBBB', 200, 0, 0x7FFF, 400, 0, 0, 0, 0, 0) + ustr('Arial', 1))


# XF 15 general, 16 a custom date-time format, 17 the built-in date format 14.
XF_GENERAL, XF_DATETIME, XF_DATE = 15, 16, 17


def globals_records(sheet_names, sst_records=b'', datemode=0):
    out = bof(0x0005)
    out += rec(0x0042, struct.pack('<H', 1200))
    out += rec(0x0022, struct.pack('<H', datemode))
    out += font() * 5
    out += fmt(164, 'yyyy-mm-dd hh:mm:ss.000')
    out += b''.join(xf(0, True) for _ in range(15))
    out += xf(0) + xf(164) + xf(14)
    boundsheets_at = []
    for name in sheet_names:
        boundsheets_at.append(len(out) + 4)
        out += rec(0x0085, struct.pack('<IBB', 0, 0, 0) + ustr(name, 1))
    out += sst_records
    out += eof()
    return bytearray(out), boundsheets_at


def workbook(sheets, sst_records=b'', datemode=0):
    """sheets: list of (name, records of the sheet body between BOF and EOF)."""
    stream, positions = globals_records([n for n, _ in sheets], sst_records, datemode)
    for (name, body), pos in zip(sheets, positions):
        struct.pack_into('<I', stream, pos, len(stream))
        stream += bof(0x0010) + body + eof()
    return bytes(stream)


def dimension(first_row, last_row_plus1, first_col, last_col_plus1):
    return rec(0x0200, struct.pack('<IIHHH', first_row, last_row_plus1, first_col, last_col_plus1, 0))


def number(r, c, v, x=XF_GENERAL):
    return rec(0x0203, struct.pack('<HHHd', r, c, x, v))


def labelsst(r, c, i, x=XF_GENERAL):
    return rec(0x00FD, struct.pack('<HHHI', r, c, x, i))


def sst(strings_bodies, total, unique):
    """strings_bodies: list of record bodies, the first the SST body after its counts."""
    first = struct.pack('<II', total, unique) + strings_bodies[0]
    return rec(0x00FC, first) + b''.join(rec(0x003C, b) for b in strings_bodies[1:])


FREE, END, FATSECT = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD


def compound(stream, name='Workbook', fat_patch=None, header_patch=None, mini=False, minifat_patch=None):
    """A version 3 compound file holding one stream. With mini, the stream
    (under 4096 bytes) lives in the mini stream. The patches damage the FAT,
    the mini FAT or header fields on purpose."""
    sectors = []  # 512-byte sectors after the header
    fat = []

    def add_chain(data):
        start = len(sectors)
        data = data + b'\0' * (-len(data) % 512)
        n = len(data) // 512
        for i in range(n):
            sectors.append(data[i * 512:(i + 1) * 512])
            fat.append(start + i + 1 if i + 1 < n else END)
        return start if n else END

    root_start, root_size, minifat_start, minifat_count = END, 0, END, 0
    if mini:
        assert len(stream) < 4096
        padded = stream + b'\0' * (-len(stream) % 64)
        count = len(padded) // 64
        minifat = [i + 1 if i + 1 < count else END for i in range(count)]
        if minifat_patch:
            minifat_patch(minifat)
        minifat_bytes = b''.join(struct.pack('<I', v) for v in minifat)
        minifat_bytes += b'\xff' * (-len(minifat_bytes) % 512)
        stream_start = 0
        root_start = add_chain(padded)
        root_size = len(padded)
        minifat_start = add_chain(minifat_bytes)
        minifat_count = len(minifat_bytes) // 512
    else:
        stream = stream + b'\0' * max(0, 4096 - len(stream))
        stream_start = add_chain(stream)

    def entry(ename, etype, child, start, size):
        e = bytearray(128)
        if etype:
            raw = ename.encode('utf-16-le')
            e[0:len(raw)] = raw
            struct.pack_into('<H', e, 64, len(raw) + 2)
        e[66] = etype
        e[67] = 1
        struct.pack_into('<III', e, 68, FREE, FREE, child)
        struct.pack_into('<II', e, 116, start, size)
        return bytes(e)

    directory = (entry('Root Entry', 5, 1, root_start, root_size)
                 + entry(name, 2, FREE, stream_start, len(stream))
                 + entry('', 0, FREE, 0, 0) * 2)
    dir_start = add_chain(directory)
    fat_start = len(sectors)
    sectors.append(None)
    fat.append(FATSECT)
    assert len(fat) <= 128
    fat += [FREE] * (128 - len(fat))
    if fat_patch:
        fat_patch(fat, {'stream': stream_start, 'dir': dir_start, 'fat': fat_start})
    sectors[fat_start] = b''.join(struct.pack('<I', v) for v in fat)

    header = bytearray(512)
    header[0:8] = bytes([0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1])
    struct.pack_into('<HHHHH', header, 24, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into('<IIIIIIII', header, 44, 1, dir_start, 0, 4096, minifat_start, minifat_count, END, 0)
    for i in range(109):
        struct.pack_into('<I', header, 76 + i * 4, fat_start if i == 0 else FREE)
    if header_patch:
        header_patch(header)
    return bytes(header) + b''.join(sectors)


def save(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def simple_sheet(dim):
    body = dim
    for r in range(3):
        for c in range(3):
            body += number(r, c, r * 10 + c)
    return body


def plain_sst():
    return sst([ustr('alpha') + ustr('beta')], 2, 2)


if __name__ == '__main__':
    # Readable files whose DIMENSION record is wrong: cells A1:C3 hold 0..22.
    save('biff_dimension_zero.xls', compound(workbook([('S', simple_sheet(dimension(0, 0, 0, 0)))])))
    save('biff_dimension_small.xls', compound(workbook([('S', simple_sheet(dimension(0, 1, 0, 1)))])))

    # Every cell record the reader knows, on one sheet.
    long_text = ''.join(chr(0x4E00 + (i % 500)) if i % 3 else 'x' for i in range(9000))
    # A Latin-1 string of 20,000 characters spanning SST and CONTINUE records, then a string
    # whose characters switch from compressed to UTF-16 at the record boundary, with rich-text
    # runs and phonetic data, whose bytes also cross a boundary.
    body0 = ustr('alpha') + ustr('beta')
    long_latin = ''.join(chr(ord('a') + i % 26) for i in range(20000))
    chars = long_latin.encode('latin-1')
    parts = [body0 + struct.pack('<HB', len(long_latin), 0) + chars[:8000]]
    rest = chars[8000:]
    while rest:
        parts.append(b'\x00' + rest[:8000])
        rest = rest[8000:]
    # rich + phonetic string: 'Mixed 中文' : compressed part in this record, wide part in the next
    rich_head = struct.pack('<HBHI', 8, 0x0C, 1, 6)
    parts[-1] += rich_head + b'Mixed '
    parts.append(b'\x01' + '中文'.encode('utf-16-le') + struct.pack('<HH', 0, 0))
    parts.append(struct.pack('<HH', 0, 0) + b'\0' * 6)
    sst_records = sst(parts, 5, 4)
    cells = dimension(0, 0, 0, 0)
    cells += labelsst(0, 0, 0) + labelsst(0, 1, 1) + labelsst(0, 2, 2) + labelsst(0, 3, 3)
    # RK: integer 7, integer -3 x 100 -> -0.03, double 2.5, double 1.25 / 100
    def rk_double(v):
        return struct.unpack('<Q', struct.pack('<d', v))[0] >> 32
    cells += rec(0x027E, struct.pack('<HHHI', 1, 0, XF_GENERAL, (7 << 2) | 2))
    cells += rec(0x027E, struct.pack('<HHHI', 1, 1, XF_GENERAL, ((-3 << 2) | 3) & 0xFFFFFFFF))
    cells += rec(0x00BD, struct.pack('<HH', 1, 2) + struct.pack('<HI', XF_GENERAL, rk_double(2.5) & ~3)
                 + struct.pack('<HI', XF_GENERAL, (rk_double(1.25) & ~3) | 1)
                 + struct.pack('<HI', XF_DATE, (45000 << 2) | 2) + struct.pack('<H', 4))
    # FORMULA with cached results: number, date-time, text (STRING with CONTINUE), boolean,
    # error, empty text
    def formula(r, c, result, x=XF_GENERAL):
        return rec(0x0006, struct.pack('<HHH', r, c, x) + result + struct.pack('<HI', 0, 0)
                   + struct.pack('<H', 3) + b'\x1E\x01\x00')
    cells += formula(2, 0, struct.pack('<d', 0.1 + 0.2))
    cells += formula(2, 1, struct.pack('<d', 45000.5), XF_DATETIME)
    wide = long_text.encode('utf-16-le')
    cells += formula(2, 2, bytes([0, 0, 0, 0, 0, 0, 0xFF, 0xFF]))
    cells += rec(0x0207, struct.pack('<HB', len(long_text), 1) + wide[:8000])
    cells += rec(0x003C, b'\x01' + wide[8000:16000])
    cells += rec(0x003C, b'\x01' + wide[16000:])
    cells += formula(2, 3, bytes([1, 0, 1, 0, 0, 0, 0xFF, 0xFF]))
    cells += formula(2, 4, bytes([2, 0, 0x07, 0, 0, 0, 0xFF, 0xFF]))
    cells += formula(2, 5, bytes([3, 0, 0, 0, 0, 0, 0xFF, 0xFF]))
    # BOOLERR: FALSE, #N/A; LABEL; RSTRING
    cells += rec(0x0205, struct.pack('<HHHBB', 3, 0, XF_GENERAL, 0, 0))
    cells += rec(0x0205, struct.pack('<HHHBB', 3, 1, XF_GENERAL, 0x2A, 1))
    cells += rec(0x0204, struct.pack('<HHH', 3, 2, XF_GENERAL) + ustr('label ü'))
    cells += rec(0x00D6, struct.pack('<HHH', 3, 3, XF_GENERAL) + ustr('rich') + struct.pack('<H', 0))
    # An embedded chart's substream inside the sheet: its records are not cells.
    cells += bof(0x0020) + number(9, 9, 99) + eof()
    save('biff_cell_records.xls', compound(workbook([('Cells', cells)], sst_records)))

    # Date serials, 1900 and 1904 systems, under a date-time format shown to the millisecond.
    serials = [1.0, 59.0, 59.99999999, 60.0, 61.0, 73110.0, 73109.0, 73110.99999999,
               45000.999994, 45000.4999999999, 2958465.99999999, 0.25]
    def dates_sheet():
        b = dimension(0, len(serials), 0, 2)
        for i, s in enumerate(serials):
            b += number(i, 0, s, XF_DATETIME) + number(i, 1, s)
        return b
    save('biff_dates_1900.xls', compound(workbook([('D', dates_sheet())], datemode=0)))
    save('biff_dates_1904.xls', compound(workbook([('D', dates_sheet())], datemode=1)))

    # Damaged containers and streams: each must be refused, never read out of bounds.
    good = workbook([('S', simple_sheet(dimension(0, 3, 0, 3)))], plain_sst())

    def loop_stream(fat, at):
        fat[at['stream'] + 3] = at['stream']
    save('cfb_fat_loop.xls', compound(good, fat_patch=loop_stream))

    def stream_outside(fat, at):
        fat[at['stream'] + 2] = 0x00100000
    save('cfb_sector_outside.xls', compound(good, fat_patch=stream_outside))

    def dir_loop(fat, at):
        fat[at['dir']] = at['dir']
    save('cfb_directory_loop.xls', compound(good, fat_patch=dir_loop))

    # 200 FAT sectors declared; the DIFAT chain starts at an added last sector that lists no
    # FAT sector and names itself as the next one.
    data = bytearray(compound(good))
    last = (len(data) - 512) // 512
    struct.pack_into('<III', data, 44, 200, 0, 0)
    struct.pack_into('<II', data, 68, last, 5)
    data += b'\xff' * 508 + struct.pack('<I', last)
    save('cfb_difat_loop.xls', bytes(data))

    small = workbook([('S', number(0, 0, 1.5))])

    def mini_loop(minifat):
        minifat[-1] = 0
    save('cfb_mini_loop.xls', compound(small, mini=True, minifat_patch=mini_loop))
    save('cfb_mini_ok.xls', compound(small, mini=True))

    data = bytearray(compound(good))
    struct.pack_into('<I', data, 512 + 512 * 8 + 128 + 120, 0x7FFFFFF0)  # stream size far past the file
    save('cfb_stream_size_huge.xls', bytes(data))

    save('biff_sst_index_outside.xls',
         compound(workbook([('S', labelsst(0, 0, 99))], plain_sst())))
    save('biff_sst_count_huge.xls',
         compound(workbook([('S', labelsst(0, 0, 1))], sst([ustr('alpha') + ustr('beta')], 0xFFFFFFFF, 0xFFFFFFFF))))
    cut = workbook([('S', simple_sheet(dimension(0, 3, 0, 3)))])
    save('biff_record_cut.xls', compound(cut[:-6] + struct.pack('<HH', 0x0203, 500)))
    data = bytearray(workbook([('S', number(0, 0, 1))]))
    offset = data.index(b'\x85\x00') + 4
    struct.pack_into('<I', data, offset, 0x7FFFFFFF)
    save('biff_sheet_offset_outside.xls', compound(bytes(data)))
    save('biff_string_cut.xls', compound(workbook([('S', b'')], rec(0x00FC, struct.pack('<IIHB', 1, 1, 5000, 1) + b'ab'))))

    # Sheets whose BOUNDSHEET offsets lead into records another sheet already owns: sheet B at
    # sheet A's own BOF, and (second file) sheet B at the BOF of a chart embedded in sheet A.
    # Real writers give every sheet its own records; reading shared ones once for each sheet
    # would let a small file cost work without bound.
    data = bytearray(workbook([('A', number(0, 0, 1)), ('B', number(0, 0, 2)), ('C', number(0, 0, 3))]))
    first = data.index(b'\x85\x00') + 4
    second = data.index(b'\x85\x00', first) + 4
    struct.pack_into('<I', data, second, struct.unpack_from('<I', data, first)[0])
    save('biff_sheets_share_records.xls', compound(bytes(data)))
    chart = bof(0x0020) + number(5, 5, 9) + eof()
    data = bytearray(workbook([('A', number(0, 0, 1) + chart), ('B', number(0, 0, 2))]))
    first = data.index(b'\x85\x00') + 4
    second = data.index(b'\x85\x00', first) + 4
    a_start = struct.unpack_from('<I', data, first)[0]
    struct.pack_into('<I', data, second, data.index(bof(0x0020), a_start))
    save('biff_sheet_inside_another.xls', compound(bytes(data)))
