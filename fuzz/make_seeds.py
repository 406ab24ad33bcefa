#!/usr/bin/env python3
# Writes the hand-made seeds of the fuzz targets into seeds/<target>/ (run from
# fuzz/). The index seeds built by the engine come from
#   QM_FUZZ_WRITE_SEEDS=seeds/index_walk build-fuzz/bin/fuzz_index_walk
# which must run first; their damaged variants are made here.
import os
import struct


def w(d, name, data):
    os.makedirs(os.path.join('seeds', d), exist_ok=True)
    if isinstance(data, str):
        data = data.encode('latin-1')
    with open(os.path.join('seeds', d, name), 'wb') as f:
        f.write(data)


# ---- index files: damaged variants of the engine's
good = open('seeds/index_walk/name.mdx', 'rb').read()
w('index_walk', 'damaged_header_only.mdx', good[:2048])
w('index_walk', 'damaged_truncated.mdx', good[:3000])
w('index_walk', 'damaged_version.mdx', b'\x03' + good[1:])
w('index_walk', 'damaged_tag_count.mdx', good[:28] + b'\x30' + good[29:])
tagblock = struct.unpack_from('<I', good, 544)[0]
rootblock = struct.unpack_from('<I', good, tagblock * 512)[0]
b = bytearray(good)
struct.pack_into('<I', b, rootblock * 512 + 8, rootblock)  # the root is its own child
w('index_walk', 'damaged_loop.mdx', bytes(b))
b = bytearray(good)
struct.pack_into('<I', b, rootblock * 512, 1000)  # more keys than a page holds
w('index_walk', 'damaged_count.mdx', bytes(b))
b = bytearray(good)
struct.pack_into('<I', b, rootblock * 512 + 8, 999999)  # a child beyond the file
w('index_walk', 'damaged_child.mdx', bytes(b))
b = bytearray(good)
b[tagblock * 512 + 12] = 0  # key length 0
w('index_walk', 'damaged_key_length.mdx', bytes(b))


