"""Tables cross between our engine and two independent dBASE libraries.

Usage: interop_test.py DBFTOOL
Ends with the line 'N passed, M failed'.
"""
import datetime
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

TOOL = sys.argv[1]
results = []


def check(name, expected, actual):
    ok = expected == actual
    results.append(ok)
    print(("ok   " if ok else "FAIL ") + name)
    if not ok:
        print("     expected: %r\n     actual:   %r" % (expected, actual))


def ours_read_by_dbfread(tmp):
    path = os.path.join(tmp, "ours.dbf")
    subprocess.run([TOOL, "sample", path], check=True)
    live = list(dbfread.DBF(path))
    every = list(dbfread.DBF(path, ignore_missing_memofile=True, load=True))
    deleted = dbfread.DBF(path, load=True).deleted
    check("dbfread sees the live records", 2, len(live))
    check("dbfread sees the deleted record", ["Bruno"], [r["NAME"] for r in deleted])
    first, third = live
    check("character field", ("Ada", "Chiara Okafo"), (first["NAME"], third["NAME"]))
    check("numeric field without decimals", (3, 0), (first["QTY"], third["QTY"]))
    check("numeric field with decimals", (12.5, 123456.78), (first["PRICE"], third["PRICE"]))
    check("float field", (0.125, -2.0), (first["RATE"], third["RATE"]))
    check("date field", (datetime.date(1999, 12, 31), datetime.date(2026, 12, 8)),
          (first["BORN"], third["BORN"]))
    check("logical field", (True, True), (first["ACTIVE"], third["ACTIVE"]))
    check("negative numbers", (-40, -7.25), (deleted[0]["QTY"], deleted[0]["PRICE"]))
    check("all records counted", 2, len(every))


def dbf_written_read_by_ours(tmp):
    path = os.path.join(tmp, "theirs.dbf")
    table = dbf.Table(path, "name C(15); qty N(6,0); price N(10,2); born D; ok L",
                      dbf_type="db3", codepage="cp437")
    table.open(dbf.READ_WRITE)
    table.append(("Ada", 42, 3.5, datetime.date(2001, 2, 3), True))
    table.append(("Bruno", -7, -1234.25, datetime.date(1970, 1, 1), False))
    table.append(("Gone", 1, 1, datetime.date(2020, 5, 6), True))
    dbf.delete(table[2])
    table.close()

    out = subprocess.run([TOOL, "dump", path], check=True, capture_output=True, text=True).stdout
    lines = out.splitlines()
    check("our engine opens the table", "records 3 fields 5", lines[0])
    check("field descriptors", ["field NAME C 15 0", "field QTY N 6 0", "field PRICE N 10 2",
                                "field BORN D 8 0", "field OK L 1 0"], lines[1:6])
    check("first record", "1  |Ada            |    42|      3.50|20010203|T|", lines[6])
    check("second record", "2  |Bruno          |    -7|  -1234.25|19700101|F|", lines[7])
    check("deleted record keeps its mark", "3 *|Gone           |     1|      1.00|20200506|T|",
          lines[8])


with tempfile.TemporaryDirectory() as tmp:
    ours_read_by_dbfread(tmp)
    dbf_written_read_by_ours(tmp)

failed = results.count(False)
print("%d passed, %d failed" % (len(results) - failed, failed))
sys.exit(1 if failed else 0)
