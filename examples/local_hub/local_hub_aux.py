"""The auxiliary file sources of the local hub (see local_hub.py --aux).

  OData      the orbit, calibration and instrument files in the catalogue of
             local_hub.py (productType AUX_POEORB, AUX_RESORB, AUX_CAL, AUX_INS)
  bucket     GET /s1-orbits/?prefix=...&marker=...   S3 ListObjects (version 1)
             GET /s1-orbits/AUX_POEORB/<name>          (no login)
  service    GET /api/v1/?product_type=...&validity_start__lte=...&page=N
             JSON pages {count, next, previous, results: [{uuid, physical_name,
             remote_url, ...}]}; GET /download/<uuid>/ gives the zip (no login)

The catalogue is generated around May 2019, for S1A and S1B: a precise
orbit file a day up to 26 May (one of them reprocessed later), restituted
files every orbit all month, and calibration and instrument files of two
instrument configurations in several generations.
"""

import datetime as dt
import hashlib
import json
import os
import random
import re
import urllib.parse
import uuid
import zipfile
from xml.sax.saxutils import escape

EPOCH = dt.datetime(2019, 5, 1, tzinfo=dt.timezone.utc)
ORBIT = 12 * 86400 / 175
# Restituted files last two orbits less ten minutes, so that some products
# (the one of 30 May among them) need two of them joined.
RESORB_LENGTH = 2 * ORBIT - 600
RESORB_PHASE = 844.0
MISSIONS = ("S1A", "S1B")
# (validity start, generation, instrument configuration)
ADF_VERSIONS = [("20190101T000000", "20181215T120000", 6), ("20190415T000000", "20190410T120000", 7),
                ("20190415T000000", "20190505T120000", 7), ("20190520T000000", "20190518T120000", 7),
                ("20190610T000000", "20190601T120000", 7)]
BUCKET = "/s1-orbits"
API = "/api/v1/"


def stamp(t):
    return t.strftime("%Y%m%dT%H%M%S")


def parse_stamp(text):
    return dt.datetime.strptime(text, "%Y%m%dT%H%M%S").replace(tzinfo=dt.timezone.utc)


def iso(t):
    return t.strftime("%Y-%m-%dT%H:%M:%S.") + "%06dZ" % t.microsecond


class AuxFile:
    """One auxiliary file, shaped like the catalogue's products."""

    platform_name = "Sentinel-1"
    online = True
    blake3_only = False
    ring = []

    def __init__(self, name, ptype, start, stop, icid=None):
        self.name, self.ptype, self.start, self.stop, self.icid = name, ptype, start, stop, icid
        self.id = str(uuid.UUID(int=random.Random(name).getrandbits(128), version=4))
        self.mission = name[:3]
        self.path, self.size, self.md5 = None, 0, ""

    def attributes(self):
        a = [("productType", "String", self.ptype), ("platformShortName", "String", "SENTINEL-1"),
             ("platformSerialIdentifier", "String", self.mission[2]),
             ("beginningDateTime", "DateTimeOffset", iso(self.start)),
             ("endingDateTime", "DateTimeOffset", iso(self.stop))]
        if self.icid is not None:
            a.append(("instrumentConfigurationID", "Integer", self.icid))
        return a

    def odata(self, base):
        return {
            "@odata.mediaContentType": "application/octet-stream", "Id": self.id, "Name": self.name,
            "ContentType": "application/octet-stream", "ContentLength": self.size, "Online": True,
            "ContentDate": {"Start": iso(self.start), "End": iso(self.stop)}, "Footprint": None,
            "GeoFootprint": None, "Checksum": [{"Value": self.md5, "Algorithm": "MD5", "ChecksumDate": iso(self.start)}],
            "Attributes": [{"@odata.type": "#OData.CSC.%sAttribute" % t, "Name": n, "Value": v, "ValueType": t}
                           for n, t, v in self.attributes()],
        }

    def is_orbit(self):
        return self.ptype in ("AUX_POEORB", "AUX_RESORB")

    def key(self):
        return "%s/%s" % (self.ptype, self.name)


def orbit_name(mission, ptype, created, start, stop):
    return "%s_OPER_%s_OPOD_%s_V%s_%s.EOF" % (mission, ptype, stamp(created), stamp(start), stamp(stop))


