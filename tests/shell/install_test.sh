#!/usr/bin/env bash
# install_test.sh BUILD_DIR: installs the build into a temporary prefix, then
# runs the installed program from another directory and checks that it serves
# its page, pictures and licence notices, and that the desktop files are valid.
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=$(mktemp -d)
home=$(mktemp -d)
pid=""
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
  rm -rf "$prefix" "$home"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix/share/applications/wrenfold.desktop"
for icon in 16x16 48x48 256x256; do
  test -s "$prefix/share/icons/hicolor/$icon/apps/wrenfold.png"
done
test -s "$prefix/share/icons/hicolor/scalable/apps/wrenfold.svg"

cd "$home"
[[ $("$prefix/bin/wrenfold" --version) == "wrenfold "* ]]

env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_DATA_HOME= "$prefix/bin/wrenfold" --browser --no-open \
  > "$home/out.txt" &
pid=$!
for _ in $(seq 100); do
  grep -q "Wrenfold is running at" "$home/out.txt" && break
  sleep 0.1
done
line=$(grep -o 'http://127.0.0.1:[0-9]*/#token=[0-9a-f]*' "$home/out.txt")
base=${line%%/#*}
token=${line##*token=}
api() {
  curl -sf -X POST -H "X-Wrenfold-Token: $token" -H "Content-Type: application/json" -d '[]' "$base/api/$1"
}

page=$(curl -sf "$base/")
[[ $page == *"<html"* ]] || { echo "the installed program serves no page" >&2; exit 1; }
api get_images | python3 -c '
import json, sys
images = json.load(sys.stdin)["result"]
assert images["logo"].startswith("data:image/png;base64,"), "no logo"
assert images["logo_ico"].startswith("data:image/x-icon;base64,"), "no icon"
assert images["gear"] and images["refresh"], "pictures missing"'
api get_third_party_licenses | python3 -c '
import json, sys
names = {item["name"] for item in json.load(sys.stdin)["result"]["items"]}
missing = {"nlohmann-json", "libcurl", "libxml2", "libical", "webkit2gtk"} - names
assert not missing, f"licence notices missing: {missing}"'

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=""
[[ $status == 0 ]] || { echo "the installed program ended with $status" >&2; exit 1; }
echo "install test: 1 passed, 0 failed"
