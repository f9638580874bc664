#!/usr/bin/env python3
"""Writes the hand-made OpenStreetMap files of the draft's tests: lines of
known shape (straights and circular arcs of given radius, nodes every given
metres) laid on the WGS84 ellipsoid about their first node, so that the
azimuthal equidistant plane about it holds exactly the shape drawn.

    python3 tests/dati/mappe/genera.py tests/dati/mappe
"""
import math
import os
import sys

A = 6378137.0
F = 1 / 298.257223563
B = A * (1 - F)


def diretto(lat, lon, azimut, s):
    """Vincenty's direct problem: the point s metres from (lat, lon) at azimut (degrees)."""
    a1 = math.radians(azimut)
    u1 = math.atan((1 - F) * math.tan(math.radians(lat)))
    s1 = math.atan2(math.tan(u1), math.cos(a1))
    sa = math.cos(u1) * math.sin(a1)
    c2a = 1 - sa * sa
    u2 = c2a * (A * A - B * B) / (B * B)
    ka = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)))
    kb = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)))
    sig = s / (B * ka)
    while True:
        c2m = math.cos(2 * s1 + sig)
        ds = kb * math.sin(sig) * (c2m + kb / 4 * (math.cos(sig) * (-1 + 2 * c2m * c2m) - kb / 6 * c2m * (-3 + 4 * math.sin(sig) ** 2) * (-3 + 4 * c2m * c2m)))
        nuovo = s / (B * ka) + ds
        if abs(nuovo - sig) < 1e-13:
            break
        sig = nuovo
    x = math.sin(u1) * math.sin(sig) - math.cos(u1) * math.cos(sig) * math.cos(a1)
    lat2 = math.atan2(math.sin(u1) * math.cos(sig) + math.cos(u1) * math.sin(sig) * math.cos(a1), (1 - F) * math.hypot(sa, x))
    lam = math.atan2(math.sin(sig) * math.sin(a1), math.cos(u1) * math.cos(sig) - math.sin(u1) * math.sin(sig) * math.cos(a1))
    c = F / 16 * c2a * (4 + F * (4 - 3 * c2a))
    l = lam - (1 - c) * F * sa * (sig + c * math.sin(sig) * (c2m + c * math.cos(sig) * (-1 + 2 * c2m * c2m)))
    return math.degrees(lat2), lon + math.degrees(l)


def traccia(pezzi, passo, x=0.0, y=0.0, rotta=90.0):
    """Points every `passo` metres (and at every piece's end) along pieces
    ('dritto', L) or ('arco', R, degrees; R > 0 turns right), in the plane."""
    punti = [(x, y)]
    th = math.radians(rotta)  # clockwise from north
    for p in pezzi:
        if p[0] == 'dritto':
            n = max(1, round(p[1] / passo))
            for k in range(1, n + 1):
                d = p[1] * k / n
                punti.append((x + d * math.sin(th), y + d * math.cos(th)))
            x, y = punti[-1]
        else:
            r, ang = p[1], math.radians(p[2])
            lungo = abs(r) * ang
            n = max(1, round(lungo / passo))
            segno = 1 if r > 0 else -1
            cx, cy = x + abs(r) * math.sin(th + segno * math.pi / 2), y + abs(r) * math.cos(th + segno * math.pi / 2)
            a0 = th - segno * math.pi / 2
            for k in range(1, n + 1):
                a = a0 + segno * ang * k / n
                punti.append((cx + abs(r) * math.sin(a), cy + abs(r) * math.cos(a)))
            th += segno * ang
            x, y = punti[-1]
    return punti


