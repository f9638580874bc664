#!/usr/bin/env bash
# Seeds of the map and tile harnesses: a short line with two stops, a signal
# and a kilometre post as PBF (dense and plain nodes, raw and zlib blocks) and
# as XML (plain, gzip, bzip2); tiles in their zip (deflated, stored, a wrong
# size) and the test tile's own archive.
# Usage: fuzz/semi_mappe.sh    (writes fuzz/corpus/mappa/ and fuzz/corpus/tessera/)
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p fuzz/corpus/mappa fuzz/corpus/tessera
python3 - <<'PY'
import bz2, gzip, struct, zipfile, zlib, io

def varint(n):
    n &= (1 << 64) - 1
    b = bytearray()
    while True:
        x = n & 0x7F
        n >>= 7
        b.append(x | (0x80 if n else 0))
        if not n:
            return bytes(b)

def zz(n):
    return (n << 1) ^ (n >> 63)

def v(num, n):
    return varint(num << 3) + varint(n)

def b(num, dati):
    return varint(num << 3 | 2) + varint(len(dati)) + dati

def impacchetta(valori, f=varint):
    return b"".join(f(x) for x in valori)

def delta(xs):
    prima, r = 0, []
    for x in xs:
        r.append(zz(x - prima))
        prima = x
    return r

def blocco(tipo, dati, zlib_):
    blob = v(2, len(dati)) + b(3, zlib.compress(dati, 9)) if zlib_ else b(1, dati)
    testa = b(1, tipo) + v(3, len(blob))
    return struct.pack(">I", len(testa)) + testa + blob

NODI = [(1, 45.5, 10.5, {"public_transport": "stop_position", "railway": "stop", "name": "Inizio"}),
        (2, 45.5, 10.5025589, {"railway": "signal", "railway:signal:direction": "forward",
                               "railway:signal:main": "DE-ESO:hp"}),
        (3, 45.4999999, 10.5051178, {"railway": "milestone", "railway:position": "12.3"}),
        (4, 45.4998269, 10.5076139, {"railway": "level_crossing"}),
        (5, 45.4993147, 10.5100140, {"public_transport": "stop_position", "railway": "stop",
                                     "name": "Fine"})]
VIA = {"railway": "rail", "maxspeed": "100", "usage": "main"}

def pbf(densi, zlib_):
    testo = [b""]
    def s(x):
        x = x.encode()
        if x not in testo:
            testo.append(x)
        return testo.index(x)
    if densi:
        kv = []
        for _, _, _, t in NODI:
            for k, x in t.items():
                kv += [s(k), s(x)]
            kv.append(0)
        gruppo = b(2, b(1, impacchetta(delta([n[0] for n in NODI])))
                   + b(8, impacchetta(delta([round(n[1] * 1e7) for n in NODI])))
                   + b(9, impacchetta(delta([round(n[2] * 1e7) for n in NODI])))
                   + b(10, impacchetta(kv)))
    else:
        gruppo = b""
        for i, la, lo, t in NODI:
            chiavi = [s(k) for k in t]
            valori = [s(x) for x in t.values()]
            gruppo += b(1, v(1, zz(i)) + b(2, impacchetta(chiavi)) + b(3, impacchetta(valori))
                        + v(8, zz(round(la * 1e7))) + v(9, zz(round(lo * 1e7))))
    via = b(3, v(1, 1) + b(2, impacchetta([s(k) for k in VIA]))
            + b(3, impacchetta([s(x) for x in VIA.values()]))
            + b(8, impacchetta(delta([n[0] for n in NODI]))))
    tabella = b(1, b"".join(b(1, x) for x in testo))
    dati = tabella + b(2, gruppo) + b(2, via) + v(17, 100)
    testa = b(4, b"OsmSchema-V0.6") + b(4, b"DenseNodes")
    return blocco(b"OSMHeader", testa, zlib_) + blocco(b"OSMData", dati, zlib_)

def scrivi(nome, dati):
    open(nome, "wb").write(dati)

m = "fuzz/corpus/mappa/"
scrivi(m + "densi-crudi.pbf", pbf(True, False))
scrivi(m + "nodi-crudi.pbf", pbf(False, False))
scrivi(m + "densi-zlib.pbf", pbf(True, True))
xml = ["<?xml version='1.0' encoding='UTF-8'?>", "<osm version='0.6'>"]
for i, la, lo, t in NODI:
    xml.append("  <node id='%d' lat='%.7f' lon='%.7f'>" % (i, la, lo))
    xml += ["    <tag k='%s' v='%s'/>" % kv for kv in t.items()]
    xml.append("  </node>")
xml.append("  <way id='1'>")
xml += ["    <nd ref='%d'/>" % n[0] for n in NODI]
xml += ["    <tag k='%s' v='%s'/>" % kv for kv in VIA.items()]
xml += ["  </way>", "</osm>", ""]
x = "\n".join(xml).encode()
scrivi(m + "linea.osm", x)
scrivi(m + "linea.osm.gz", gzip.compress(x, 9, mtime=0))
scrivi(m + "linea.osm.bz2", bz2.compress(x, 9))
scrivi(m + "commento.osm.gz", gzip.compress(x.replace(b"<osm", b"<!-- " + b"x" * 4000 + b" --><osm"), 9, mtime=0))

t = "fuzz/corpus/tessera/"
def archivio(nome, dati, metodo):
    f = io.BytesIO()
    with zipfile.ZipFile(f, "w", metodo) as z:
        i = zipfile.ZipInfo(nome, (1980, 1, 1, 0, 0, 0))
        i.compress_type = metodo
        z.writestr(i, dati)
    return f.getvalue()
quote = b"".join(struct.pack(">h", (r * 7 + c) % 400) for r in range(1201) for c in range(1201))
scrivi(t + "deflate.zip", archivio("N45E010.hgt", quote, zipfile.ZIP_DEFLATED))
scrivi(t + "vuoti.zip", archivio("N45E010.hgt", b"\x80\x00" * (1201 * 1201), zipfile.ZIP_DEFLATED))
scrivi(t + "misura-sbagliata.zip", archivio("N45E010.hgt", b"\x00\x01" * 100, zipfile.ZIP_STORED))
scrivi(t + "N50E011.hgt.zip", open("tests/dati/mappe/N50E011.hgt.zip", "rb").read())
PY
ls -la fuzz/corpus/mappa fuzz/corpus/tessera
