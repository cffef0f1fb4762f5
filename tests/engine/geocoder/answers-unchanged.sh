#!/bin/sh
# Answers of the engine to a mixed set of questions (places, typos, postcodes, streets, house
# numbers, map boxes, points) over the shipped gazetteer alone and with two OpenStreetMap imports,
# compared byte for byte with the answers kept in answers/. A difference is printed as a diff.
# answers-unchanged.sh SOURCE-DIR ORVANE-GAZETTEER BENCH-ANSWERS SHIPPED-GAZETTEER OSM-EXAMPLES-DIR
set -eu
here=$1/tests/engine/geocoder/answers
tool=$2 answers=$3 shipped=$4 osm=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVANE_GAZETTEER="$shipped"
check() {   # NAME GAZETTEER...
  name=$1
  shift
  gzip -dc "$here/$name-inputs.tsv.gz" > "$work/$name.tsv"
  "$answers" "$work/$name.tsv" "$@" > "$work/$name.txt"
  gzip -dc "$here/$name-expected.txt.gz" | diff - "$work/$name.txt" | head -20 > "$work/$name.diff" || true
  if [ -s "$work/$name.diff" ]; then
    echo "answers changed ($name):"
    cat "$work/$name.diff"
    return 1
  fi
  echo "$name: $(wc -l < "$work/$name.txt") answers as before"
}
check shipped "$shipped"
if [ ! -f "$osm/West-Oakland.osm.bz2" ]; then
  echo "python-osmnx-doc is not installed; the imports are not checked"
  exit 0
fi
"$tool" import --gazetteer "$work/oakland.bin" --country US "$osm/West-Oakland.osm.bz2" > /dev/null
"$tool" import --gazetteer "$work/kirchberg.bin" "$osm/planet_10.068,48.135_10.071,48.137.osm" > /dev/null
check oakland "$shipped" "$work/oakland.bin"
check kirchberg "$shipped" "$work/kirchberg.bin"
