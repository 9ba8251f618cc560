#!/usr/bin/env python3
"""The vendor's download server, on this machine: serves a folder as the file store at
/api/dosyalar/indir?token=..&ad=.. over HTTPS, on 127.0.0.1 only.

It listens as an HTTP proxy: a client whose proxy is this server asks for CONNECT <vendor host>:443,
and the tunnel is answered with TLS under a certificate for the vendor host, signed by a test
certificate authority made here. A program that downloads from https://<vendor host>/... thus
reaches this server without any change, once its system trusts the authority and uses the proxy.
The host and the access token are the program's own (installer/DownloadHost.h).

  download-server.py start --state DIR --root DIR [--port N] [--token T] [--rules FILE]
      runs in the background (FILE becomes the state's rules.json)
  download-server.py run   --state DIR --root DIR [--port N] [--token T]   runs in the foreground
  download-server.py stop  --state DIR
  download-server.py prepare --state DIR --prefix WINEPREFIX
      makes a Wine prefix reach the running server: the test authority into the machine's root
      store and WinHTTP's default proxy set to the server, both in the prefix's registry
  download-server.py demo-store --source DIR --out DIR --exe Qal.exe [--standin PROGRAM.exe]
      makes the demo file store: every file of DIR as it is, every folder named *.zip as an
      archive of its files, and the executable as diger/Qal.exe; in an archive, every NAME.standin
      brings the stand-in program beside it as NAME.exe (tools/standins/StandinProgram.cpp: it
      behaves as NAME.standin asks and notes its command line in NAME.log)

The state folder receives: ca.pem/ca.der (the authority, to trust), server.pem/server.key,
port (the port listened on), pid, requests.log (one line per request: method, path and query),
and may hold rules.json, read on every request, which makes given files fail:
  {"diger/x.zip": {"length": false}}      body without Content-Length, the connection closed after it
  {"diger/x.zip": {"cut": 1000}}          Content-Length of the whole file, then only 1000 bytes
  {"diger/x.zip": {"status": 500, "reason": "Internal Server Error"}}   (the reason in Latin-1)
  {"diger/x.txt": {"text": "7.8"}}        this text as the body instead of the file
  {"diger/x.txt": {"after": 1, ...}}      the rule holds only after the first request of the file
  {"diger/x.zip": {"stall": 1000}}        the headers and 1000 bytes, then nothing while the client waits
  {"diger/x.zip": {"mute": true}}         no answer at all to the request
  {"diger/x.zip": {"drip": 5}}            the body one byte every 5 seconds
  {"diger/x.txt": {"endless": true}}      a body without Content-Length that does not end (1 GB at most)
  {"diger/x.zip": {"extra": 100}}         100 bytes more than the Content-Length announces
                                          (requests are counted anew whenever rules.json changes)
A file that is missing is answered 404 "Not Found"; a wrong token 403 "Forbidden".
"""

import argparse
import hashlib
import io
import json
import os
import re
import select
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ENDPOINT = "/api/dosyalar/indir"
BLOCK = 1024 * 1024


def program_constant(name):
    """The download host or token: the program's own constants, kept in one place."""
    with open(os.path.join(ROOT, "installer", "DownloadHost.h"), encoding="utf-8") as f:
        m = re.search(name + r'\[\]\s*=\s*L"([^"]+)"', f.read())
    return m.group(1)


def make_certificates(state, host):
    """A test authority and a certificate for the host signed by it, made once per state folder."""
    if os.path.exists(os.path.join(state, "server.pem")):
        return
    def run(*args):
        subprocess.run(["openssl", *args], check=True, cwd=state,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
        "-days", "30", "-subj", "/CN=Qal Test Root", "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    run("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
        "-subj", "/CN=" + host)
    with open(os.path.join(state, "server.ext"), "w") as f:
        f.write("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n"
                "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n" % host)
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-out", "server.pem", "-days", "30", "-extfile", "server.ext")


