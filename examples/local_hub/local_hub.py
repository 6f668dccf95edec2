#!/usr/bin/env python3
"""A small product hub of our own, for tests and the examples.

It answers on 127.0.0.1 only, on a free port, and stops by itself after
--lifetime seconds.  It speaks both hub grammars the downloaders use:

  OData v4   GET  /odata/v1/Products?$filter=...&$orderby=...&$top=...&$skip=...
             GET  /odata/v1/Products(<Id>)/$value            (Bearer token)
             POST /auth/realms/CDSE/protocol/openid-connect/token
  DHuS       GET  /dhus/search?q=<legacy query>&start=N&rows=R  (Basic auth)
             GET  /dhus/odata/v1/Products('<uuid>')/$value
             GET  /dhus/odata/v1/Products('<uuid>')/Checksum/Value/$value

The catalogue is generated: Sentinel-1 and Sentinel-2 products with real
footprints, dates, orbits and polarisations, each a small zip archive with the
SAFE layout.  Filters are evaluated, so a wrong translation finds the wrong
products.  Faults are chosen per run by options (see --help).  Every request
is logged as one JSON line to --log.

With --aux it also serves the Sentinel-1 auxiliary files: in the OData
catalogue, in a public orbit bucket and in a calibration service's JSON API
(see local_hub_aux.py).
"""

import argparse
import base64
import datetime as dt
import hashlib
import io
import json
import os
import random
import re
import signal
import sys
import tempfile
import threading
import time
import urllib.parse
import uuid
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import local_hub_aux

TOKEN_PATH = "/auth/realms/CDSE/protocol/openid-connect/token"
EPOCH = dt.datetime(2019, 5, 1, tzinfo=dt.timezone.utc)

# ---------------------------------------------------------------- catalogue

# (platform, mode, type, polarisation, direction, relative orbit, day, lon, lat)
# The example area of interest is 10.5..12 E, 44.75..46.25 N, May 2019.
BASE_PRODUCTS = [
    ("S1A", "IW", "GRDH", "VV&VH", "ASCENDING", 117, 3, 10.9, 45.2),
    ("S1A", "IW", "GRDH", "VV&VH", "ASCENDING", 117, 15, 11.1, 45.6),
    ("S1B", "IW", "GRDH", "VV&VH", "ASCENDING", 117, 9, 11.4, 45.0),
    ("S1A", "IW", "SLC_", "VV&VH", "ASCENDING", 117, 3, 10.9, 45.2),
    ("S1A", "IW", "GRDH", "VV&VH", "DESCENDING", 168, 6, 11.2, 45.4),
    ("S1A", "IW", "GRDH", "HH&HV", "ASCENDING", 117, 21, 11.0, 45.5),
    ("S1A", "EW", "GRDM", "HH&HV", "ASCENDING", 44, 12, 11.3, 45.3),
    ("S1A", "IW", "GRDH", "VV&VH", "ASCENDING", 117, 27, 30.0, 60.0),
    ("S1A", "IW", "GRDH", "VV&VH", "ASCENDING", 117, 5, 11.0, 45.3, 2018),
    ("S1B", "IW", "GRDH", "VV", "ASCENDING", 15, 18, 11.6, 45.8),
    ("S1A", "IW", "RAW_", "VV&VH", "ASCENDING", 117, 24, 11.2, 45.1),
    ("S1A", "IW", "OCN_", "VV&VH", "ASCENDING", 117, 30, 11.2, 45.1),
]
S2_PRODUCTS = [("S2A", "S2MSI1C", 7, 11.2, 45.4), ("S2B", "S2MSI2A", 17, 11.5, 45.7)]


def footprint(lon, lat, half_width=1.2, half_height=0.9):
    """A slightly skewed quadrilateral around (lon, lat), closed, lon-lat."""
    ring = [(lon - half_width, lat - half_height), (lon + half_width - 0.2, lat - half_height + 0.1),
            (lon + half_width, lat + half_height), (lon - half_width + 0.2, lat + half_height - 0.1)]
    return ring + [ring[0]]


def wkt(ring):
    return "POLYGON ((" + ", ".join("%.6f %.6f" % p for p in ring) + "))"


