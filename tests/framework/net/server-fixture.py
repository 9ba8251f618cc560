#!/usr/bin/env python3
"""CTest fixture: the local download server with a small file store for the client's and the
wizard's tests, with the program's own token.
  server-fixture.py start STATE        makes STATE/store and the rules, starts the server
  server-fixture.py start-empty STATE  the same with an empty store and no rules, which the tests fill
  server-fixture.py stop STATE         stops it
"""
import json
import os
import shutil
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
server = os.path.join(here, "..", "..", "..", "tools", "download-server.py")
command, state = sys.argv[1], os.path.abspath(sys.argv[2])
if command == "stop":
    sys.exit(subprocess.call([sys.executable, server, "stop", "--state", state]))
if command == "start-empty":
    store = os.path.join(state, "store")
    shutil.rmtree(store, ignore_errors=True)
    os.makedirs(store)
    for name in ("rules.json", "requests.log"):
        try:
            os.remove(os.path.join(state, name))
        except FileNotFoundError:
            pass
    sys.exit(subprocess.call([sys.executable, server, "start", "--state", state, "--root", store]))

SIZE = 2621447  # several read blocks and an odd tail; the test makes the same bytes
data = bytes((i * 31 + i // 1000) & 0xFF for i in range(SIZE))
store = os.path.join(state, "store")
os.makedirs(os.path.join(store, "diger"), exist_ok=True)
os.makedirs(os.path.join(store, "Türkçe klasör"), exist_ok=True)
for name in ("diger/data.bin", "nolength.bin", "short.bin", "stall.bin", "drip.bin", "extra.bin"):
    with open(os.path.join(store, name), "wb") as f:
        f.write(data)
with open(os.path.join(store, "Türkçe klasör", "ı dosya+1.txt"), "wb") as f:
    f.write("\ufeffmerhaba ğüşıöç İ\n".encode("utf-8"))
with open(os.path.join(store, "empty.bin"), "wb"):
    pass
# The wizard's tests write their own files under paket/ and guncelleme/; these names fail for them.
with open(os.path.join(state, "rules.json"), "w") as f:
    json.dump({"nolength.bin": {"length": False}, "short.bin": {"cut": 100000},
               "broken": {"status": 503, "reason": "Service Unavailable"},
               "paket/uzunluksuz.zip": {"length": False}, "paket/kesik.zip": {"cut": 1000},
               "guncelleme/kesik.exe": {"cut": 1000}, "paket/duran.zip": {"stall": 1000},
               "stall.bin": {"stall": 1000}, "mute.bin": {"mute": True}, "drip.bin": {"drip": 5},
               "endless.txt": {"endless": True}, "extra.bin": {"extra": 100}}, f)
try:
    os.remove(os.path.join(state, "requests.log"))
except FileNotFoundError:
    pass
sys.exit(subprocess.call([sys.executable, server, "start", "--state", state, "--root", store]))
