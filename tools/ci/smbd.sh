#!/usr/bin/env bash
# Starts an smbd of its own on 127.0.0.1 for the integration tests, with a disk share "ders" and
# a printer share "laser", serving the browse list of its workgroup TESTGROUP (SMB1, which
# browsing needs). DIR/client.conf is the matching client configuration (name service on
# 127.0.0.1, see nbns_responder). Usage: smbd.sh DIR PORT; prints the server's process id.
set -euo pipefail
dir=$1
port=$2
mkdir -p "$dir"/{share,lock,state,cache,priv,run,log}
cat > "$dir/smb.conf" <<CONF
[global]
  workgroup = TESTGROUP
  netbios name = LOOPSRV
  interfaces = 127.0.0.1
  bind interfaces only = yes
  smb ports = $port
  server role = standalone server
  server min protocol = NT1
  map to guest = Bad User
  guest account = nobody
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  private dir = $dir/priv
  pid directory = $dir/run
  ncalrpc dir = $dir/run/ncalrpc
  log file = $dir/log/%m.log
  load printers = no
  printing = bsd
  printcap name = /dev/null
[ders]
  path = $dir/share
  guest ok = yes
  read only = yes
[laser]
  path = $dir/share
  printable = yes
  guest ok = yes
CONF
# The browse list that the name service's master browser would have gathered.
for d in state lock cache; do
  printf '"TESTGROUP" c0001000 "LOOPSRV" "TESTGROUP"\n"LOOPSRV" 400d1a03 "" "TESTGROUP"\n' > "$dir/$d/browse.dat"
done
cat > "$dir/client.conf" <<CONF
[global]
  workgroup = TESTGROUP
  client min protocol = NT1
  client max protocol = NT1
  name resolve order = wins
  wins server = 127.0.0.1
  interfaces = 127.0.0.1/8
  bind interfaces only = yes
CONF
# In a session of its own: when smbd ends it signals its whole process group.
setsid smbd --foreground --no-process-group -s "$dir/smb.conf" >"$dir/smbd.out" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  ss -ltn 2>/dev/null | grep -q "127.0.0.1:$port " && break
  sleep 0.1
done
echo "$pid"
