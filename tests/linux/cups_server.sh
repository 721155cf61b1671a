#!/usr/bin/env bash
# A private CUPS server for the surface tests: loopback and a socket in its
# own folder, one queue "zarn-test" whose device is a file and whose driver
# (zarn-test.ppd beside this script) keeps the PDF it is given as it is.
#   cups_server.sh start FOLDER PORT [QUEUE=PAPER ...]
#                                      starts cupsd, adds the queue, prints nothing;
#                                      each QUEUE=PAPER adds a queue of the same kind
#                                      whose own paper is PAPER (A4, A5, Letter,
#                                      Legal), and the first of them is the default
#   cups_server.sh stop FOLDER         stops that cupsd
# A queue's output lands in FOLDER/out/QUEUE.prn; the documents it was given
# stay in FOLDER/spool (d00001-001 for the first job, ...).
set -euo pipefail
cmd=$1 dir=$2
case "$cmd" in
start)
  port=$3
  command -v cupsd >/dev/null || { echo "cupsd is not installed" >&2; exit 77; }
  mkdir -p "$dir"/{spool/tmp,cache,state,log,out,ppd}
  chmod 1777 "$dir/out" "$dir/spool/tmp"
  cat >"$dir/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
Listen $dir/cups.sock
LogLevel warn
PreserveJobFiles Yes
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerBin /usr/lib/cups
DataDir /usr/share/cups
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
FileDevice Yes
SystemGroup root
CONF
  # In the foreground of a background job, so its process id is ours to stop.
  cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/stdout" 2>&1 &
  echo $! >"$dir/cupsd.pid"
  export CUPS_SERVER="$dir/cups.sock"
  for _ in $(seq 100); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
  lpstat -r >/dev/null 2>&1 || { echo "cupsd did not come up" >&2; cat "$dir/log/error_log" >&2 2>/dev/null; exit 77; }
  ppd="$(cd "$(dirname "$0")" && pwd)/zarn-test.ppd"
  # A scheduler that has just come up may still refuse; a few tries, then its error.
  for try in $(seq 20); do
    if lpadmin -p zarn-test -E -v "file://$dir/out/zarn-test.prn" -P "$ppd" 2>"$dir/log/lpadmin"; then break; fi
    [ "$try" = 20 ] && { cat "$dir/log/lpadmin" >&2; exit 1; }
    sleep 0.2
  done
  default=zarn-test
  for queue in "${@:4}"; do
    name=${queue%%=*} paper=${queue#*=}
    lpadmin -p "$name" -E -v "file://$dir/out/$name.prn" -P "$ppd" -o "PageSize=$paper" 2>>"$dir/log/lpadmin"
    [ "$default" = zarn-test ] && default=$name
  done
  lpadmin -d "$default"
  ;;
stop)
  if [ -f "$dir/cupsd.pid" ]; then
    pid=$(cat "$dir/cupsd.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  ;;
esac