class Store:
    def __init__(self, root, state, token, host):
        self.root = os.path.realpath(root)
        self.state = state
        self.token = token
        self.host = host
        self.log_lock = threading.Lock()
        self.rules_lock = threading.Lock()
        self.rules_text = ""
        self.counts = {}

    def log(self, line):
        with self.log_lock:
            with open(os.path.join(self.state, "requests.log"), "a", encoding="utf-8") as f:
                f.write(line + "\n")

    def rule(self, name):
        """The rule for this request of the file, {} when none holds."""
        try:
            with open(os.path.join(self.state, "rules.json"), encoding="utf-8") as f:
                text = f.read()
        except FileNotFoundError:
            text = ""
        with self.rules_lock:
            if text != self.rules_text:
                self.rules_text = text
                self.counts = {}
            self.counts[name] = self.counts.get(name, 0) + 1
            count = self.counts[name]
        rule = (json.loads(text) if text.strip() else {}).get(name, {})
        return rule if count > rule.get("after", 0) else {}

    def path_of(self, name):
        """The file for a remote path, or None when it is missing or would leave the store."""
        parts = name.split("/")
        if not name or any(p in ("", ".", "..") or "\\" in p or ":" in p for p in parts):
            return None
        path = os.path.realpath(os.path.join(self.root, *parts))
        if not path.startswith(self.root + os.sep) or not os.path.isfile(path):
            return None
        return path


class FileHandler(BaseHTTPRequestHandler):
    """Answers the requests that arrive inside a TLS tunnel."""
    protocol_version = "HTTP/1.1"
    store = None

    def log_message(self, fmt, *args):
        pass

    def send_plain(self, code, reason, text):
        body = text.encode("utf-8")
        self.send_response(code, reason)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        store = self.store
        # Some clients send the absolute form inside the tunnel: the log keeps path and query.
        url = urllib.parse.urlsplit(self.path)
        store.log("GET " + url.path + ("?" + url.query if url.query else ""))
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        if url.path != ENDPOINT:
            return self.send_plain(404, "Not Found", "Not found\n")
        if query.get("token", [""])[0] != store.token:
            return self.send_plain(403, "Forbidden", "Forbidden\n")
        name = query.get("ad", [""])[0]
        rule = store.rule(name)
        if rule.get("mute"):
            return self.hold()
        if rule.get("endless"):
            return self.send_endless()
        if "status" in rule:
            return self.send_plain(rule["status"], rule.get("reason", "Error"), "Failed on purpose\n")
        if "text" in rule:
            body = io.BytesIO(rule["text"].encode("utf-8"))
            size = len(body.getvalue())
        else:
            path = store.path_of(name)
            if path is None:
                return self.send_plain(404, "Not Found", "Not found: %s\n" % name)
            body = open(path, "rb")
            size = os.path.getsize(path)
        send = min(size, rule.get("cut", size), rule.get("stall", size))
        self.send_response(200, "OK")
        self.send_header("Content-Type", "application/octet-stream")
        if rule.get("length", True):
            self.send_header("Content-Length", str(size))
        else:
            # The end of the body is the end of the connection.
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        drip = rule.get("drip")
        with body as f:
            while send > 0:
                block = f.read(1 if drip else min(BLOCK, send))
                if not block:
                    break
                self.wfile.write(block)
                send -= len(block)
                if drip:
                    self.wfile.flush()
                    if self.client_gone(drip):
                        self.close_connection = True
                        return
        if "extra" in rule:
            self.wfile.write(b"x" * rule["extra"])
        self.wfile.flush()
        if "stall" in rule:
            return self.hold()
        if send != size and "cut" in rule:
            self.close_connection = True
            self.dropped = True
            # A dropped connection: no orderly TLS close, just the socket going away.
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


    def client_gone(self, seconds):
        """Waits up to seconds; true when the client closed its end meanwhile."""
        try:
            readable, _, _ = select.select([self.connection], [], [], seconds)
            return bool(readable) and not self.connection.recv(1)
        except (OSError, ValueError):
            return True

    def hold(self):
        """Sends nothing more while the client waits (two minutes at most), then drops the connection."""
        self.wfile.flush()
        deadline = time.time() + 120
        while time.time() < deadline and not self.client_gone(0.2):
            pass
        self.close_connection = True
        self.dropped = True

    def send_endless(self):
        self.send_response(200, "OK")
        self.send_header("Content-Type", "text/plain")
        self.send_header("Connection", "close")
        self.end_headers()
        block = b"7.9 " * (BLOCK // 4)
        try:
            for _ in range(1024):
                self.wfile.write(block)
        except (OSError, ValueError):
            pass
        self.close_connection = True
        self.dropped = True


class ProxyHandler(BaseHTTPRequestHandler):
    """The proxy face: CONNECT to the vendor host opens a TLS tunnel answered by FileHandler."""
    protocol_version = "HTTP/1.1"
    store = None
    context = None

    def log_message(self, fmt, *args):
        pass

    def do_CONNECT(self):
        host, _, port = self.path.rpartition(":")
        if host.lower() != self.store.host or port != "443":
            self.store.log("CONNECT refused " + self.path)
            self.send_response(403, "Forbidden")
            self.send_header("Content-Length", "0")
            self.end_headers()
            self.close_connection = True
            return
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        try:
            tls = self.context.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError) as e:
            self.store.log("CONNECT %s TLS failed: %s" % (self.path, e))
            self.close_connection = True
            return
        self.store.log("CONNECT %s %s" % (self.path, tls.version()))
        handler = None
        try:
            handler = FileHandler(tls, self.client_address, self.server)
        except (ssl.SSLError, OSError):
            pass
        try:
            # An orderly end (close_notify) unless the connection is meant to look dropped.
            if handler is not None and not getattr(handler, "dropped", False):
                tls.settimeout(2)
                tls.unwrap().close()
            else:
                tls.close()
        except (ssl.SSLError, OSError):
            tls.close()
        self.close_connection = True

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass  # the socket went into the tunnel

    def do_GET(self):
        # Plain HTTP through the proxy is not the vendor's road.
        self.send_response(403, "Forbidden")
        self.send_header("Content-Length", "0")
        self.end_headers()