class mappa:
    def __init__(self, lat, lon):
        self.lat, self.lon = lat, lon
        self.nodi, self.vie, self.etichette = [], [], {}

    def nodo(self, x, y, **tag):
        d = math.hypot(x, y)
        lat, lon = (self.lat, self.lon) if d == 0 else diretto(self.lat, self.lon, math.degrees(math.atan2(x, y)), d)
        self.nodi.append((len(self.nodi) + 1, lat, lon))
        if tag:
            self.etichette[len(self.nodi)] = tag
        return len(self.nodi)

    def via(self, nodi, **tag):
        self.vie.append((len(self.vie) + 1, nodi, dict({'railway': 'rail'}, **tag)))

    def scrivi(self, nome):
        righe = ["<?xml version='1.0' encoding='UTF-8'?>",
                 "<osm version='0.6' generator='genera.py'>"]
        for i, lat, lon in self.nodi:
            tag = self.etichette.get(i)
            apri = f"  <node id='{i}' lat='{lat:.7f}' lon='{lon:.7f}'"
            if not tag:
                righe.append(apri + '/>')
                continue
            righe.append(apri + '>')
            righe += [f"    <tag k='{k.replace('__', ':')}' v='{v}'/>" for k, v in tag.items()]
            righe.append('  </node>')
        for i, nodi, tag in self.vie:
            righe.append(f"  <way id='{i}'>")
            righe += [f"    <nd ref='{n}'/>" for n in nodi]
            righe += [f"    <tag k='{k.replace('__', ':')}' v='{v}'/>" for k, v in tag.items()]
            righe.append('  </way>')
        righe.append('</osm>')
        with open(nome, 'w', encoding='utf-8') as f:
            f.write('\n'.join(righe) + '\n')


FERMATA = {'public_transport': 'stop_position', 'railway': 'stop'}


def linea(m, punti, da, a, **tag):
    nodi = [m.nodo(x, y, **(dict(FERMATA, name=da) if i == 0 else dict(FERMATA, name=a) if i == len(punti) - 1 else {}))
            for i, (x, y) in enumerate(punti)]
    m.via(nodi, **tag)
    return nodi


def semplice(nome, pezzi, passo, **tag):
    m = mappa(45.5, 10.5)
    linea(m, traccia(pezzi, passo), 'Inizio', 'Fine', maxspeed='100', **tag)
    m.scrivi(nome)


def doppio(nome):
    """Two tracks 4.5 m apart round a curve, the crossovers between them."""
    m = mappa(45.5, 10.5)
    pezzi = [('dritto', 800), ('arco', -1000, 60), ('dritto', 800)]
    sud = traccia(pezzi, 20)
    nord = traccia([('dritto', 800), ('arco', -995.5, 60), ('dritto', 800)], 20, x=0, y=4.5)
    ns = [m.nodo(x, y, **(dict(FERMATA, name='Ovest') if i == 0 else dict(FERMATA, name='Est') if i == len(sud) - 1 else {})) for i, (x, y) in enumerate(sud)]
    nn = [m.nodo(x, y, **(dict(FERMATA, name='Ovest') if i == 0 else dict(FERMATA, name='Est') if i == len(nord) - 1 else {})) for i, (x, y) in enumerate(nord)]
    m.via(ns, maxspeed='120', usage='main', **{'railway__preferred_direction': 'forward'})
    m.via(nn, maxspeed='120', usage='main', **{'railway__preferred_direction': 'backward'})
    for k in (20, 60, 100):
        m.via([ns[k], nn[k + 1]], service='crossover')
        m.via([nn[k + 3], ns[k + 4]], service='crossover')
    m.scrivi(nome)


def ponte(nome):
    """Four kilometres straight east, the middle 600 m on a bridge."""
    m = mappa(45.5, 10.5)
    p = traccia([('dritto', 4000)], 50)
    nodi = [m.nodo(x, y, **(dict(FERMATA, name='Inizio') if i == 0 else dict(FERMATA, name='Fine') if i == len(p) - 1 else {})) for i, (x, y) in enumerate(p)]
    m.via(nodi[:35], maxspeed='100')
    m.via(nodi[34:47], maxspeed='100', bridge='yes', layer='1')
    m.via(nodi[46:], maxspeed='100')
    m.scrivi(nome)


