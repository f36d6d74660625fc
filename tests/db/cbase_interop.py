# SPDX-License-Identifier: GPL-3.0-or-later
"""Independent dBASE reader and writer for the table engine's interop test.

  read FILE   prints the table as dbfread sees it: header counts, field list, then one line
              per record, live ones first ('L'), then deleted ones ('D'), fields as hex bytes.
  write FILE  writes a table with python-dbf: umlauts, widths 1 and 254, deleted records.
"""
import sys


def read(path):
    import dbfread
    table = dbfread.DBF(path, encoding='latin-1', raw=True, ignore_missing_memofile=True)
    h = table.header
    print('count', h.numrecords)
    print('headerlen', h.headerlen)
    print('fields', ','.join('%s:%s:%d' % (f.name, f.type, f.length) for f in table.fields))
    for tag, records in (('L', table.records), ('D', table.deleted)):
        for rec in records:
            print(tag, '|'.join(bytes(v).hex() for v in rec.values()))


def write(path):
    import dbf
    table = dbf.Table(path, 'NAME C(20); KURZ C(1); LANG C(254); TEL N(5,0)',
                      dbf_type='db3', codepage='cp1252')
    table.open(dbf.READ_WRITE)
    rows = [
        ('M\u00fcller', 'a', 'x' * 254, 123),
        ('\u00c4rger \u00df', '', 'kurz', 0),
        ('Gel\u00f6scht', 'd', 'weg', 7),
        ('Letzter', 'z', '', 99999),
        ('Auch weg', '', '\u00e9' * 10, 1),
    ]
    for row in rows:
        table.append(row)
    dbf.delete(table[2])
    dbf.delete(table[4])
    table.close()


if __name__ == '__main__':
    {'read': read, 'write': write}[sys.argv[1]](sys.argv[2])