def serve(args):
    os.makedirs(args.state, exist_ok=True)
    host = args.host or program_constant("DownloadHost")
    make_certificates(args.state, host)
    token = args.token if args.token is not None else program_constant("DownloadToken")
    store = Store(args.root, args.state, token, host)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(os.path.join(args.state, "server.pem"), os.path.join(args.state, "server.key"))
    FileHandler.store = store
    ProxyHandler.store = store
    ProxyHandler.context = context
    server = ThreadingHTTPServer(("127.0.0.1", args.port), ProxyHandler)
    server.daemon_threads = True
    port_file = os.path.join(args.state, "port")
    with open(port_file + ".new", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".new", port_file)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    try:
        server.serve_forever()
    finally:
        server.server_close()


def pid_alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def stop(state):
    pid_file = os.path.join(state, "pid")
    try:
        with open(pid_file) as f:
            pid = int(f.read())
    except (FileNotFoundError, ValueError):
        return 0
    if pid_alive(pid):
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            if not pid_alive(pid):
                break
            time.sleep(0.05)
        else:
            os.kill(pid, signal.SIGKILL)
    for name in ("pid", "port"):
        try:
            os.remove(os.path.join(state, name))
        except FileNotFoundError:
            pass
    return 0


def start(args):
    """Starts the server detached and returns once it listens."""
    os.makedirs(args.state, exist_ok=True)
    stop(args.state)
    if args.rules:
        shutil.copyfile(args.rules, os.path.join(args.state, "rules.json"))
    cmd = [sys.executable, os.path.abspath(__file__), "run", "--state", args.state, "--root", args.root,
           "--port", str(args.port)]
    if args.token is not None:
        cmd += ["--token", args.token]
    if args.host:
        cmd += ["--host", args.host]
    with open(os.path.join(args.state, "server.out"), "w") as out:
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
    with open(os.path.join(args.state, "pid"), "w") as f:
        f.write(str(proc.pid))
    port_file = os.path.join(args.state, "port")
    for _ in range(600):  # certificates first, then the socket: a few seconds at most
        if os.path.exists(port_file):
            with open(port_file) as f:
                print("download server on 127.0.0.1:%s (state %s)" % (f.read(), args.state))
            return 0
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    sys.stderr.write(open(os.path.join(args.state, "server.out")).read())
    stop(args.state)
    return 1


