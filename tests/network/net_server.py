#!/usr/bin/env python3
"""The network tests' servers on 127.0.0.1, Python standard library only: an origin
(/files/NAME serves ROOT/NAME with its modification time as Last-Modified and
answers If-Modified-Since with 304, both with Cache-Control: max-age=N when asked
as /files/NAME?max-age=N; /refuse?status=S&retry-after=V answers status S with that
Retry-After; the other paths are hostile answers made from --data), a forwarding proxy that wants Basic auth fan:vuvuzela, a proxy that closes
every connection and a dead port. One tab-separated line per request goes to
ROOT/requests.log, with its time (t=, Unix seconds) and its size (bytes=). Wine starts a Linux program with /dev/null for its standard
streams, so the ports go to ROOT/ports.txt and the program ends when ROOT/stop
appears, ROOT goes, or after ten minutes."""
import base64, email.utils, http.client, http.server, os, random, socket, socketserver, sys, threading, time
import urllib.parse

root, data = sys.argv[1], open(sys.argv[2], "rb").read()
lock = threading.Lock()
LOGIN = "Basic " + base64.b64encode(b"fan:vuvuzela").decode()


def log(kind, **fields):
    fields["t"] = "%.3f" % time.time()
    with lock, open(os.path.join(root, "requests.log"), "a", encoding="utf-8") as f:
        f.write(kind + "".join("\t%s=%s" % item for item in fields.items()) + "\n")


def ok(body, extra=b"", length=None):
    return b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n%sConnection: close\r\n\r\n" % (
        len(body) if length is None else length, extra) + body


def redirect(to):
    return b"HTTP/1.1 302 Found\r\nLocation: %s\r\nContent-Length: 0\r\n\r\n" % to


garbage = bytes(random.Random(16).randrange(256) for _ in range(4000))
big = data + b"# padding past 1 MiB\n" * 50000
bad_line = data.replace(b"2010-06-11,16:00,2010-06-11T14:00Z", b"2010-06-11,16:00,2010-06-11T15:00Z")
HOSTILE = {
    "/garbage": b"\x00\xff\xfeTHIS IS NOT HTTP\r\n" + garbage,
    "/garbage-body": ok(garbage),
    "/big": ok(big),
    "/big-unsized": b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big,
    "/cut": ok(data)[: -len(data) // 2],
    "/wrong-length": ok(data, length=len(data) + 100),
    "/short-length": ok(data, length=len(data) // 2),
    "/bad-line": ok(bad_line),
    "/bad-last-modified": ok(data, extra=b"Last-Modified: sometime last week\r\n"),
    "/loop": redirect(b"/loop"),
    "/to-ftp": redirect(b"ftp://localhost/data.csv"),
    "/server-error": b"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n",
}


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class Origin(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, raw):
        try:
            self.wfile.write(raw)
            self.wfile.flush()
            return True
        except OSError:
            return False

    def do_GET(self):
        size = len(self.raw_requestline) + len(self.headers.as_bytes())
        log("origin", path=self.path, ims=self.headers.get("If-Modified-Since", ""), via=self.headers.get("Via", ""),
            bytes=size)
        self.close_connection = True
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if self.path == "/hang":
            time.sleep(600)
        elif self.path == "/slow":  # the head at once, the body a byte a second
            head = ok(data)[: -len(data)]
            self.send(head) and all(self.send(data[i:i + 1]) and not time.sleep(1) for i in range(len(data)))
        elif url.path.startswith("/files/"):
            age = query.get("max-age")
            self.serve(os.path.join(root, os.path.basename(url.path)),
                       b"Cache-Control: max-age=%s\r\n" % age.encode() if age else b"")
        elif url.path == "/refuse":
            self.send(b"HTTP/1.1 %s Refused\r\nRetry-After: %s\r\nContent-Length: 0\r\n\r\n" % (
                query.get("status", "503").encode(), query.get("retry-after", "").encode()))
        else:
            self.send(HOSTILE.get(self.path, b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"))

    def serve(self, path, extra=b""):
        body, modified = open(path, "rb").read(), int(os.stat(path).st_mtime)
        since = self.headers.get("If-Modified-Since")
        if since and email.utils.parsedate_to_datetime(since).timestamp() >= modified:
            return self.send(b"HTTP/1.1 304 Not Modified\r\n%sContent-Length: 0\r\n\r\n" % extra)
        stamp = email.utils.formatdate(modified, usegmt=True).encode()
        self.send(ok(body, extra=b"Last-Modified: " + stamp + b"\r\n" + extra))


class Proxy(Origin):
    def do_GET(self):
        auth = self.headers.get("Proxy-Authorization", "")
        status, raw = 407, b"HTTP/1.1 407 Login\r\nProxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n"
        if auth == LOGIN:
            host, _, rest = self.path[len("http://"):].partition("/")
            headers = {k: v for k, v in self.headers.items() if k.lower().startswith(("if-", "user-", "accept"))}
            upstream = http.client.HTTPConnection(host, timeout=30)
            upstream.request("GET", "/" + rest, headers=dict(headers, Via="1.1 test-proxy"))
            answer = upstream.getresponse()
            body, status = answer.read(), answer.status
            extra = "".join("%s: %s\r\n" % (k, v) for k, v in answer.getheaders() if k.lower() == "last-modified")
            raw = b"HTTP/1.1 %d Relayed\r\nContent-Length: %d\r\n%s\r\n" % (status, len(body), extra.encode()) + body
        log("proxy", target=self.path, auth=auth, status=status)
        self.send(raw)


def closing_proxy():
    listener = socket.create_server(("127.0.0.1", 0))

    def run():
        while True:
            connection = listener.accept()[0]
            log("closing")
            connection.close()

    threading.Thread(target=run, daemon=True).start()
    return listener.getsockname()[1]


servers = [Server(("127.0.0.1", 0), Origin), Server(("127.0.0.1", 0), Proxy)]
for server in servers:
    threading.Thread(target=server.serve_forever, daemon=True).start()
dead = socket.create_server(("127.0.0.1", 0))
ports = (servers[0].server_address[1], servers[1].server_address[1], closing_proxy(), dead.getsockname()[1])
dead.close()
with open(os.path.join(root, "ports.tmp"), "w") as f:
    f.write("origin=%d proxy=%d closing=%d dead=%d\n" % ports)
os.replace(os.path.join(root, "ports.tmp"), os.path.join(root, "ports.txt"))
end = time.monotonic() + 600
while time.monotonic() < end and os.path.isdir(root) and not os.path.exists(os.path.join(root, "stop")):
    time.sleep(0.1)
os._exit(0)