# ---- memo files: the first byte picks the layout (0: 0x83, 1: 0x8B, 2: 0xF5)
def block_header_memo(texts, bs=512, nextfree=None):
    unit = bs or 512
    blocks = []
    for t in texts:
        body = b'\xff\xff\x08\x00' + struct.pack('<I', 8 + len(t)) + t
        blocks.append(body.ljust((len(body) + unit - 1) // unit * unit, b'\0'))
    data = b''.join(blocks)
    h = bytearray(max(unit, 512))
    struct.pack_into('<I', h, 0, nextfree if nextfree is not None else (len(h) + len(data)) // unit)
    h[8:9] = b'M'
    h[16] = 3
    struct.pack_into('<H', h, 20, bs)
    return bytes(h) + data


def dbase3_memo(texts, nextfree=None):
    blocks = []
    for t in texts:
        body = t + b'\x1a\x1a'
        blocks.append(body.ljust((len(body) + 511) // 512 * 512, b'\0'))
    data = b''.join(blocks)
    h = bytearray(512)
    struct.pack_into('<I', h, 0, nextfree if nextfree is not None else 1 + len(data) // 512)
    h[16] = 3
    return bytes(h) + data


def foxpro_memo(texts, bs=64):
    blocks = []
    for t in texts:
        body = struct.pack('>II', 1, len(t)) + t
        blocks.append(body.ljust((len(body) + bs - 1) // bs * bs, b'\0'))
    data = b''.join(blocks)
    h = bytearray(512)
    struct.pack_into('>I', h, 0, (512 + len(data)) // bs)
    struct.pack_into('>H', h, 6, bs)
    return bytes(h) + data


texts = [b'Front office\r\nMain hall 5', b'', b'x' * 700, b'line\x8d\nsoft', b'\x00\x01binary\xff']
m = 'memo_read'
w(m, 'dbase3.bin', b'\0' + dbase3_memo(texts))
w(m, 'dbase3_short.bin', b'\0' + dbase3_memo(texts)[:700])
w(m, 'dbase3_nextfree_0.bin', b'\0' + dbase3_memo(texts, 0))
w(m, 'dbase3_nextfree_1.bin', b'\0' + dbase3_memo(texts, 1))
w(m, 'dbase3_no_end.bin', b'\0' + bytes(512) + b'no end mark')
w(m, 'dbase4.bin', b'\1' + block_header_memo(texts))
w(m, 'dbase4_block64.bin', b'\1' + block_header_memo(texts, 64))
w(m, 'dbase4_block0.bin', b'\1' + block_header_memo(texts, 0))
w(m, 'dbase4_length_past_end.bin',
  b'\1' + block_header_memo(texts)[:512] + b'\xff\xff\x08\x00\xff\xff\xff\x7f')
w(m, 'dbase4_nextfree_0.bin', b'\1' + block_header_memo(texts, 512, 0))
w(m, 'foxpro.bin', b'\2' + foxpro_memo(texts))
w(m, 'foxpro_block1.bin', b'\2' + foxpro_memo(texts, 1))
w(m, 'empty.bin', b'\1')

# ---- settings files
s = 'settings_load'
w(s, 'defaults.ini',
  '[Type]\r\nCompany=Larkfield\r\nBarCodeApp=1\r\n[YourAddress]\r\nLine1=\r\nLine2=\r\n'
  'Line3=\r\nLine4=\r\nCity=\r\nState=\r\nZip=\r\n[Values]\r\nPostage=0.39\r\nCertFee=2.40\r\n'
  'Return=1.85\r\nRestricted=3.50\r\nPrintBarCode=1\r\nCustID=000000000\r\nSerialNum=0000000\r\n'
  'Increment=1\r\nMailerNum=71000000000000000000\r\n[Printing]\r\nPrintExtraLabel=Yes\r\n'
  'ExtraLabel=Addressed To\r\n[Print Align]\r\nLeftRight=0\r\nTopBottom=0\r\n[System Path]\r\n'
  'Default=/home/user/Addresses\r\n')
w(s, 'quoted.ini',
  '[type]\r\nbarcodeapp = 0 \r\n[Values]\r\nMailerNum="7100"\r\nA=\'x y\'\r\nB="mixed\'\r\nC=\r\n'
  'D=  "  padded  "  \r\nnoequals\r\n; note=1\r\n[Other]\r\nA=other\r\n')
w(s, 'numbers.ini',
  '[type]\r\nbarcodeapp=0\r\n[values]\r\nprintbarcode=yes\r\nMailerNum="71000000000000000042"\r\n'
  'Increment=0\r\nSerialNum=99999999\r\nPostage=1e308\r\nCertFee=-0.00\r\nReturn=nan\r\n'
  '[Print Align]\r\nLeftRight=0x1A\r\nTopBottom=-$80000000\r\n')
w(s, 'lf_only.ini', '[Values]\nPrintBarCode=0\nPostage=\nSerialNum=12a4567\n[Type]\nCompany=\n')
w(s, 'latin1.ini', '[YourAddress]\r\nLine1=Caf\xe9 Zo\xeb\r\nCity=M\xfcnchen\r\n')

# ---- report projects
w('report_project', 'Quill3.rav', open('../companion/Quill3.rav', 'rb').read())
w('report_project', 'empty.rav', b'')
w('report_project', 'comment_only.rav', b'# nothing\n')

# ---- name-and-address text files
i = 'import_line'
w(i, 'quoted.txt', '"Name","Street","","","Dover","DE","19901"\r\n'
  '"a","say ""x""","tab","4","","",""\r\n')
w(i, 'unquoted.txt',
  'John Smith,12 Main St,,,Springfield,IL,62704\nNo comma line\n,,,,,,\r\rlast,line,x,y,z,w,v')
w(i, 'utf8.txt', '\ufeff"\u20acuro","\u0152",,,"Zo\u00eb","ST","1"\r\n'.encode('utf-8'))
w(i, 'cp1252.txt', b'"Caf\xe9 Zo\xeb","\x80","","","Town","NY","10001"\r\n')
w(i, 'control.txt', b'"a\x00b","\x01\x1f",x,"unterminated\r\n"""",,,\r\n')
# refused lines: wrong field counts, quotes not closed, values longer than their columns
w(i, 'refused.txt', 'a,b,c,d,e\r\na,b,c,d,e,f\r\na,b,c,d,e,f,g,h\r\na,b,c,d,e,f,g,\r\n'
  '"Cy","3 Pine Rd","","","Tampa,FL,33602\r\na,b,c,d,e,f,"\r\n'
  'Dee,,,,Saint Petersburg Beach Shores,FL,33706\nEd,,,,Dover,Delaw,19901-12345\n'
  'Fay,,,,Saint Petersburg Bea,FL,33706\n')
# one Windows-1252 line amid UTF-8 lines, blank lines between and at the end
w(i, 'mixed.txt', '\ufeff"Jos\u00e9 Ruiz","1 Elm St","","","Tampa","FL","33602"\r\n'.encode('utf-8') +
  b'\r\n  \r\n"Caf\xe9 Zo\xeb",,,,Dover,DE,19901\n' +
  '"Zo\u00eb",,,,"\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9'
  '\u00c9\u00c9\u00c9\u00c9\u00c9\u00c9",DE,19901\r\n\r\n'.encode('utf-8'))

# ---- clipboard texts
p = 'paste_address'
w(p, 'three_lines.txt', 'John Smith\r\n12 Main St\r\nSpringfield, IL 62704')
w(p, 'six_lines.txt', 'A\r\nB\r\nC\r\nD\r\nE\r\nTown, ST 12345-6789\r\n')
w(p, 'lf_cr.txt', 'Name\n\rStreet\n\rCity ST 12345')
w(p, 'lone.txt', 'one\rline\nonly\r')
w(p, 'utf8.txt', 'Caf\u00e9 Zo\u00eb\r\nM\u00fcnchen, BY 80331'.encode('utf-8'))

# ---- pack-swap markers; the folder holds t.dbf, t.dbt, t.dbf.pack77,
# t.dbt.pack77, keep.txt and junk.txt
k = 'pack_marker'
w(k, 'good.txt', 'QMPACKSWAP 1\nt.dbt.pack77\nt.dbt\nt.dbf.pack77\nt.dbf\n')
w(k, 'table_only.txt', 'QMPACKSWAP 1\nt.dbt.pack78\nt.dbt\nt.dbf.pack77\nt.dbf\n')
w(k, 'stranger.txt', 'QMPACKSWAP 1\njunk.txt\nkeep.txt\nt.dbf.pack77\nt.dbf\n')
w(k, 'bad_magic.txt', 'QMPACKSWAP 2\nt.dbt.pack77\nt.dbt\nt.dbf.pack77\nt.dbf\n')
w(k, 'short.txt', 'QMPACKSWAP 1\nt.dbt.pack77\n')
w(k, 'slash.txt', 'QMPACKSWAP 1\n../t.dbt.pack77\nt.dbt\nt.dbf.pack77\nt.dbf\n')

# ---- books tables (Reports/books.dbf): BOOKNO N 6, BDATE D 8, BTIME C 8, MAILERNUM C 35
def books_table(records, fields=(('BOOKNO', 'N', 6), ('BDATE', 'D', 8), ('BTIME', 'C', 8),
                                 ('MAILERNUM', 'C', 35))):
    length = 1 + sum(f[2] for f in fields)
    header = struct.pack('<BBBBIHH20x', 0x03, 126, 12, 11, len(records),
                         32 + 32 * len(fields) + 1, length)
    for name, kind, width in fields:
        header += struct.pack('<11sc4xBB14x', name.encode(), kind.encode(), width, 0)
    body = b''.join(r.encode('latin-1').ljust(length)[:length] for r in records)
    return header + b'\r' + body + b'\x1a'


def book_record(number, piece, flag=' ', date='20261211', time='09:30:00'):
    return flag + str(number).rjust(6) + date + time + piece.ljust(35)


b = 'book_table'
a, c = '9214 7123 4567 8900 0001 10', '9214 7123 4567 8900 0001 20'
w(b, 'two_books.dbf', books_table([book_record(1, a), book_record(1, c), book_record(2, a)]))
w(b, 'empty.dbf', books_table([]))
w(b, 'deleted.dbf', books_table([book_record(1, a, '*'), book_record(2, c)]))
w(b, 'damaged_number.dbf', books_table([book_record(1, a), ' ' + '  1x2 ' + '20261211' * 2]))
w(b, 'damaged_date.dbf', books_table([book_record(1, a, date='2026ab11')]))
w(b, 'damaged_cut.dbf', books_table([book_record(1, a), book_record(1, c)])[:-20])
w(b, 'damaged_fields.dbf', books_table([book_record(1, a)], fields=(('BOOKNO', 'C', 6),)))
