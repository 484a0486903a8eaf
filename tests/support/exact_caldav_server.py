#!/usr/bin/env python3
"""A CalDAV server for tests that stores every object exactly as it was sent,
byte for byte, as iCloud does (Radicale and Xandikos write objects back in
their own form). One user, Basic authentication, calendars in memory:
discovery, MKCALENDAR, calendar-query REPORT (every object; clients cut the
range themselves), GET, PUT and DELETE with If-Match / If-None-Match.

Usage: exact_caldav_server.py PORT USER PASSWORD
"""
import base64
import hashlib
import re
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import quote, unquote, urlsplit
from xml.sax.saxutils import escape

PORT, USER, PASSWORD = int(sys.argv[1]), sys.argv[2], sys.argv[3]
HOME = "/" + quote(USER, safe="") + "/"
LOCK = threading.Lock()
CALENDARS = {}  # path -> display name
OBJECTS = {}  # path -> (bytes, etag)
COUNTER = [0]

NS = ('xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav" '
      'xmlns:cs="http://calendarserver.org/ns/" xmlns:a="http://apple.com/ns/ical/"')


def response(href, props):
    return (f"<d:response><d:href>{escape(href)}</d:href><d:propstat><d:prop>{props}</d:prop>"
            "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>")


def calendar_props(path):
    return ("<d:resourcetype><d:collection/><c:calendar/></d:resourcetype>"
            f"<d:displayname>{escape(CALENDARS[path])}</d:displayname>"
            '<c:supported-calendar-component-set><c:comp name="VEVENT"/></c:supported-calendar-component-set>'
            "<d:current-user-privilege-set><d:privilege><d:read/></d:privilege>"
            "<d:privilege><d:write/></d:privilege></d:current-user-privilege-set>"
            f"<cs:getctag>{COUNTER[0]}</cs:getctag>")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def multistatus(self, responses):
        body = f'<?xml version="1.0" encoding="utf-8"?><d:multistatus {NS}>{"".join(responses)}</d:multistatus>'
        self.answer(207, body.encode(), [("Content-Type", "application/xml; charset=utf-8")])

    def body(self):
        return self.rfile.read(int(self.headers.get("Content-Length") or 0))

    def path_only(self):
        return unquote(urlsplit(self.path).path)

    def allowed(self):
        expected = "Basic " + base64.b64encode(f"{USER}:{PASSWORD}".encode()).decode()
        if self.headers.get("Authorization") == expected:
            return True
        self.body()
        self.answer(401, headers=[("WWW-Authenticate", 'Basic realm="exact"')])
        return False

    def do_PROPFIND(self):
        if not self.allowed():
            return
        self.body()
        path, href = self.path_only(), urlsplit(self.path).path
        depth = self.headers.get("Depth", "0")
        with LOCK:
            if path in CALENDARS:
                found = [response(href, calendar_props(path))]
                if depth == "1":
                    found += [response(quote(p), f"<d:getetag>{e}</d:getetag>")
                              for p, (_, e) in OBJECTS.items() if p.startswith(path)]
            elif path in OBJECTS:
                found = [response(href, f"<d:getetag>{OBJECTS[path][1]}</d:getetag>")]
            elif path in ("/", HOME, unquote(HOME)):
                found = [response(href, f"<d:current-user-principal><d:href>{HOME}</d:href></d:current-user-principal>"
                                        f"<c:calendar-home-set><d:href>{HOME}</d:href></c:calendar-home-set>"
                                        "<d:resourcetype><d:collection/></d:resourcetype>")]
                if depth == "1" and path != "/":
                    found += [response(quote(p), calendar_props(p)) for p in CALENDARS]
            else:
                return self.answer(404)
        self.multistatus(found)

    def do_MKCALENDAR(self):
        if not self.allowed():
            return
        name = re.search(rb"<[^>]*displayname>([^<]*)<", self.body())
        path = self.path_only().rstrip("/") + "/"
        with LOCK:
            if path in CALENDARS:
                return self.answer(405)
            CALENDARS[path] = name.group(1).decode() if name else path
        self.answer(201)

    def do_REPORT(self):
        if not self.allowed():
            return
        self.body()
        path = self.path_only()
        with LOCK:
            if path not in CALENDARS:
                return self.answer(404)
            found = [response(quote(p), f"<d:getetag>{etag}</d:getetag>"
                                        f"<c:calendar-data>{escape(data.decode())}</c:calendar-data>")
                     for p, (data, etag) in OBJECTS.items() if p.startswith(path)]
        self.multistatus(found)

    def do_GET(self):
        if not self.allowed():
            return
        with LOCK:
            stored = OBJECTS.get(self.path_only())
        if stored is None:
            return self.answer(404)
        self.answer(200, stored[0], [("Content-Type", "text/calendar; charset=utf-8"), ("ETag", stored[1])])

    def precondition_fails(self, path):
        current = OBJECTS.get(path)
        match, none_match = self.headers.get("If-Match"), self.headers.get("If-None-Match")
        if match is not None and (current is None or match not in ("*", current[1])):
            return True
        return none_match == "*" and current is not None

    def do_PUT(self):
        if not self.allowed():
            return
        data, path = self.body(), self.path_only()
        with LOCK:
            if path[: path.rfind("/") + 1] not in CALENDARS:
                return self.answer(409)
            if self.precondition_fails(path):
                return self.answer(412)
            created = path not in OBJECTS
            COUNTER[0] += 1
            etag = '"' + hashlib.sha1(data + str(COUNTER[0]).encode()).hexdigest() + '"'
            OBJECTS[path] = (data, etag)
        self.answer(201 if created else 204, headers=[("ETag", etag)])

    def do_DELETE(self):
        if not self.allowed():
            return
        path = self.path_only()
        with LOCK:
            if path not in OBJECTS:
                return self.answer(404)
            if self.precondition_fails(path):
                return self.answer(412)
            del OBJECTS[path]
            COUNTER[0] += 1
        self.answer(204)


ThreadingHTTPServer(("127.0.0.1", PORT), Handler).serve_forever()
