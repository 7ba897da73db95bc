#!/usr/bin/env bash
# The manual pages format without a warning, the AppStream metadata and the desktop entry
# validate. usage: metadata_test.sh PACKAGING_DIR   (exit 77: man, appstreamcli or
# desktop-file-validate missing)
packaging=$1
for tool in man appstreamcli desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
status=0
for page in "$packaging"/man/*.[0-9]; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || { echo "FAIL: $page: $warnings"; status=1; }
done
appstreamcli validate --no-net "$packaging"/*.metainfo.xml || status=1
desktop-file-validate "$packaging/quellarimond.desktop" || status=1
exit $status
