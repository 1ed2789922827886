#!/bin/bash
# The Debian package packed from this build tree: contents, lintian, AppStream; as root also
# installed with apt-get, started offscreen with a throw-away home, asked /getStatus over TLS
# with the certificate it made, and purged again.     tst_package.sh BUILD_DIR
set -euo pipefail
work=$(mktemp -d)
pid= installed=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null || true
    [ -n "$installed" ] && apt-get purge -y -qq varnel > /dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
cpack --config "$1/CPackConfig.cmake" -B "$work" > /dev/null
deb=$(ls "$work"/varnel_*_amd64.deb)
dpkg-deb -c "$deb" > "$work/listing"
awk '{ print $6 }' "$work/listing" > "$work/contents"
for path in usr/bin/varnel usr/share/varnel/translations/printclient_es.qm usr/share/man/man1/varnel.1.gz \
    usr/share/applications/pt.tesmar.Varnel.desktop usr/share/icons/hicolor/256x256/apps/pt.tesmar.Varnel.png \
    usr/share/doc/varnel/copyright etc/chromium/policies/managed/varnel.json usr/share/varnel/chrome-policy.json; do
    grep -qx "./$path" "$work/contents" || fail "no $path in the package"
done
grep -q '^-rwxr-xr-x root/root .* ./usr/lib/cups/backend/escpos$' "$work/listing" || fail "escpos backend mode"
dpkg-deb -f "$deb" Depends | grep -q "qml-module-qtquick-controls2, .*libc6" || fail "dependencies"
lintian --fail-on error "$deb" || fail "lintian"
dpkg-deb -x "$deb" "$work/root"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/pt.tesmar.Varnel.metainfo.xml" || fail "AppStream"
# Chrome 146 reads loopback access from its own policy before the older one: both admit the same origins.
python3 - "$work/root/etc/chromium/policies/managed/varnel.json" << 'EOF' || fail "Chrome policies"
import json, sys
policy = json.load(open(sys.argv[1]))
origins = policy["LocalNetworkAccessAllowedForUrls"]
assert "https://[*.]tesmar.pt" in origins and policy["LoopbackNetworkAllowedForUrls"] == origins
EOF

if [ "$(id -u)" -ne 0 ] || dpkg -s varnel > /dev/null 2>&1; then
    echo "not root, or varnel already installed here: the package is not installed"
    exit 0
fi
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }
[ -L /etc/opt/chrome/policies/managed/varnel.json ] || fail "no Chrome policy"
key=Package+Key1v4.0
mkdir -p "$work/home/.config/Tesmar" && printf '[General]\nsecurityKey=%s\n' "$key" > "$work/home/.config/Tesmar/Varnel.conf"
env -i PATH=/usr/bin:/bin HOME="$work/home" QT_QPA_PLATFORM=offscreen \
    QT_QUICK_BACKEND=software VARNEL_UPDATE_URL=https://127.0.0.1:1 /usr/bin/varnel > "$work/varnel.log" 2>&1 &
pid=$!
ca=$work/home/.local/share/varnel/tls/ca.crt
for _ in $(seq 200); do
    [ -f "$ca" ] && curl -s -o /dev/null --cacert "$ca" https://localhost:5080/ && break
    sleep 0.1
done
curl -s --cacert "$ca" -H "Authorization: Bearer $key" https://localhost:5080/getStatus | grep -q '"Device online"' \
    || { cat "$work/varnel.log"; fail "no reply from the installed program"; }
kill "$pid" && wait "$pid" || true
pid= installed=
apt-get purge -y -qq varnel > /dev/null 2>&1 || fail "apt-get purge"
[ ! -e /etc/opt/chrome/policies/managed/varnel.json ] || fail "Chrome policy left behind"
echo "package built, checked, installed, served /getStatus and purged"