class Product:
    def __init__(self, seed, **fields):
        self.__dict__.update(fields)
        rng = random.Random(seed)
        self.id = str(uuid.UUID(int=rng.getrandbits(128), version=4))
        self.online = True
        self.path = None
        self.size = 0
        self.md5 = ""
        self.blake3_only = False

    def attributes(self):
        a = [("productType", "String", self.ptype), ("platformShortName", "String", self.platform_name.upper())]
        if self.platform_name == "Sentinel-1":
            a += [("operationalMode", "String", self.mode), ("polarisationChannels", "String", self.pol),
                  ("orbitDirection", "String", self.direction),
                  ("relativeOrbitNumber", "Integer", self.relorbit), ("orbitNumber", "Integer", self.absorbit)]
        return a

    def odata(self, base):
        checks = [] if not self.md5 else [{"Value": self.md5, "Algorithm": "MD5", "ChecksumDate": iso(self.start)}]
        if self.blake3_only:
            # No BLAKE3 in the standard library: the value is a stand-in that
            # no client can verify, which is exactly the case to exercise.
            checks = [{"Value": hashlib.sha256(self.name.encode()).hexdigest(), "Algorithm": "BLAKE3"}]
        return {
            "@odata.mediaContentType": "application/octet-stream",
            "Id": self.id, "Name": self.name, "ContentType": "application/octet-stream",
            "ContentLength": self.size, "Online": self.online,
            "ContentDate": {"Start": iso(self.start), "End": iso(self.stop)},
            "Footprint": "geography'SRID=4326;" + wkt(self.ring) + "'",
            "GeoFootprint": {"type": "Polygon", "coordinates": [[list(p) for p in self.ring]]},
            "Checksum": checks,
            "Attributes": [{"@odata.type": "#OData.CSC.%sAttribute" % t, "Name": n, "Value": v, "ValueType": t}
                           for n, t, v in self.attributes()],
        }


def iso(t):
    return t.strftime("%Y-%m-%dT%H:%M:%S.") + "%06dZ" % t.microsecond


def make_catalogue(args, store):
    products = []
    for i, row in enumerate(BASE_PRODUCTS):
        sat, mode, ptype, pol, direction, relorbit, day, lon, lat = row[:9]
        year = row[9] if len(row) > 9 else 2019
        start = EPOCH.replace(year=year) + dt.timedelta(days=day - 1, hours=5, minutes=12, seconds=7 * i)
        stop = start + dt.timedelta(seconds=25)
        absorbit = 27000 + 12 * day + i
        level = "0" if ptype.startswith("RAW") else ("2" if ptype.startswith("OCN") else "1")
        pcode = ("D" if "&" in pol else "S") + ("V" if pol.startswith("V") else "H")
        name = "%s_%s_%s_%sS%s_%s_%s_%06d_%06X_%04X.SAFE" % (
            sat, mode, ptype, level, pcode, start.strftime("%Y%m%dT%H%M%S"), stop.strftime("%Y%m%dT%H%M%S"),
            absorbit, 0x30000 + i, 0x1A2F + i)
        detailed = "%s_%s_%sS" % (mode, ptype if len(ptype) == 4 else ptype + "_", level)
        products.append(Product(i, name=name, platform_name="Sentinel-1", ptype=detailed, mode=mode, pol=pol,
                                direction=direction, relorbit=relorbit, absorbit=absorbit, start=start, stop=stop,
                                ring=footprint(lon, lat)))
    for j, (sat, ptype, day, lon, lat) in enumerate(S2_PRODUCTS):
        start = EPOCH + dt.timedelta(days=day - 1, hours=10, minutes=20)
        name = "%s_MSI%s_%s_N0207_R022_T32TQR_%s.SAFE" % (
            sat, ptype[5:], start.strftime("%Y%m%dT%H%M%S"), start.strftime("%Y%m%dT%H%M%S"))
        products.append(Product(100 + j, name=name, platform_name="Sentinel-2", ptype=ptype, start=start,
                                stop=start, ring=footprint(lon, lat, 0.6, 0.5)))
    for p in products:
        build_archive(p, args.product_bytes, store)
    # Filler products, for paging: searchable, not downloadable.
    for k in range(args.filler):
        start = EPOCH + dt.timedelta(seconds=60 * k + 30)
        name = "S1A_IW_GRDH_1SDV_%s_%s_%06d_%06X_F%03X.SAFE" % (
            start.strftime("%Y%m%dT%H%M%S"), (start + dt.timedelta(seconds=25)).strftime("%Y%m%dT%H%M%S"),
            30000 + k, 0x40000 + k, k % 4096)
        p = Product(1000 + k, name=name, platform_name="Sentinel-1", ptype="IW_GRDH_1S", mode="IW", pol="VV&VH",
                    direction="ASCENDING", relorbit=117, absorbit=30000 + k, start=start,
                    stop=start + dt.timedelta(seconds=25), ring=footprint(11.0, 45.5))
        p.size = 1000
        products.append(p)
    if args.aux:
        products += local_hub_aux.make_aux_catalogue(args, store)
    for name in args.offline:
        find_named(products, name).online = False
    for name in args.blake3_only:
        find_named(products, name).blake3_only = True
    for name in args.wrong_checksum:
        p = find_named(products, name)
        p.md5 = "0" * 32
    return products


