#!/usr/bin/env python3
"""Runs a command with test servers on 127.0.0.1, then stops them.

    run_servers.py WORKDIR -- COMMAND...

Starts nginx (document root WORKDIR/www, Basic authentication below /auth/
for alice:pw and below /auth2/ for bob:pw2, limit_rate below /slow/, an
access log naming the user), tinyproxy, and a small Python server that does what real servers will not:
it answers /echo with the exact request bytes, sets a cookie, cuts bodies,
stalls, and answers paths with ".." with 200. Ports and folders reach the
command as QS_NGINX_PORT, QS_PY_PORT, QS_PROXY_PORT, QS_CLOSED_PORT, QS_WWW
and QS_NGINX_LOG (Unix paths). Every wait is bounded.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

STALL_SECONDS = 8
COMMAND_TIMEOUT = 600


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


class PyServer:
    """One thread per connection; each connection is one request."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(16)
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.stopping = threading.Event()
        self.lines = []
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def stop(self):
        self.stopping.set()
        self.thread.join(5)
        self.sock.close()

    def serve(self):
        while not self.stopping.is_set():
            try:
                conn, _ = self.sock.accept()
            except OSError:
                continue
            threading.Thread(target=self.handle, args=(conn,), daemon=True).start()

    def read_request(self, conn):
        data = b""
        conn.settimeout(5)
        while b"\r\n\r\n" not in data and len(data) < 65536:
            piece = conn.recv(4096)
            if not piece:
                break
            data += piece
        return data

    def stall(self):
        end = time.time() + STALL_SECONDS
        while time.time() < end and not self.stopping.is_set():
            time.sleep(0.05)

    def handle(self, conn):
        try:
            request = self.read_request(conn)
            line = request.split(b"\r\n", 1)[0].decode("latin-1")
            with self.lock:
                self.lines.append(line)
            parts = line.split(" ")
            path = parts[1] if len(parts) > 1 else ""
            if path == "/log":
                with self.lock:
                    body = "\n".join(self.lines).encode("latin-1")
                conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body)
            elif ".." in path:
                conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\nescaped")
            elif path.startswith("/echo"):
                conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: "
                             + str(len(request)).encode() + b"\r\n\r\n" + request)
            elif path.startswith("/cookie"):
                conn.sendall(b"HTTP/1.0 200 OK\r\nSet-Cookie: session=42\r\n\r\nok")
            elif path.startswith("/truncate"):
                conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789")
            elif path.startswith("/lfonly"):
                conn.sendall(b"HTTP/1.0 200 OK\nContent-Type: text/plain\n\nlf body")
            elif path.startswith("/bigheader"):
                conn.sendall(b"HTTP/1.0 200 OK\r\nX-Big: " + b"x" * 70000 + b"\r\n\r\nbody")
            elif path.startswith("/noheaderend"):
                conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n")
            elif path.startswith("/stall"):
                conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nfirst")
                self.stall()
            elif path.startswith("/401"):
                conn.sendall(b"HTTP/1.0 401 Unauthorized\r\nContent-Type: text/html\r\n\r\n"
                             b"<p>no</p>")
            else:
                conn.sendall(b"HTTP/1.0 404 Not Found\r\n\r\n")
        except OSError:
            pass
        finally:
            conn.close()


NGINX_CONF = """
user root;
worker_processes 1;
daemon off;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  log_format who '$remote_user "$request" $status';
  client_body_temp_path {work}/tmp;
  proxy_temp_path {work}/tmp;
  fastcgi_temp_path {work}/tmp;
  uwsgi_temp_path {work}/tmp;
  scgi_temp_path {work}/tmp;
  types {{ text/plain txt; text/sgml sgm; image/gif gif; application/octet-stream bin; }}
  default_type application/octet-stream;
  server {{
    listen 127.0.0.1:{port};
    root {work}/www;
    access_log {work}/access.log who;
    location /auth/ {{
      auth_basic "manuals";
      auth_basic_user_file {work}/htpasswd;
    }}
    location /auth2/ {{
      auth_basic "other manuals";
      auth_basic_user_file {work}/htpasswd2;
    }}
    location /slow/ {{
      limit_rate 1k;
    }}
    location /slowauth/ {{
      limit_rate 1k;
      auth_basic "slow manuals";
      auth_basic_user_file {work}/htpasswd;
    }}
  }}
}}
"""

TINYPROXY_CONF = """
Port {port}
Listen 127.0.0.1
Timeout 30
MaxClients 8
Allow 127.0.0.1
LogLevel Error
LogFile "{work}/tinyproxy.log"
PidFile "{work}/tinyproxy.pid"
"""


def main():
    args = sys.argv[1:]
    if len(args) < 3 or args[1] != "--":
        print(__doc__, file=sys.stderr)
        return 2
    work = os.path.abspath(args[0])
    command = args[2:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "www"))
    os.makedirs(os.path.join(work, "tmp"))
    with open(os.path.join(work, "access.log"), "w"):
        pass
    subprocess.run(["htpasswd", "-bc", os.path.join(work, "htpasswd"), "alice", "pw"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["htpasswd", "-bc", os.path.join(work, "htpasswd2"), "bob", "pw2"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    nginx_port, proxy_port, closed_port = free_port(), free_port(), free_port()
    with open(os.path.join(work, "nginx.conf"), "w") as f:
        f.write(NGINX_CONF.format(work=work, port=nginx_port))
    with open(os.path.join(work, "tinyproxy.conf"), "w") as f:
        f.write(TINYPROXY_CONF.format(work=work, port=proxy_port))

    procs = []
    py = PyServer()
    try:
        procs.append(subprocess.Popen(
            ["nginx", "-c", os.path.join(work, "nginx.conf"), "-p", work],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        procs.append(subprocess.Popen(
            ["tinyproxy", "-d", "-c", os.path.join(work, "tinyproxy.conf")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for name, port in (("nginx", nginx_port), ("tinyproxy", proxy_port)):
            if not wait_for_port(port):
                print(f"run_servers: {name} did not start", file=sys.stderr)
                return 1
        env = dict(os.environ, QS_NGINX_PORT=str(nginx_port), QS_PY_PORT=str(py.port),
                   QS_PROXY_PORT=str(proxy_port), QS_CLOSED_PORT=str(closed_port),
                   QS_WWW=os.path.join(work, "www"),
                   QS_NGINX_LOG=os.path.join(work, "access.log"))
        try:
            return subprocess.run(command, env=env, stdin=subprocess.DEVNULL,
                                  timeout=COMMAND_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            print("run_servers: the command did not end in time", file=sys.stderr)
            return 1
    finally:
        for p in procs:
            p.send_signal(signal.SIGTERM)
        for p in procs:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        py.stop()


if __name__ == "__main__":
    sys.exit(main())