def make_aux_catalogue(args, store):
    files = []
    for mission in MISSIONS:
        for d in range(-3, 26):
            start = EPOCH + dt.timedelta(days=d - 1, hours=22, minutes=59, seconds=42)
            stop = start + dt.timedelta(hours=26)
            creations = [start + dt.timedelta(days=20, hours=3)]
            if mission == "S1A" and d == 2:
                creations.append(start + dt.timedelta(days=400))  # reprocessed: the newer one counts
            for created in creations:
                files.append(AuxFile(orbit_name(mission, "AUX_POEORB", created, start, stop), "AUX_POEORB", start, stop))
        k = -44
        while True:
            start = EPOCH + dt.timedelta(seconds=round(RESORB_PHASE + k * ORBIT))
            if start > EPOCH + dt.timedelta(days=31):
                break
            stop = start + dt.timedelta(seconds=round(RESORB_LENGTH))
            files.append(AuxFile(orbit_name(mission, "AUX_RESORB", stop + dt.timedelta(minutes=25), start, stop),
                                 "AUX_RESORB", start, stop))
            k += 1
        for ptype in ("AUX_CAL", "AUX_INS"):
            for validity, generation, icid in ADF_VERSIONS:
                name = "%s_%s_V%s_G%s.SAFE" % (mission, ptype, validity, generation)
                files.append(AuxFile(name, ptype, parse_stamp(validity), parse_stamp(validity), icid))
    for f in files:
        build_aux_file(f, args, store)
    return files