def find_named(products, text):
    for p in products:
        if text in p.name:
            return p
    sys.exit("local hub: no product matches %r" % text)


def build_archive(p, payload_bytes, store):
    """A zip with the SAFE layout: manifest and measurement folder."""
    safe = p.name
    path = os.path.join(store, p.id + ".zip")
    rng = random.Random(p.id)
    # Sentinel-1 manifests name the instrument configuration (7 for all).
    configuration = ("<s1sarl1:standAloneProductInformation xmlns:s1sarl1=\"http://www.esa.int/safe/sentinel-1.0/"
                     "sentinel-1/sar/level-1\"><s1sarl1:instrumentConfigurationID>7</s1sarl1:instrumentConfigurationID>"
                     "</s1sarl1:standAloneProductInformation>") if p.platform_name == "Sentinel-1" else ""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
        z.writestr(safe + "/manifest.safe",
                   "<?xml version=\"1.0\"?>\n<xfdu:XFDU xmlns:xfdu=\"urn:ccsds:schema:xfdu:1\">"
                   "<metadataSection><product name=\"%s\" start=\"%s\"/>%s</metadataSection></xfdu:XFDU>\n"
                   % (p.name, iso(p.start), configuration))
        z.writestr(safe + "/measurement/" + p.name[:3].lower() + "-measurement.tiff", rng.randbytes(payload_bytes))
        z.writestr(safe + "/annotation/", "")
    p.path = path
    p.size = os.path.getsize(path)
    h = hashlib.md5()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    p.md5 = h.hexdigest()


# ------------------------------------------------------------ geometry

def parse_ring(text):
    pts = [tuple(float(v) for v in pair.split()) for pair in text.split(",")]
    return pts


def segments_cross(a, b, c, d):
    def orient(p, q, r):
        v = (q[0] - p[0]) * (r[1] - p[1]) - (q[1] - p[1]) * (r[0] - p[0])
        return (v > 0) - (v < 0)
    o1, o2, o3, o4 = orient(a, b, c), orient(a, b, d), orient(c, d, a), orient(c, d, b)
    return o1 != o2 and o3 != o4


def inside(pt, ring):
    x, y, hit = pt[0], pt[1], False
    for (x1, y1), (x2, y2) in zip(ring, ring[1:]):
        if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
            hit = not hit
    return hit


def intersects(r1, r2):
    if any(inside(p, r2) for p in r1) or any(inside(p, r1) for p in r2):
        return True
    return any(segments_cross(a, b, c, d) for a, b in zip(r1, r1[1:]) for c, d in zip(r2, r2[1:]))


def parse_time(text):
    text = text.strip().strip("'")
    if text == "NOW":
        return dt.datetime.now(dt.timezone.utc)
    text = text.rstrip("Z")
    return dt.datetime.fromisoformat(text).replace(tzinfo=dt.timezone.utc)


# ------------------------------------------------------ OData $filter

ODATA_TOKEN = re.compile(r"\s*(\(|\)|'(?:[^']|'')*'|geography'[^']*'|[A-Za-z_][\w./]*(?::[\w./]+)?|"
                         r"[-+]?\d{4}-\d\d-\d\dT[\d:.]+Z?|[-+]?\d+(?:\.\d+)?|,|=)")


class FilterError(Exception):
    pass


