#!/usr/bin/python3
"""Renders the operator's guide from Markdown to one HTML page that any
Windows machine opens without extra software (lines end in CR LF; the
pictures stay beside it in images/).

Usage: render-guide.py GUIDE.md OUT.html
"""
import sys

import markdown

source, target = sys.argv[1], sys.argv[2]
with open(source, encoding="utf-8") as f:
    text = f.read()
body = markdown.markdown(text, extensions=["tables", "fenced_code", "toc"])
title = text.splitlines()[0].lstrip("# ").strip()
page = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>%s</title>
<style>
body { font-family: Segoe UI, Arial, sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }
code, pre { font-family: Consolas, monospace; background: #f3f3f3; }
pre { padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: 0.3em 0.6em; vertical-align: top; text-align: left; }
img { border: 1px solid #999; max-width: 100%%; }
</style>
</head>
<body>
%s
</body>
</html>
""" % (title, body)
with open(target, "w", encoding="utf-8", newline="\r\n") as f:
    f.write(page)
