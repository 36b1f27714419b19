#!/usr/bin/env bash
# Starts the Firebird server of this machine on 127.0.0.1 for the integration tests, with the
# two databases the check probes reachable under their names ("c:\ders\dershane.gdb" and
# "c:\ders\smart.gdb"). Prints the server's process id. Needs root (it runs the server as the
# user firebird).
set -euo pipefail
conf=/etc/firebird/3.0
data=/var/lib/firebird/3.0/data
grep -q '^RemoteBindAddress = 127.0.0.1' "$conf/firebird.conf" || echo 'RemoteBindAddress = 127.0.0.1' >> "$conf/firebird.conf"
for db in dershane smart; do
  grep -q "c:\\\\ders\\\\$db.gdb" "$conf/databases.conf" || echo "c:\\ders\\$db.gdb = $data/$db.fdb" >> "$conf/databases.conf"
done
if ! ss -ltn 2>/dev/null | grep -q '127.0.0.1:3050'; then
  setpriv --reuid=firebird --regid=firebird --init-groups /usr/sbin/firebird >/dev/null 2>&1 &
  for _ in $(seq 1 100); do
    ss -ltn 2>/dev/null | grep -q '127.0.0.1:3050' && break
    sleep 0.1
  done
fi
for db in dershane smart; do
  if [ ! -f "$data/$db.fdb" ]; then
    echo "CREATE DATABASE '127.0.0.1:c:\\ders\\$db.gdb';" |
      isql-fb -user sysdba -password gulpatern -q >/dev/null
  fi
done
pgrep -x firebird | head -n 1
