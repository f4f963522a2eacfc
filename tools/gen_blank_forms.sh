#!/usr/bin/env bash
# Regenerates the six blank forms in app/PDF/ with the installed Chromium:
#   CapSelect.pdf    the CAP selection form, its 33 rows from src/cap/cap_catalogue.h
#   KyoKeikaku1.pdf, KyoKeikaku2.pdf, SyuKeikaku.pdf
#                    the three standard care-plan forms (A4 landscape)
#   UKETUKE.pdf, Assessment.pdf
#                    the intake sheet and the assessment as `zelka report` prints
#                    them, for a record with no answers
# The first four come from the templates in tools/forms/. The last two need a
# built zelka (default build/zelka-app/zelka, or the first argument) that
# has the report command; without one they are skipped with a message and the
# committed files stay as they are. A form whose page count differs from its
# paper form (1, or 4 and 19 for the reports) stops the script.
#
# Usage: tools/gen_blank_forms.sh [path/to/zelka]
set -euo pipefail
cd "$(dirname "$0")/.."

out=app/PDF
zelka=${1:-build/zelka-app/zelka}
chromium=${CHROMIUM:-/usr/bin/chromium}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

if [ ! -x "$chromium" ]; then
  echo "gen_blank_forms: $chromium not found (tools/setup.sh installs it)" >&2
  exit 1
fi

# Prints an HTML file to a PDF; the page size and margins come from its @page rule.
print_pdf() {
  local html=$1 pdf=$2
  rm -f "$pdf"
  "$chromium" --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --no-pdf-header-footer \
    --print-to-pdf="$pdf" "file://$html" >"$work/chromium.log" 2>&1 || true
  if [ ! -s "$pdf" ]; then
    echo "gen_blank_forms: Chromium did not print $html:" >&2
    cat "$work/chromium.log" >&2
    exit 1
  fi
}

# Moves a printed form into app/PDF/ once it has the pages the paper form has.
install_pdf() {
  local pdf=$1 pages=$2 found
  found=$(pdfinfo "$pdf" 2>/dev/null | sed -n 's/^Pages: *//p')
  if [ "$found" != "$pages" ]; then
    echo "gen_blank_forms: $pdf has ${found:-no} pages, expected $pages; app/PDF/ is left as it was" >&2
    exit 1
  fi
  mv "$pdf" "$out/"
  echo "gen_blank_forms: $out/$(basename "$pdf")"
}

# The catalogue's entries ({"2a", "IADL(改善)(A)"}, …) as table rows, in catalogue order.
cap_rows() {
  grep -o '{"[0-9]*[ab]\?", "[^"]*"}' src/cap/cap_catalogue.h |
    sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' \
        -e 's|^{"\([^"]*\)", "\([^"]*\)"}$|      <tr><td class="no">\1</td><td>\2</td><td class="mark"><span></span></td><td></td></tr>|'
}

cp tools/forms/forms.css "$work/"
rows=$(cap_rows)
count=$(printf '%s\n' "$rows" | grep -c '<tr>')
if [ "$count" -ne 33 ]; then
  echo "gen_blank_forms: found $count CAPs in src/cap/cap_catalogue.h, expected 33" >&2
  exit 1
fi
while IFS= read -r line; do
  if [ "$line" = "<!-- caps -->" ]; then printf '%s\n' "$rows"; else printf '%s\n' "$line"; fi
done <tools/forms/CapSelect.html >"$work/CapSelect.html"

for form in CapSelect KyoKeikaku1 KyoKeikaku2 SyuKeikaku; do
  [ -f "$work/$form.html" ] || cp "tools/forms/$form.html" "$work/"
  print_pdf "$work/$form.html" "$work/$form.pdf"
  install_pdf "$work/$form.pdf" 1
done

# The two printed reports, for one record whose answers are all empty.
if [ ! -x "$zelka" ] || ! "$zelka" --help 2>/dev/null | grep -q 'zelka report'; then
  echo "gen_blank_forms: $zelka has no report command (build it first);" \
       "UKETUKE.pdf and Assessment.pdf were NOT regenerated" >&2
  exit 0
fi
"$zelka" init --app-dir "$work/app" >/dev/null
{
  echo "BEGIN;"
  echo "INSERT INTO [相談受付表] ([整理番号]) VALUES (1);"
  echo "INSERT INTO [AA] ([整理番号]) VALUES (1);"
  for section in A B C D E F G H I J K L M N O P Q R S; do
    echo "INSERT INTO [$section] ([整理番号], [基準日]) VALUES (1, '2000-01-01');"
  done
  echo "COMMIT;"
} | sqlite3 -bail "$work/app/ZELKA20.mdb"
"$zelka" report --app-dir "$work/app" --form intake --id 1 --out "$work/UKETUKE.pdf"
"$zelka" report --app-dir "$work/app" --form assessment --id 1 --date 2000-01-01 --out "$work/Assessment.pdf"
install_pdf "$work/UKETUKE.pdf" 4
install_pdf "$work/Assessment.pdf" 19