def build_aux_file(f, args, store):
    rng = random.Random(f.name)
    f.path = os.path.join(store, f.id + (".EOF" if f.is_orbit() else ".zip"))
    if f.is_orbit():
        vectors = "".join("<OSV><UTC>UTC=%s</UTC><X unit=\"m\">%.3f</X></OSV>\n" % (
            (f.start + dt.timedelta(seconds=10 * i)).strftime("%Y-%m-%dT%H:%M:%S"), rng.uniform(-7e6, 7e6))
            for i in range(max(1, args.aux_bytes // 80)))
        with open(f.path, "w") as out:
            out.write("<?xml version=\"1.0\" ?>\n<Earth_Explorer_File>\n<Earth_Explorer_Header><Fixed_Header>"
                      "<File_Name>%s</File_Name><File_Type>%s</File_Type><Validity_Period>"
                      "<Validity_Start>UTC=%s</Validity_Start><Validity_Stop>UTC=%s</Validity_Stop>"
                      "</Validity_Period></Fixed_Header></Earth_Explorer_Header>\n<Data_Block type=\"xml\">\n"
                      "<List_of_OSVs>\n%s</List_of_OSVs>\n</Data_Block>\n</Earth_Explorer_File>\n" % (
                          escape(f.name[:-4]), f.ptype, f.start.strftime("%Y-%m-%dT%H:%M:%S"),
                          f.stop.strftime("%Y-%m-%dT%H:%M:%S"), vectors))
        if args.zip_orbits:
            with open(f.path) as text, zipfile.ZipFile(f.path + ".zip", "w", zipfile.ZIP_DEFLATED) as z:
                z.writestr(f.name, text.read())
            os.replace(f.path + ".zip", f.path)
    else:
        with zipfile.ZipFile(f.path, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr(f.name + "/manifest.safe",
                       "<?xml version=\"1.0\"?>\n<xfdu:XFDU xmlns:xfdu=\"urn:ccsds:schema:xfdu:1\"><metadataSection>"
                       "<file name=\"%s\" configuration=\"%d\"/></metadataSection></xfdu:XFDU>\n" % (f.name, f.icid))
            z.writestr(f.name + "/data/%s-%s.xml" % (f.mission.lower(), f.ptype[4:].lower()),
                       "<auxiliary>%s</auxiliary>\n" % rng.randbytes(args.aux_bytes // 2).hex())
            if any(part in f.name for part in args.hostile):
                z.writestr(f.name + "/../../escaped_by_%s.txt" % f.ptype, "written outside the folder")
    f.size = os.path.getsize(f.path)
    with open(f.path, "rb") as data:
        f.md5 = hashlib.md5(data.read()).hexdigest()


def bucket_listing(handler, hub, query):
    prefix = query.get("prefix", [""])[0]
    marker = query.get("marker", [""])[0]
    page = min(int(query.get("max-keys", ["1000"])[0]), hub.args.list_page)
    newest = max((f.start for f in hub.aux_files if f.ptype == "AUX_RESORB"), default=EPOCH)
    # The mirror keeps restituted orbits for 90 days only.
    keys = sorted((f.key(), f) for f in hub.aux_files if f.is_orbit() and f.key().startswith(prefix) and
                  not (f.ptype == "AUX_RESORB" and f.start < newest - dt.timedelta(days=90)))
    after = [(k, f) for k, f in keys if k > marker]
    shown = after[:page]
    contents = "".join("<Contents><Key>%s</Key><LastModified>%s</LastModified><ETag>&quot;%s&quot;</ETag>"
                       "<Size>%d</Size><StorageClass>STANDARD</StorageClass></Contents>" % (
                           escape(k), iso(f.stop), f.md5, f.size) for k, f in shown)
    body = ('<?xml version="1.0" encoding="UTF-8"?>\n<ListBucketResult xmlns="http://s3.amazonaws.com/doc/2006-03-01/">'
            "<Name>s1-orbits</Name><Prefix>%s</Prefix><Marker>%s</Marker><MaxKeys>%d</MaxKeys>"
            "<IsTruncated>%s</IsTruncated>%s</ListBucketResult>\n") % (
        escape(prefix), escape(marker), page, "true" if len(after) > page else "false", contents)
    return handler.reply(200, body, "application/xml")


def adf_listing(handler, hub, query):
    def first(name):
        return query.get(name, [None])[0]
    chosen = [f for f in hub.aux_files if not f.is_orbit()]
    # Filters of the service's grammar; unknown parameters are ignored, as the service does.
    if first("product_type"):
        chosen = [f for f in chosen if f.ptype == first("product_type")]
    if first("sentinel1__mission"):
        chosen = [f for f in chosen if f.mission == first("sentinel1__mission")]
    if first("sentinel1__instr_conf_id"):
        chosen = [f for f in chosen if f.icid == int(first("sentinel1__instr_conf_id"))]
    for lookup, test in (("validity_start__lte", lambda a, b: a <= b), ("validity_start__lt", lambda a, b: a < b),
                         ("validity_start__gte", lambda a, b: a >= b)):
        if first(lookup):
            bound = dt.datetime.fromisoformat(first(lookup).replace("Z", "+00:00"))
            chosen = [f for f in chosen if test(f.start, bound)]
    chosen.sort(key=lambda f: (f.start, f.name))
    size = int(first("page_size") or hub.args.list_page)
    number = int(first("page") or 1)
    shown = chosen[(number - 1) * size:number * size]

    def link(n):
        if n < 1 or (n - 1) * size >= len(chosen):
            return None
        return "%s%s?%s" % (handler.base(), API, urllib.parse.urlencode({**{k: v[0] for k, v in query.items()},
                                                                          "page": str(n)}))
    body = {"count": len(chosen), "next": link(number + 1), "previous": link(number - 1) if number > 1 else None,
            "results": [{"uuid": f.id, "physical_name": f.name, "product_type": f.ptype,
                         "validity_start": iso(f.start), "creation_date": iso(parse_stamp(f.name[-20:-5])),
                         "remote_url": "%s/download/%s/" % (handler.base(), f.id),
                         "sentinel1": {"mission": f.mission, "instr_conf_id": f.icid}} for f in shown]}
    return handler.reply(200, json.dumps(body))


def route(handler, hub, path, query):
    """The answer to a request for the auxiliary sources; None when the path is not theirs."""
    if path in (BUCKET, BUCKET + "/"):
        return handler.reply(503, "SlowDown", "text/plain") if "bucket" in hub.args.down else \
            bucket_listing(handler, hub, query)
    if path.startswith(BUCKET + "/"):
        key = urllib.parse.unquote(path[len(BUCKET) + 1:])
        found = [f for f in hub.aux_files if f.is_orbit() and f.key() == key]
        return handler.stream_file(found[0]) if found else handler.reply(404, "NoSuchKey", "text/plain")
    if path == API:
        return handler.reply(503, '{"detail":"maintenance"}') if "adf" in hub.args.down else \
            adf_listing(handler, hub, query)
    m = re.fullmatch(r"/download/([\w-]+)/", path)
    if m:
        found = [f for f in hub.aux_files if f.id == m.group(1) and not f.is_orbit()]
        return handler.stream_file(found[0]) if found else handler.reply(404, '{"detail":"Not found"}')
    return None
