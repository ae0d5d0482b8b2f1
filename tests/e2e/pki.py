"""A test CA of the journey's own, which Wine trusts: Wine reads only the host's bundle, so a journey run under
`unshare -m --propagation private` (velmo_e2e_test's OWN_MOUNTS) mounts a copy holding the CA over it, seen by its
own processes alone. Wine's first process of the prefix (the wineserver) must start after trust(). Shared by the
journeys that need TLS."""
import os, subprocess
from pathlib import Path

BUNDLE = Path("/etc/ssl/certs/ca-certificates.crt")


def openssl(folder, *args):
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", *args], cwd=folder,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_pki(folder):
    """In `folder`: ca.crt, the CA; good.crt and .key, its certificate for localhost and 127.0.0.1; self.crt and .key,
    a self-signed one for the same names. Returns the folder."""
    names = ("-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1")
    openssl(folder, "-subj", "/CN=Velmoranth test CA", "-keyout", "ca.key", "-out", "ca.crt")
    openssl(folder, *names, "-CA", "ca.crt", "-CAkey", "ca.key", "-addext", "basicConstraints=critical,CA:FALSE",
            "-keyout", "good.key", "-out", "good.crt")
    openssl(folder, *names, "-keyout", "self.key", "-out", "self.crt")
    return Path(folder)


def trust(folder):
    """The CA of make_pki(folder) joins the host's for this process and those it starts."""
    if os.readlink("/proc/self/ns/mnt") == os.readlink("/proc/%d/ns/mnt" % os.getppid()):
        raise RuntimeError("not in a mount namespace of its own: run under unshare -m --propagation private")
    bundle = Path(folder, "bundle.crt")
    bundle.write_bytes(BUNDLE.read_bytes() + Path(folder, "ca.crt").read_bytes())
    subprocess.run(["mount", "--bind", bundle, BUNDLE], check=True)