class ODataFilter:
    """Evaluates the part of the OData grammar the downloaders send."""

    def __init__(self, text):
        self.tokens, pos = [], 0
        while pos < len(text):
            m = ODATA_TOKEN.match(text, pos)
            if not m or m.end() == pos:
                if text[pos:].strip() == "":
                    break
                raise FilterError("cannot read the filter at: " + text[pos:pos + 30])
            self.tokens.append(m.group(1))
            pos = m.end()
        self.i = 0
        self.tree = self.expr()
        if self.i != len(self.tokens):
            raise FilterError("unexpected " + self.tokens[self.i])

    def peek(self):
        return self.tokens[self.i] if self.i < len(self.tokens) else None

    def take(self, want=None):
        tok = self.peek()
        if tok is None or (want is not None and tok != want):
            raise FilterError("expected %s, found %s" % (want, tok))
        self.i += 1
        return tok

    def chain(self, word, operand, combine):
        """operand (word operand)*, left to right."""
        node = operand()
        while self.peek() == word:
            self.take()
            left, right = node, operand()
            node = lambda p, l=left, r=right: combine(l(p), r(p))
        return node

    def expr(self):
        return self.chain("or", self.term, lambda a, b: a or b)

    def term(self):
        return self.chain("and", self.factor, lambda a, b: a and b)

    def factor(self):
        tok = self.peek()
        if tok == "not":
            self.take()
            inner = self.factor()
            return lambda p: not inner(p)
        if tok == "(":
            self.take()
            node = self.expr()
            self.take(")")
            return node
        if tok in ("contains", "startswith", "endswith"):
            self.take()
            self.take("(")
            self.take("Name")
            self.take(",")
            value = unquote(self.take())
            self.take(")")
            test = {"contains": str.__contains__, "startswith": str.startswith, "endswith": str.endswith}[tok]
            return lambda p: test(p.name, value)
        if tok == "OData.CSC.Intersects":
            self.take()
            self.take("(")
            self.take("area")
            self.take("=")
            geo = self.take()
            self.take(")")
            m = re.fullmatch(r"geography'SRID=4326;POLYGON\s*\(\((.*)\)\)'", geo)
            if not m:
                raise FilterError("bad area " + geo)
            ring = parse_ring(m.group(1))
            if ring[0] != ring[-1]:
                raise FilterError("polygon not closed")
            return lambda p: intersects(p.ring, ring)
        if tok and tok.startswith("Attributes/OData.CSC."):
            return self.attribute()
        field = self.take()
        op = self.take()
        value = self.take()
        getter = {"Collection/Name": lambda p: p.platform_name.upper(), "Name": lambda p: p.name,
                  "ContentDate/Start": lambda p: p.start, "ContentDate/End": lambda p: p.stop}.get(field)
        if getter is None:
            raise FilterError("unknown property " + field)
        target = parse_time(value) if field.startswith("ContentDate") else unquote(value)
        return lambda p: compare(getter(p), op, target)

    def attribute(self):
        m = re.fullmatch(r"Attributes/OData\.CSC\.(\w+)Attribute/any", self.take())
        if not m:
            raise FilterError("bad attribute test")
        kind = m.group(1)
        self.take("(")
        lam = self.take()
        if lam != "att:att/Name":
            raise FilterError("bad lambda " + lam)
        self.take("eq")
        name = unquote(self.take())
        self.take("and")
        value_path = "att/OData.CSC.%sAttribute/Value" % kind
        if self.peek() == "contains":
            self.take()
            self.take("(")
            self.take(value_path)
            self.take(",")
            value = unquote(self.take())
            self.take(")")
            test = lambda v: isinstance(v, str) and value in v
        else:
            self.take(value_path)
            op = self.take()
            raw = self.take()
            value = unquote(raw) if kind == "String" else float(raw)
            test = lambda v: compare(v, op, value)
        self.take(")")

        def check(p):
            return any(n == name and t == kind and test(v) for n, t, v in p.attributes())
        return check


def unquote(tok):
    if not (tok.startswith("'") and tok.endswith("'")):
        raise FilterError("expected a quoted text, found " + tok)
    return tok[1:-1].replace("''", "'")


def compare(a, op, b):
    return {"eq": a == b, "ne": a != b, "lt": a < b, "le": a <= b, "gt": a > b, "ge": a >= b}[op]


# ------------------------------------------------------ legacy grammar

