#!/bin/sh
# The device cases of the Windows build, run by the guest's init under Wine:
# COM2 and COM12 are the UART ttyS1 (the prefix's dosdevices/com2 and com12),
# COM3 the USB adapter ttyUSB0, COM7 is no port.
# One-byte reads run at a few hundred bytes a second under emulation, so
# the streams are short. Steps and the lines for the host: case-lib.sh.
export WINEPREFIX=/opt/wine HOME=/tmp WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
B="$WINE /opt/q/quillon-bridge.exe"
P="$WINE /opt/q/serial_probe.exe"
UART_PORT=COM2
# Wine turns SIGINT into Ctrl+C for the program's console handler.
STOP_SIGNAL=INT
. /case-lib.sh
cpu_ticks() { set -- $(cut -d' ' -f14,15 /proc/$1/stat 2>/dev/null || echo 0 0); echo $(($1 + $2)); }

# One server for every case: each program then starts in a few seconds.
/usr/lib/wine/wineserver -p
t0=$(cut -d' ' -f1 /proc/uptime)
$WINE /opt/q/serial_probe.exe > $T/wine-start.out 2>&1
echo "Wine's first program ran in $(echo "$(cut -d' ' -f1 /proc/uptime) $t0" | awk '{printf "%.1f", $1 - $2}') s"

# ---- quillon-bridge.exe ------------------------------------------------------

uart w115200-none-8-1 115200 none 8 1 115200 51 2048 256 "" --stats 2
# The same UART by its other name, COM12, as a lower-case device path.
UART_PORT='\\.\com12'
uart w9600-odd-7-2 9600 odd 7 2 9600 52 1024 128 "" --stats 2
UART_PORT=COM2

name=w-missing-port
if want $name; then
  $B --port COM7 --target 127.0.0.1:4999 > $T/$name.out 2> $T/$name.err
  rc=$?
  if [ $rc -eq 1 ] && grep -q 'COM7 does not exist' $T/$name.err; then
    result $name ok "exit 1: $(grep COM7 $T/$name.err)"
  else
    result $name FAIL "exit $rc: $(cat $T/$name.err)"
  fi
fi

# While the bridge holds COM2, RTS and DTR stay low: the driver's table
# shows the lines that are up. (A second program's open of the port is not
# refused under Wine, which keeps no exclusive use of a serial device; on
# Windows the driver refuses it.)
name=w-dtr-rts-low
if want $name; then
  start $name 54 256 256 "" -- --port COM2
  lines=$(grep '^1:' /proc/tty/driver/serial)
  echo "@@FEED s1 54 256"
  finish
  case "$lines" in
    *RTS* | *DTR*) result $name FAIL "modem lines up while held: $lines" ;;
    *) result $name ok "ttyS1 while held: ${lines##* }" ;;
  esac
fi

# Stopped with a partial frame held back: Ctrl+C ends it with status 0,
# after the tail has left and the counts are said.
name=w-clean-stop
if want $name; then
  start $name 53 300 256 short -- --port COM2 --flush-idle 10000 --stats 1
  echo "@@FEED s1 53 300"
  waitfor $T/$name.out "received 300 bytes" 30
  kill -INT $bpid
  waitend $bpid 30
  rc=$?
  wait $rpid
  recv_rc=$?
  if [ $rc -eq 0 ] && [ $recv_rc -eq 0 ]; then
    result $name ok "exit 0; $(tail -n 1 $T/$name.out); $(tail -n 1 $T/$name.recv)"
  else
    result $name FAIL "exit $rc; $(tail -n 2 $T/$name.out | tr '\n' ';') receiver: $(tail -n 1 $T/$name.recv)"
  fi
fi

# ---- the serial engine alone (serial_probe) ---------------------------------

# probe NAME BAUD PARITY DATA STOP SEED FEED TAKE: the probe takes TAKE bytes
# of a stream of FEED; the UART must run as asked.
probe() {
  name=$1 baud=$2 parity=$3 data=$4 stop=$5 seed=$6 feed=$7 take=$8
  want $name || return 0
  $P COM2 $baud $parity $data $stop $seed $take > $T/$name.out 2> $T/$name.err &
  ppid=$!
  waitfor $T/$name.out "probe open" 30
  got=$(lcr) wanted=$(lcr_for $parity $data $stop)
  echo "@@FEED s1 $seed $feed $baud"
  waitend $ppid 120
  rc=$?
  if [ $rc -eq 0 ] && [ "$got" = "$wanted" ]; then
    result $name ok "LCR $got; $(tail -n 1 $T/$name.out)"
  else
    result $name FAIL "exit $rc, LCR $got (wanted $wanted): $(tail -n 1 $T/$name.out)"
  fi
  echo "@@STOPFEED s1"
}

probe probe-115200-8n1 115200 none 8 1 41 2048 2048
probe probe-9600-odd-7-2 9600 odd 7 2 42 1024 1024

name=probe-missing
if want $name; then
  $P COM7 115200 none 8 1 1 1 > $T/$name.out 2> $T/$name.err
  rc=$?
  if [ $rc -eq 2 ] && grep -q 'COM7 does not exist' $T/$name.out; then
    result $name ok "exit 2: $(cat $T/$name.out)"
  else
    result $name FAIL "exit $rc: $(cat $T/$name.out)"
  fi
fi

# The USB adapter (COM3, ttyUSB0) pulled out and put back: said once, no
# CPU spent while it is out, reopened by its name, and the stream fed after
# its return arrives whole. Wine's Plug and Play list has no ports, so the
# adapter's identity is not checked here.
name=probe-unplug
if want $name; then
  i=0
  while [ ! -e /dev/ttyUSB0 ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done
  $P COM3 115200 none 8 1 44 1024 > $T/$name.out 2> $T/$name.err &
  ppid=$!
  waitfor $T/$name.out "probe open" 30
  echo "@@MON device_del u1"
  ok=1 why=""
  waitfor $T/$name.out "probe lost" 20 || { ok=0 why="no loss said"; }
  c0=$(cpu_ticks $ppid)
  sleep 3
  c1=$(cpu_ticks $ppid)
  echo "@@MON device_add $USB_A"
  waitfor $T/$name.out "probe back" 30 || { ok=0 why="$why; not back"; }
  echo "@@FEED u 44 1024"
  waitend $ppid 120 || { ok=0 why="$why; $(tail -n 1 $T/$name.out)"; }
  [ "$(grep -c 'probe lost' $T/$name.out)" -eq 1 ] || { ok=0 why="$why; loss said $(grep -c 'probe lost' $T/$name.out) times"; }
  if [ $ok -eq 1 ]; then
    result $name ok "CPU while lost: $((c1 - c0)) ticks in 3 s; $(grep '^probe' $T/$name.out | tr '\n' ';')"
  else
    result $name FAIL "${why#; }"
  fi
fi

# Closed while bytes still come (last: the rest of its stream is still on
# its way when it ends).
probe probe-close-streaming 57600 even 8 1 43 4096 512