def prepare(state, prefix):
    """What the machine's administrator would do on Windows, written straight into the registry."""
    with open(os.path.join(state, "ca.der"), "rb") as f:
        der = f.read()
    with open(os.path.join(state, "port")) as f:
        proxy = ("127.0.0.1:" + f.read().strip()).encode("ascii")
    thumb = hashlib.sha1(der).hexdigest().upper()
    # The root store's own form of an entry: the certificate property (32), then its bytes.
    blob = struct.pack("<III", 32, 1, len(der)) + der
    # WinHttpSettings: size, counter, flags (2: a named proxy), proxy, bypass list.
    settings = struct.pack("<III", 0x18, 0, 2) + struct.pack("<I", len(proxy)) + proxy + struct.pack("<I", 0)
    env = dict(os.environ, WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all")
    for key, value, data in (
            ("HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumb, "Blob", blob),
            ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections",
             "WinHttpSettings", settings)):
        subprocess.run(["wine", "reg", "add", key, "/v", value, "/t", "REG_BINARY", "/d", data.hex(), "/f"],
                       check=True, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return 0


def demo_store(source, out, exe, standin=None):
    """The demo file store, made anew from the files of the repository and the built programs."""
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    for folder, dirs, files in os.walk(source):
        rel = os.path.relpath(folder, source)
        for d in [d for d in dirs if d.endswith(".zip")]:
            dirs.remove(d)
            package = os.path.join(folder, d)
            target = os.path.normpath(os.path.join(out, rel, d))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
                for pfolder, _, pfiles in os.walk(package):
                    for f in sorted(pfiles):
                        path = os.path.join(pfolder, f)
                        name = os.path.relpath(path, package).replace(os.sep, "/")
                        z.write(path, name)
                        if name.endswith(".standin"):
                            if not standin:
                                raise SystemExit("--standin is needed for " + name)
                            z.write(standin, name[:-len(".standin")] + ".exe")
        for f in files:
            target = os.path.normpath(os.path.join(out, rel, f))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(os.path.join(folder, f), target)
    os.makedirs(os.path.join(out, "diger"), exist_ok=True)
    shutil.copyfile(exe, os.path.join(out, "diger", "Qal.exe"))
    return 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("command", choices=["start", "run", "stop", "prepare", "demo-store"])
    p.add_argument("--prefix")
    p.add_argument("--state")
    p.add_argument("--rules")
    p.add_argument("--source")
    p.add_argument("--out")
    p.add_argument("--exe")
    p.add_argument("--standin")
    p.add_argument("--root")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--token")
    p.add_argument("--host")
    args = p.parse_args()
    if args.command == "demo-store":
        if not (args.source and args.out and args.exe):
            p.error("--source, --out and --exe are needed")
        return demo_store(args.source, args.out, args.exe, args.standin)
    if not args.state:
        p.error("--state is needed")
    args.state = os.path.abspath(args.state)
    if args.command == "stop":
        return stop(args.state)
    if args.command == "prepare":
        if not args.prefix:
            p.error("--prefix is needed")
        return prepare(args.state, args.prefix)
    if not args.root:
        p.error("--root is needed")
    args.root = os.path.abspath(args.root)
    if args.command == "start":
        return start(args)
    serve(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
