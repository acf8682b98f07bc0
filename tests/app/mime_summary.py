#!/usr/bin/env python3
"""What a mail client sees in one message file, as JSON: the headers, the parts, the
parser's complaints, the longest line, and whether each attachment equals the file of
that name in the output folder."""
import email
import email.policy
import json
import os
import sys


def main():
    path, outdir = sys.argv[1], sys.argv[2]
    raw = open(path, "rb").read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    parts = []
    defects = [str(d) for d in msg.defects]
    html = ""
    for part in msg.walk():
        defects += [str(d) for d in part.defects]
        if part.is_multipart():
            parts.append({"type": part.get_content_type()})
            continue
        payload = part.get_payload(decode=True)
        name = part.get_filename()
        entry = {"type": part.get_content_type(), "name": name, "cid": part.get("Content-ID"),
                 "disposition": part.get_content_disposition(), "size": len(payload)}
        if name and os.path.exists(os.path.join(outdir, name)):
            entry["same_as_file"] = open(os.path.join(outdir, name), "rb").read() == payload
        if part.get_content_type() == "text/html":
            html = part.get_content()
        if part.get_content_type() == "application/xml":
            entry["text"] = payload.decode("utf-8")[:4000]
        parts.append(entry)
    lines = raw.split(b"\r\n")
    print(json.dumps({
        "subject": str(msg["Subject"]), "from": str(msg["From"]), "to": str(msg["To"]),
        "reply_to": str(msg["Reply-To"]), "bcc": msg["Bcc"], "message_id": str(msg["Message-ID"]),
        "date": str(msg["Date"]), "date_parsed": msg["Date"].datetime is not None if msg["Date"] else False,
        "mime_version": str(msg["MIME-Version"]), "html": html, "parts": parts, "defects": defects,
        "longest_line": max(len(l) for l in lines), "bare_lf": b"\n" in raw.replace(b"\r\n", b""),
    }))


if __name__ == "__main__":
    main()
