#!/bin/sh
# Renders the SVG sources into the PNGs the screens load (1x and @2x; the busy sprites 1x only,
# since their frame size is fixed in pixels). Needs rsvg-convert (Debian package librsvg2-bin).
# The wordmarks use Poppins, so fontconfig is pointed at the fonts shipped in qml/resources.
set -eu
src=$(cd "$(dirname "$0")" && pwd)
imgs=$(dirname "$src")
fonts=$(cd "$imgs/../resources" && pwd)
conf=$(mktemp)
cache=$(mktemp -d)
trap 'rm -rf "$conf" "$cache"' EXIT
cat >"$conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig><dir>$fonts</dir><cachedir>$cache</cachedir></fontconfig>
CONF
export FONTCONFIG_FILE="$conf"

for svg in "$src"/*.svg; do
    name=$(basename "$svg" .svg)
    rsvg-convert -o "$imgs/$name.png" "$svg"
    case "$name" in
    busy_indicator*) ;;
    *) rsvg-convert -z 2 -o "$imgs/$name@2x.png" "$svg" ;;
    esac
done
