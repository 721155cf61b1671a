#!/usr/bin/env bash
# Fresh machine to a finished print job: installs the dependencies, builds,
# starts the sample print service on 127.0.0.1 and runs zarn with a real
# "zarn://" link to it, the way the desktop's link handler starts it: the
# sample invoice (examples/scripts/invoice.txt), whose logo zarn downloads from
# the same service. The program runs from a copy in out/sample/ with a
# zarn.ini that asks for a PDF copy of every job into out/sample/pdf/ and
# names the sample service as the one service host.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
bash scripts/build.sh

out=$root/out/sample
rm -rf "$out"
mkdir -p "$out/pdf"
cp build/zarn "$out/zarn"
# The third line names the one service this desk prints for, as on an
# unattended desk: no box asks whether it may.
printf '1\r\n%s\r\n127.0.0.1\r\n' "$out/pdf" > "$out/zarn.ini"

python3 examples/sample_service.py examples --requests 10 --seconds 120 \
  > "$out/service.out" 2> "$out/service.log" &
service=$!
trap 'kill "$service" 2>/dev/null || true' EXIT
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's/^port //p' "$out/service.out" 2>/dev/null || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the sample service did not start (see $out/service.log)" >&2; exit 1; }

# The service request, URI-escaped and Base64-encoded, as a web page puts it in
# the link; the launcher hands it over as quote, link, "/", quote.
request="127.0.0.1:$port/print?job=invoice"
link="zarn://$(printf '%s' "$request" | base64 -w0)"
echo "service: http://$request"
echo "link:    $link"

# Runs zarn in its own folder, as the link handler does (the logo it downloads
# lands there), and copies the run log from the clipboard once zarn has ended
# (inside the same X display: a virtual one when there is none).
cat > "$out/run.sh" <<'INNER'
#!/usr/bin/env bash
out=$1; link=$2
rc=0
cd "$out" && timeout 120 ./zarn "\"$link/\"" || rc=$?
xclip -o -selection clipboard > "$out/run-log.txt" 2>/dev/null || true
exit $rc
INNER
touch "$out/started"
rc=0
if [ -n "${DISPLAY:-}" ]; then
  bash "$out/run.sh" "$out" "$link" || rc=$?
else
  xvfb-run -a -s "-screen 0 1280x1024x24" bash "$out/run.sh" "$out" "$link" || rc=$?
fi

echo
if [ "$rc" -eq 124 ]; then
  echo "zarn did not finish within 120 s: a dialog was waiting (see the error log below)."
fi
echo "run log (on the clipboard$( [ -z "${DISPLAY:-}" ] && echo ' of the virtual display') and in $out/run-log.txt):"
tr -d '\r' < "$out/run-log.txt" | sed 's/^/  /'
echo
if [ -s "$out/error_handler.txt" ]; then
  echo "error log: $out/error_handler.txt"
  tr -d '\r' < "$out/error_handler.txt" | sed 's/^/  /'
else
  echo "error log: none written (no error)"
fi
written=$(find "$out" -maxdepth 1 -type f -newer "$out/started" ! -name run-log.txt ! -name error_handler.txt ! -name 'service.*' | sort)
if [ -n "$written" ]; then
  echo "written beside the program by the script (GF download, QR picture):"
  printf '  %s\n' $written
fi
pdfs=$(find "$out/pdf" -name '*.pdf' 2>/dev/null | sort)
if [ -n "$pdfs" ]; then
  echo "PDF copy (zarn.ini asks for one):"
  printf '  %s\n' $pdfs
else
  echo "PDF copy: none in $out/pdf"
fi
# The printer run goes to the default printer; without a CUPS printer that is
# zarn's own PDF writer, which files it in the documents folder.
docs=$(xdg-user-dir DOCUMENTS 2>/dev/null || true)
[ -n "$docs" ] && [ "$docs" != "$HOME" ] || docs=$HOME/Documents
printed=$(find "$docs" -maxdepth 1 -name '*.pdf' -newer "$out/started" 2>/dev/null | sort)
if [ -n "$printed" ]; then
  echo "printer run (on the PDF writer, no CUPS printer is the default):"
  printf '  %s\n' $printed
else
  echo "printer run: sent to the default printer ($(lpstat -d 2>/dev/null || echo 'see CUPS'))"
fi
exit $rc