def legacy_filter(q):
    """Evaluates the legacy grammar (DHuS `q=`)."""
    clauses = split_top(q, " AND ")

    def atom(text):
        text = text.strip()
        while text.startswith("(") and text.endswith(")") and balanced(text[1:-1]):
            text = text[1:-1].strip()
        ors = split_top(text, " OR ")
        if len(ors) > 1:
            tests = [atom(t) for t in ors]
            return lambda p: any(t(p) for t in tests)
        key, _, value = text.partition(":")
        value = value.strip()
        if value.startswith('"') and value.endswith('"'):
            value = value[1:-1]
        if key == "platformname":
            return lambda p: p.platform_name.lower() == value.lower()
        if key == "productType":
            return lambda p: p.ptype == value or ("_" + value) in p.name
        if key == "sensorOperationalMode":
            return lambda p: getattr(p, "mode", None) == value
        if key == "polarisationMode":
            return lambda p: all(c in getattr(p, "pol", "") for c in value.split())
        if key == "orbitDirection":
            return lambda p: getattr(p, "direction", "").upper() == value.upper()
        if key == "relativeOrbitNumber":
            return lambda p: getattr(p, "relorbit", None) == int(value)
        if key == "footprint":
            m = re.fullmatch(r"Intersects\(POLYGON\(\((.*)\)\)\)", value)
            ring = parse_ring(m.group(1))
            return lambda p: intersects(p.ring, ring)
        if key == "beginPosition":
            m = re.fullmatch(r"\[(\S+) TO (\S+)\]", value)
            lo, hi = m.group(1), m.group(2)
            return lambda p: (lo == "*" or p.start >= parse_time(lo)) and (hi in ("*", "NOW") or p.start <= parse_time(hi))
        raise FilterError("unknown key " + key)

    tests = [atom(c) for c in clauses if c.strip()]
    return lambda p: all(t(p) for t in tests)


def balanced(text):
    depth = 0
    for c in text:
        depth += (c == "(") - (c == ")")
        if depth < 0:
            return False
    return depth == 0


def split_top(text, sep):
    parts, depth, quoted, start, i = [], 0, False, 0, 0
    while i < len(text):
        c = text[i]
        if c == '"':
            quoted = not quoted
        elif not quoted and c in "([":
            depth += 1
        elif not quoted and c in ")]":
            depth -= 1
        elif not quoted and depth == 0 and text.startswith(sep, i):
            parts.append(text[start:i])
            i += len(sep)
            start = i
            continue
        i += 1
    parts.append(text[start:])
    return parts


# ----------------------------------------------------------- server

class Hub:
    def __init__(self, args):
        self.args = args
        self.store = tempfile.mkdtemp(prefix="local_hub_")
        self.products = make_catalogue(args, self.store)
        self.aux_files = [p for p in self.products if isinstance(p, local_hub_aux.AuxFile)]
        self.by_id = {p.id: p for p in self.products}
        self.lock = threading.Lock()
        self.tokens = {}          # access token -> expiry (monotonic)
        self.refresh_tokens = set()
        self.cut_done = set()
        self.throttled = 0
        self.offline_polls = {}
        self.active = 0
        self.log = open(args.log, "a") if args.log else None
        self.storage_port = None

    def record(self, **entry):
        entry["t"] = round(time.monotonic(), 3)
        if self.log:
            with self.lock:
                self.log.write(json.dumps(entry) + "\n")
                self.log.flush()

    def new_token(self):
        token = base64.urlsafe_b64encode(os.urandom(18)).decode()
        refresh = base64.urlsafe_b64encode(os.urandom(18)).decode()
        with self.lock:
            self.tokens[token] = time.monotonic() + self.args.token_lifetime
            self.refresh_tokens.add(refresh)
        return {"access_token": token, "expires_in": self.args.token_lifetime, "refresh_token": refresh,
                "refresh_expires_in": 3600, "token_type": "Bearer"}

    def token_valid(self, header):
        if not header or not header.startswith("Bearer "):
            return False
        with self.lock:
            expiry = self.tokens.get(header[7:])
        return expiry is not None and time.monotonic() < expiry

    def basic_valid(self, header):
        if not header or not header.startswith("Basic "):
            return False
        user, _, password = base64.b64decode(header[6:]).decode().partition(":")
        return user == self.args.user and password == self.args.password and not self.args.reject_login


