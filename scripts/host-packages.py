#!/usr/bin/env python3
"""Lays out the packages the developers of each host language install from,
for scripts/package:

    host-packages.py VERSION EPOCH DIST X86_DLL X64_DLL LINUX_SO

writes into DIST
  Tarnlet.VERSION.nupkg      runtimes/win-x86/native/tarnlet.dll,
                             runtimes/win-x64/native/tarnlet.dll,
                             runtimes/linux-x64/native/libtarnlet.so and the C#
                             binding as source (contentFiles/cs/any/Tarnlet/,
                             and content/Tarnlet/ for packages.config projects)
  tarnlet-VERSION-py3-none-PLATFORM.whl for win32, win_amd64 and
                             linux_x86_64: the Python binding as the package
                             "tarnlet" with its library beside it. The Linux
                             library needs the system's OpenSSL 3 (libssl3), as
                             the .deb does, which no manylinux tag allows.
Both are zip files laid out by hand (no NuGet or wheel tool is needed): the
members are sorted and carry EPOCH, so the same inputs give the same bytes.
"""
import base64
import hashlib
import os
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SUMMARY = "Sends one mail message per call: SMTP in clear text or TLS (465, STARTTLS on 587), " \
          "SMTP AUTH or POP before SMTP, Japanese text as ISO-2022-JP, files as base64 " \
          "attachments"


def read(*parts):
    with open(os.path.join(ROOT, *parts), "rb") as f:
        return f.read()


def write_zip(path, members, epoch):
    """members: {name: bytes}; written sorted, each with the time epoch."""
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip cannot hold times before 1980
    with zipfile.ZipFile(path + ".part", "w", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(members):
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            info.create_system = 3
            z.writestr(info, members[name])
    os.replace(path + ".part", path)
    print(os.path.relpath(path))


def nupkg(version, epoch, dist, x86, x64, linux):
    binding = read("bindings", "csharp", "Tarnlet.cs")
    nuspec = f"""<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://schemas.microsoft.com/packaging/2013/05/nuspec.xsd">
  <metadata>
    <id>Tarnlet</id>
    <version>{version}</version>
    <authors>Tarnlet developers</authors>
    <license type="expression">MIT</license>
    <requireLicenseAcceptance>false</requireLicenseAcceptance>
    <description>{SUMMARY}. The native library for win-x86, win-x64 and linux-x64, and the C# binding (Tarnlet.MailMessage) as source compiled into the project.</description>
    <tags>smtp mail japanese iso-2022-jp shift-jis</tags>
    <dependencies>
      <group targetFramework=".NETFramework4.5" />
      <group targetFramework=".NETStandard2.0">
        <dependency id="System.Text.Encoding.CodePages" version="4.5.0" />
      </group>
    </dependencies>
    <contentFiles>
      <files include="cs/any/Tarnlet/Tarnlet.cs" buildAction="Compile" />
    </contentFiles>
  </metadata>
</package>
"""
    types = """<?xml version="1.0" encoding="utf-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
  <Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml" />
  <Default Extension="nuspec" ContentType="application/octet" />
  <Default Extension="dll" ContentType="application/octet" />
  <Default Extension="so" ContentType="application/octet" />
  <Default Extension="cs" ContentType="application/octet" />
</Types>
"""
    rels = """<?xml version="1.0" encoding="utf-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
  <Relationship Type="http://schemas.microsoft.com/packaging/2010/07/manifest" Target="/Tarnlet.nuspec" Id="Rmanifest" />
</Relationships>
"""
    members = {
        "Tarnlet.nuspec": nuspec.encode(),
        "[Content_Types].xml": types.encode(),
        "_rels/.rels": rels.encode(),
        "runtimes/win-x86/native/tarnlet.dll": x86,
        "runtimes/win-x64/native/tarnlet.dll": x64,
        "runtimes/linux-x64/native/libtarnlet.so": linux,
        "contentFiles/cs/any/Tarnlet/Tarnlet.cs": binding,
        "content/Tarnlet/Tarnlet.cs": binding,
    }
    write_zip(os.path.join(dist, "Tarnlet.%s.nupkg" % version), members, epoch)


def record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (name, digest, len(data))


def wheel(version, epoch, dist, platform, library_name, library):
    info = "tarnlet-%s.dist-info" % version
    metadata = f"""Metadata-Version: 2.1
Name: tarnlet
Version: {version}
Summary: {SUMMARY}
License: MIT
Requires-Python: >=3.7
Description-Content-Type: text/markdown

The Python binding of the Tarnlet mail library with the library itself
({library_name}). Through a provider: port 465 or 587 with auth="login"; the
server's certificate is always verified against the system's trusted roots.

    import os
    import tarnlet
    tarnlet.send("山田様\\r\\n報告書を送ります。\\r\\n", server="smtp.example.com", port=587,
                 auth="login", user="me@example.com",
                 password=os.environ["TARNLET_PASSWORD"],
                 sender="me@example.com", to=["yamada@example.jp"],
                 subject="月次報告", attachments=["報告書.pdf"], check=True)
"""
    members = {
        "tarnlet/__init__.py": read("bindings", "python", "tarnlet.py"),
        "tarnlet/" + library_name: library,
        info + "/METADATA": metadata.encode(),
        info + "/WHEEL": ("Wheel-Version: 1.0\nGenerator: tarnlet scripts/package\n"
                          "Root-Is-Purelib: false\nTag: py3-none-%s\n" % platform).encode(),
        info + "/LICENSE": read("LICENSE"),
    }
    record = [record_line(name, data) for name, data in sorted(members.items())]
    members[info + "/RECORD"] = ("\n".join(record + [info + "/RECORD,,"]) + "\n").encode()
    write_zip(os.path.join(dist, "tarnlet-%s-py3-none-%s.whl" % (version, platform)), members, epoch)


def main():
    version, epoch, dist, x86_path, x64_path, so_path = sys.argv[1:7]
    epoch = int(epoch)
    with open(x86_path, "rb") as f:
        x86 = f.read()
    with open(x64_path, "rb") as f:
        x64 = f.read()
    with open(so_path, "rb") as f:
        linux = f.read()
    nupkg(version, epoch, dist, x86, x64, linux)
    wheel(version, epoch, dist, "win32", "tarnlet.dll", x86)
    wheel(version, epoch, dist, "win_amd64", "tarnlet.dll", x64)
    wheel(version, epoch, dist, "linux_x86_64", "libtarnlet.so", linux)


if __name__ == "__main__":
    main()