def staccati(nome):
    """Two lines that do not meet."""
    m = mappa(45.5, 10.5)
    linea(m, traccia([('dritto', 1000)], 50), 'Inizio', 'Mezzo')
    linea(m, traccia([('dritto', 1000)], 50, x=0, y=300), 'Altrove', 'Fine')
    m.scrivi(nome)


def accanto(nome):
    """A double track three kilometres east, nodes 200 m apart: a station
    drawn only as a node 40 m north of it, and a bus station of its name with
    a stop position of buses south of it; a stop position at each end."""
    m = mappa(45.5, 10.5)
    for dy, senso in ((0, 'forward'), (4.5, 'backward')):
        p = traccia([('dritto', 3000)], 200, x=0, y=dy)
        nodi = [m.nodo(x, y, **(dict(FERMATA, name='Ovest') if i == 0 else dict(FERMATA, name='Est') if i == len(p) - 1 else {})) for i, (x, y) in enumerate(p)]
        m.via(nodi, maxspeed='120', usage='main', **{'railway__preferred_direction': senso})
    m.nodo(1090, 44.5, railway='station', name='Centrale')
    m.nodo(1350, -60, amenity='bus_station', name='Centrale')
    m.nodo(1300, -25, public_transport='stop_position', bus='yes', name='Centrale')
    m.scrivi(nome)


def capolinea(nome):
    """Two kilometres east; the terminus' stop 100 m before the rails end."""
    m = mappa(45.5, 10.5)
    p = traccia([('dritto', 2000)], 50)
    nodi = [m.nodo(x, y, **(dict(FERMATA, name='Inizio') if i == 0 else dict(FERMATA, name='Fine') if i == len(p) - 3 else {})) for i, (x, y) in enumerate(p)]
    m.via(nodi, maxspeed='100')
    m.scrivi(nome)


def racchetta(nome):
    """Two kilometres east, Ovest, Mezzo and Est 1 km apart, then a loop that
    brings trains back west through Est: from Est to Mezzo is 6.6 km round it."""
    m = mappa(45.5, 10.5)
    p = traccia([('dritto', 2000)], 50)
    nomi = {0: 'Ovest', 20: 'Mezzo', 40: 'Est'}
    nodi = [m.nodo(x, y, **(dict(FERMATA, name=nomi[i]) if i in nomi else {})) for i, (x, y) in enumerate(p)]
    m.via(nodi, maxspeed='100')

    def anello(r):
        return traccia([('arco', -2000, 40), ('arco', r, 260), ('arco', -2000, 40)], 20, x=2000, y=0)

    # The middle arc's radius that brings the loop back to its start.
    basso, alto = 200.0, 2000.0
    for _ in range(100):
        r = (basso + alto) / 2
        meta = anello(r)[len(anello(r)) // 2]
        basso, alto = (r, alto) if meta[1] > 0 else (basso, r)
    giro = anello(r)
    m.via([nodi[-1]] + [m.nodo(x, y) for x, y in giro[1:-1]] + [nodi[-1]], maxspeed='100')
    m.scrivi(nome)


if __name__ == '__main__':
    d = sys.argv[1] if len(sys.argv) > 1 else '.'
    semplice(os.path.join(d, 'cerchio.osm'), [('dritto', 500), ('arco', 1000, 90), ('dritto', 500)], 10)
    semplice(os.path.join(d, 'esse.osm'), [('dritto', 300), ('arco', 500, 40), ('arco', -1000, 40), ('dritto', 300)], 10)
    semplice(os.path.join(d, 'rado.osm'), [('dritto', 400), ('arco', 1000, 90), ('dritto', 400)], 200)
    semplice(os.path.join(d, 'stretta.osm'), [('dritto', 500), ('arco', 200, 60), ('dritto', 800)], 10)
    doppio(os.path.join(d, 'doppio.osm'))
    ponte(os.path.join(d, 'ponte.osm'))
    staccati(os.path.join(d, 'staccati.osm'))
    accanto(os.path.join(d, 'accanto.osm'))
    capolinea(os.path.join(d, 'capolinea.osm'))
    racchetta(os.path.join(d, 'racchetta.osm'))