def make_handler(hub, role):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *a):
            pass

        def reply(self, status, body=b"", ctype="application/json", headers=()):
            if isinstance(body, str):
                body = body.encode()
            self.send_response(status)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(body)))
            for k, v in headers:
                self.send_header(k, v)
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(body)
            return status

        def do_POST(self):
            length = int(self.headers.get("Content-Length", 0))
            form = urllib.parse.parse_qs(self.rfile.read(length).decode())
            grant = form.get("grant_type", [""])[0]
            status = 404
            if self.path == TOKEN_PATH:
                if grant == "password":
                    ok = (form.get("username", [""])[0] == hub.args.user and form.get("password", [""])[0] ==
                          hub.args.password and form.get("client_id", [""])[0] == hub.args.client_id
                          and not hub.args.reject_login)
                    status = self.reply(200, json.dumps(hub.new_token())) if ok else self.reply(
                        401, '{"error":"invalid_grant","error_description":"Invalid user credentials"}')
                elif grant == "refresh_token" and form.get("refresh_token", [""])[0] in hub.refresh_tokens:
                    status = self.reply(200, json.dumps(hub.new_token()))
                else:
                    status = self.reply(400, '{"error":"invalid_grant"}')
            else:
                self.reply(404, "{}")
            hub.record(role=role, method="POST", path=self.path, grant=grant, status=status)

        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query)
            auth = self.headers.get("Authorization")
            entry = dict(role=role, method="GET", path=url.path, query=url.query, range=self.headers.get("Range"),
                         auth=auth is not None)
            try:
                entry["status"] = self.route(url.path, query, auth)
            except (BrokenPipeError, ConnectionResetError):
                entry["status"] = "cut by client"
            hub.record(**entry)

        do_HEAD = do_GET

        def route(self, path, query, auth):
            if role == "storage":
                m = re.fullmatch(r"/store/([\w-]+)", path)
                return self.send_product(hub.by_id[m.group(1)]) if m and m.group(1) in hub.by_id else self.reply(404)
            if path.startswith("/odata/") and "odata" in hub.args.down:
                return self.reply(503, '{"detail":"Service Unavailable"}')
            if hub.args.aux:
                answer = local_hub_aux.route(self, hub, path, query)
                if answer is not None:
                    return answer
            if path == "/odata/v1/Products":
                return self.odata_search(query)
            m = re.fullmatch(r"/odata/v1/Products\(([\w-]+)\)/\$value", path)
            if m:
                return self.odata_download(m.group(1), auth)
            if path == "/dhus/search":
                return self.dhus_search(query, auth)
            m = re.fullmatch(r"/dhus/odata/v1/Products\('([\w-]+)'\)(/Checksum/Value)?/\$value", path)
            if m:
                return self.dhus_download(m.group(1), m.group(2) is not None, auth)
            return self.reply(404, '{"detail":"Not found"}')

        def odata_search(self, query):
            top = int(query.get("$top", ["20"])[0])
            skip = int(query.get("$skip", ["0"])[0])
            if top > 1000 or top < 0:
                return self.reply(422, '{"detail":[{"loc":["query","$top"],"msg":"Input should be less than or '
                                       'equal to 1000"}]}')
            if skip > hub.args.max_skip:
                return self.reply(422, '{"detail":[{"type":"less_than_equal","loc":["query","$skip"],"msg":"Input '
                                       'should be less than or equal to %d"}]}' % hub.args.max_skip)
            try:
                test = ODataFilter(query.get("$filter", [""])[0]).tree if query.get("$filter") else (lambda p: True)
            except FilterError as e:
                return self.reply(400, json.dumps({"detail": "Invalid filter: %s" % e}))
            found = sorted((p for p in hub.products if test(p)), key=lambda p: (p.start, p.id))
            page = found[skip:skip + top]
            body = {"@odata.context": "$metadata#Products(Attributes())",
                    "value": [p.odata(self.base()) for p in page]}
            if skip + top < len(found) and skip + top <= hub.args.max_skip:
                body["@odata.nextLink"] = "%s/odata/v1/Products?%s" % (self.base(), urllib.parse.urlencode(
                    {**{k: v[0] for k, v in query.items()}, "$skip": str(skip + top)}))
            return self.reply(200, json.dumps(body))

        def base(self):
            return "http://127.0.0.1:%d" % self.server.server_address[1]

        def odata_download(self, pid, auth):
            if not hub.token_valid(auth):
                return self.reply(401, '{"detail":"Expired signature!"}')
            p = hub.by_id.get(pid)
            if p is None or p.path is None:
                return self.reply(404, '{"detail":"Product not found"}')
            if not p.online:
                return self.reply(422, '{"detail":"Product is offline"}')
            if self.throttle():
                return self.reply(429, '{"code":"DAT-ZIP-100","message":"Max session number exceeded"}',
                                  headers=[("Retry-After", str(hub.args.retry_after))])
            if hub.args.redirect and hub.storage_port:
                with hub.lock:
                    hub.active -= 1
                return self.reply(302, "", headers=[("Location", "http://127.0.0.1:%d/store/%s" % (
                    hub.storage_port, p.id))])
            return self.send_product(p)

        def throttle(self):
            with hub.lock:
                hub.active += 1
                over = hub.active > hub.args.max_sessions
                first = hub.throttled < hub.args.throttle
                if first:
                    hub.throttled += 1
                if over or first:
                    hub.active -= 1
                    return True
            return False

        def send_product(self, p):
            try:
                return self.stream_file(p)
            finally:
                if role == "hub":
                    with hub.lock:
                        hub.active -= 1

        def stream_file(self, p):
            size = p.size
            first = 0
            rng = self.headers.get("Range")
            m = re.fullmatch(r"bytes=(\d+)-", rng or "")
            ranged = m is not None and not hub.args.no_range
            if ranged:
                first = int(m.group(1))
                if first >= size:
                    return self.reply(416, "", headers=[("Content-Range", "bytes */%d" % size)])
            self.send_response(206 if ranged else 200)
            self.send_header("Content-Type", "application/zip")
            self.send_header("Content-Length", str(size - first))
            if ranged:
                self.send_header("Content-Range", "bytes %d-%d/%d" % (first, size - 1, size))
            self.send_header("Content-Disposition", 'attachment; filename="%s.zip"' % p.name[:-5])
            self.end_headers()
            if self.command == "HEAD":
                return 206 if ranged else 200
            cut = None
            with hub.lock:
                if hub.args.cut_after and p.id not in hub.cut_done:
                    hub.cut_done.add(p.id)
                    cut = hub.args.cut_after
            sent, chunk = first, 1 << 16
            started = time.monotonic()
            with open(p.path, "rb") as f:
                if not cut and not hub.args.rate:
                    # The kernel copies the file to the socket: the hub stays
                    # out of the way of the clients it serves.
                    sent += self.connection.sendfile(f, first, size - first)
                    return 206 if ranged else 200
                f.seek(first)
                while sent < size:
                    n = min(chunk, size - sent, (cut - sent) if cut else chunk)
                    if hub.args.rate:
                        # Small chunks on a slow link, so that small files take their time too.
                        n = min(n, 8192, max(512, int(hub.args.rate / 8)))
                    data = f.read(n)
                    self.wfile.write(data)
                    sent += len(data)
                    if cut and sent >= cut:
                        self.wfile.flush()
                        self.close_connection = True
                        self.connection.shutdown(2)
                        return "cut at %d" % sent
                    if hub.args.rate:
                        ahead = (sent - first) / hub.args.rate - (time.monotonic() - started)
                        if ahead > 0:
                            time.sleep(ahead)
            return 206 if ranged else 200

        def dhus_search(self, query, auth):
            if not hub.basic_valid(auth):
                return self.reply(401, "Unauthorized", "text/plain", [("WWW-Authenticate", 'Basic realm="DHuS"')])
            q = query.get("q", [""])[0]
            start = int(query.get("start", ["0"])[0])
            rows = int(query.get("rows", ["10"])[0])
            if rows > 100:
                return self.reply(400, "rows must not exceed 100", "text/plain")
            try:
                test = legacy_filter(q)
            except (FilterError, AttributeError, ValueError) as e:
                return self.reply(400, "Invalid query: %s" % e, "text/plain")
            found = sorted((p for p in hub.products if test(p)), key=lambda p: (p.start, p.id))
            entries = "".join(self.atom_entry(p) for p in found[start:start + rows])
            # The paging counts go unprefixed, in the feed's own namespace;
            # HubFetch reads them with or without the "opensearch:" prefix.
            feed = ('<?xml version="1.0" encoding="utf-8"?>\n<feed xmlns="http://www.w3.org/2005/Atom">\n'
                    '<title>Sentinels Scientific Data Hub search results for: %s</title>\n'
                    '<totalResults>%d</totalResults>\n'
                    '<startIndex>%d</startIndex>\n'
                    '<itemsPerPage>%d</itemsPerPage>\n%s</feed>\n') % (
                xml_escape(q), len(found), start, rows, entries)
            return self.reply(200, feed, "application/xml")

        def atom_entry(self, p):
            link = "%s/dhus/odata/v1/Products('%s')/$value" % (self.base(), p.id)
            mode = getattr(p, "mode", "")
            return ('<entry>\n<title>%s</title>\n<link href="%s"/>\n<id>%s</id>\n'
                    '<date name="beginposition">%s</date>\n<date name="endposition">%s</date>\n'
                    '<str name="footprint">%s</str>\n<str name="size">%.2f MB</str>\n'
                    '<str name="platformname">%s</str>\n<str name="sensoroperationalmode">%s</str>\n'
                    '<str name="identifier">%s</str>\n<str name="uuid">%s</str>\n</entry>\n') % (
                xml_escape(p.name[:-5]), xml_escape(link), p.id, iso(p.start), iso(p.stop), wkt(p.ring),
                p.size / 1e6, p.platform_name, mode, xml_escape(p.name[:-5]), p.id)

        def dhus_download(self, pid, checksum, auth):
            if not hub.basic_valid(auth):
                return self.reply(401, "Unauthorized", "text/plain")
            p = hub.by_id.get(pid)
            if p is None or p.path is None:
                return self.reply(404, "Not found", "text/plain")
            if checksum:
                return self.reply(200, p.md5.upper(), "text/plain")
            if not p.online:
                with hub.lock:
                    polls = hub.offline_polls[pid] = hub.offline_polls.get(pid, 0) + 1
                if polls <= hub.args.offline_polls:
                    return self.reply(202, "Product %s is not online; it has been requested" % p.name, "text/plain")
            if self.throttle():
                return self.reply(429, "Too many requests", "text/plain", [("Retry-After", str(hub.args.retry_after))])
            return self.send_product(p)

    return Handler


def xml_escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port-file", help="write the port number here once listening")
    ap.add_argument("--log", help="append one JSON line per request to this file")
    ap.add_argument("--lifetime", type=float, default=120, help="seconds before the hub stops by itself")
    ap.add_argument("--user", default="example_user")
    ap.add_argument("--password", default="example_password")
    ap.add_argument("--client-id", default="cdse-public")
    ap.add_argument("--product-bytes", type=int, default=200_000, help="measurement bytes in each archive")
    ap.add_argument("--filler", type=int, default=0, help="extra searchable, not downloadable products")
    ap.add_argument("--max-skip", type=int, default=10000)
    ap.add_argument("--token-lifetime", type=int, default=600)
    ap.add_argument("--max-sessions", type=int, default=4, help="parallel downloads before 429")
    # Faults.
    ap.add_argument("--reject-login", action="store_true", help="every login and Basic authentication fails")
    ap.add_argument("--cut-after", type=int, default=0, help="cut each product's first transfer after N bytes")
    ap.add_argument("--wrong-checksum", action="append", default=[], help="publish a wrong MD5 (name part)")
    ap.add_argument("--blake3-only", action="append", default=[], help="publish only a BLAKE3 value")
    ap.add_argument("--offline", action="append", default=[], help="product offline (name part)")
    ap.add_argument("--offline-polls", type=int, default=1, help="DHuS: 202 answers before an offline one is served")
    ap.add_argument("--throttle", type=int, default=0, help="answer the first N downloads with 429")
    ap.add_argument("--retry-after", type=int, default=1)
    ap.add_argument("--rate", type=float, default=0, help="bytes per second per transfer (slow link)")
    ap.add_argument("--no-range", action="store_true", help="ignore Range requests (answer 200)")
    ap.add_argument("--redirect", action="store_true", help="redirect downloads to a storage host on another port")
    # Auxiliary files.
    ap.add_argument("--aux", action="store_true", help="serve the auxiliary files (OData, bucket, calibration service)")
    ap.add_argument("--aux-bytes", type=int, default=4000, help="payload bytes of each auxiliary file")
    ap.add_argument("--list-page", type=int, default=1000, help="entries per page of the bucket and service listings")
    ap.add_argument("--down", action="append", default=[], choices=["odata", "bucket", "adf"],
                    help="answer this source's requests with 503")
    ap.add_argument("--zip-orbits", action="store_true", help="orbit files are served zipped")
    ap.add_argument("--hostile", action="append", default=[],
                    help="the calibration or instrument archive (name part) holds a member outside its folder")
    args = ap.parse_args()

    hub = Hub(args)
    server = ThreadingHTTPServer(("127.0.0.1", 0), make_handler(hub, "hub"))
    server.daemon_threads = True
    storage = ThreadingHTTPServer(("127.0.0.1", 0), make_handler(hub, "storage"))
    storage.daemon_threads = True
    hub.storage_port = storage.server_address[1]
    for s in (server, storage):
        threading.Thread(target=s.serve_forever, daemon=True).start()
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".part", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".part", args.port_file)
    print("local hub on http://127.0.0.1:%d (stops after %g s)" % (port, args.lifetime), flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        time.sleep(args.lifetime)
    except KeyboardInterrupt:
        pass
    finally:
        remove_store(hub)


def remove_store(hub):
    for name in os.listdir(hub.store):
        os.remove(os.path.join(hub.store, name))
    os.rmdir(hub.store)


if __name__ == "__main__":
    main()
