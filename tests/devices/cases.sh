#!/bin/sh
# The device cases, run by the guest's init; their steps and the lines for
# the host are in case-lib.sh.
B=/opt/q/quillon-bridge
UART_PORT=/dev/ttyS1
. /case-lib.sh

# ---- the 16550A UART ------------------------------------------------------

uart u9600-odd-7-2 9600 odd 7 2 9600 11 4096 128 ""
uart u115200-even-8-1 115200 even 8 1 115200 12 131072 1024 ""
# 56000 is no divisor of the 115200 base clock: the driver rounds to 2.
uart u56000-mark-8-2 56000 mark 8 2 57600 13 65536 256 ""
uart u38400-space-7-1 38400 space 7 1 38400 14 32768 512 ""
# A partial frame leaves once the line has been quiet.
uart u19200-none-flush 19200 none 8 1 19200 15 1000 256 short --flush-idle 1000

# The program holds DTR and RTS low; the driver's table shows the lines that
# are up.
name=dtr-rts-low
if want $name; then
  start $name 16 1024 1024 "" -- --port /dev/ttyS1
  lines=$(grep '^1:' /proc/tty/driver/serial)
  echo "@@FEED s1 16 1024"
  finish
  case "$lines" in
    *RTS* | *DTR*) result $name FAIL "modem lines up while held: $lines" ;;
    *) result $name ok "ttyS1 while held: ${lines##* }" ;;
  esac
fi

# A rate the standard UART (base clock 115200) cannot make is refused, with
# its cause.
name=u460800-refused
if want $name; then
  $B --port /dev/ttyS1 --baud 460800 --target 127.0.0.1:4999 > $T/$name.out 2> $T/$name.err
  rc=$?
  if [ $rc -eq 1 ] && grep -q 'refuses these line settings' $T/$name.err; then
    result $name ok "exit 1: $(cat $T/$name.err)"
  else
    result $name FAIL "exit $rc"
  fi
fi

# A stalled reader: once the tty's buffer (640 KiB) is full the kernel drops
# what comes; the bridge must say how much, what did arrive must be exact,
# and received plus lost must be what was sent.
name=stall
if want $name; then
  count=1441792
  start $name 17 $count 1024 "gaps idle=600" -- --port /dev/ttyS1 --stats 1
  # Bytes come faster with the FIFO's interrupt at 14 bytes than at 8.
  echo 14 > /sys/class/tty/ttyS1/rx_trig_bytes
  rx() { sed -n 's/^1:.* rx:\([0-9]*\).*/\1/p' /proc/tty/driver/serial; }
  rx0=$(rx)
  kill -STOP $bpid
  echo "@@FEED s1 17 $count"
  i=0
  while [ $(($(rx) - rx0)) -lt $count ] && [ $i -lt 1500 ]; do
    sleep 0.2
    i=$((i + 1))
  done
  kill -CONT $bpid
  waitfor $T/$name.err dropped 15
  # Until the bridge's count stands still: everything queued was read.
  last=x
  while :; do
    sleep 1.5
    now=$(sed -n 's/.* received \([0-9]*\) bytes.*/\1/p' $T/$name.out | tail -n 1)
    [ "$now" = "$last" ] && break
    last=$now
  done
  kill -TERM $rpid
  finish
  doc=$(sed -n 's/.* received \([0-9]*\) bytes.* dropped by the driver \([0-9]*\) bytes.*/\1 \2/p' $T/$name.out |
    tail -n 1)
  got=$(sed -n 's/.* bytes=\([0-9]*\) .*/\1/p' $T/$name.recv)
  set -- $doc
  driver=$(grep '^1:' /proc/tty/driver/serial)
  if [ $recv_rc -eq 0 ] && grep -q dropped $T/$name.err && [ "${2:-0}" -gt 0 ] &&
    [ $(($1 + $2)) -eq $count ] && [ "$got" -le "$1" ] && [ $(($1 - got)) -lt 1024 ]; then
    result $name ok "received $1 + lost $2 = $count; $(head -n 1 $T/$name.err); driver: ${driver#*tx:}"
  else
    result $name FAIL "stats '$doc', receiver got '$got' of $count"
  fi
fi

# ---- the USB serial adapter -----------------------------------------------

i=0
while [ ! -e $BYID_A ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done

name=list-ports
if want $name; then
  $B --list-ports > $T/$name.out 2> $T/$name.err
  tab=$(printf '\t')
  if grep -q "^/dev/ttyS0$tab" $T/$name.out && grep -q "^/dev/ttyS1$tab" $T/$name.out &&
    grep -q "^/dev/ttyUSB0$tab$BYID_A${tab}QEMU" $T/$name.out && ! grep -q 'ttyS[23]' $T/$name.out; then
    result $name ok "$(tr '\t\n' ' ;' < $T/$name.out)"
  else
    result $name FAIL "$(tr '\t\n' ' ;' < $T/$name.out)"
  fi
fi

# COM2 named in ports.ini as the adapter's stable name.
name=com2-ports-ini
if want $name; then
  mkdir -p $T/cfg
  printf '[Ports]\r\nCOM2=%s\r\n' $BYID_A > $T/cfg/ports.ini
  start $name 21 65536 512 "" -- --port COM2 --config-dir $T/cfg
  echo "@@FEED u 21 65536"
  finish
  if [ $recv_rc -eq 0 ]; then
    result $name ok "$(tail -n 1 $T/$name.recv)"
  else
    result $name FAIL "receiver: $(tail -n 1 $T/$name.recv)"
  fi
fi

cpu() { set -- $(cut -d' ' -f14,15 /proc/$1/stat); echo $(($1 + $2)); }
frames() { sed -n 's/.* frames sent \([0-9]*\) .*/\1/p' $T/$name.out | tail -n 1; }
# waitcount PATTERN N SECONDS: until the bridge has said it N times.
said() { grep -c "$1" $T/$name.err; }
waitcount() {
  i=0
  while [ "$(said "$1")" -lt $2 ] && [ $i -lt $(($3 * 5)) ]; do sleep 0.2; i=$((i + 1)); done
  [ "$(said "$1")" -ge $2 ]
}
usb_gone() {
  i=0
  while [ -e /dev/ttyUSB0 ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done
}

# unplug NAME PATH SEED [SAMEBACK]: the adapter pulled out while bytes flow:
# said once, and no CPU spent waiting. With SAMEBACK the same adapter comes
# back and the frames go on. Then an adapter with another serial number
# appears as ttyUSB0 and is not taken for the first; the first comes back.
unplug() {
  name=$1 path=$2 seed=$3
  want $name || return 0
  i=0
  while [ ! -e $BYID_A ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done
  start $name $seed 8388608 256 "gaps idle=600" -- --port $path --stats 1
  echo "@@FEED u $seed 8388608"
  sleep 3
  echo "@@MON device_del u1"
  ok=1 why=""
  waitcount lost 1 20 || { ok=0 why="no lost line"; }
  usb_gone
  c0=$(cpu $bpid)
  sleep 3
  c1=$(cpu $bpid)
  [ $((c1 - c0)) -le 10 ] || { ok=0 why="$why; $((c1 - c0)) ticks of CPU in 3 s while lost"; }
  if [ "$4" = sameback ]; then
    echo "@@MON device_add $USB_A"
    waitcount back 1 30 || { ok=0 why="$why; not back"; }
    sleep 1.5
    f0=$(frames)
    sleep 3
    f1=$(frames)
    [ "${f1:-0}" -gt "${f0:-0}" ] || { ok=0 why="$why; no frames after the return ($f0, $f1)"; }
    echo "@@STOPFEED u"
    echo "@@MON device_del u1"
    waitcount lost 2 20
    usb_gone
  else
    echo "@@STOPFEED u"
  fi
  backs=$(said back)
  echo "@@MON device_add $USB_B"
  i=0
  while [ ! -e /dev/ttyUSB0 ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done
  [ -e /dev/ttyUSB0 ] || { ok=0 why="$why; the other adapter did not appear"; }
  sleep 6
  [ "$(said back)" -eq $backs ] || { ok=0 why="$why; took the other adapter for it"; }
  echo "@@MON device_del u2"
  usb_gone
  echo "@@MON device_add $USB_A"
  waitcount back $((backs + 1)) 30 || { ok=0 why="$why; the first adapter not taken back"; }
  kill -TERM $rpid
  finish
  [ $recv_rc -eq 0 ] || { ok=0 why="$why; receiver: $(tail -n 1 $T/$name.recv)"; }
  if [ $ok -eq 1 ]; then
    result $name ok "CPU while lost: $((c1 - c0)) ticks in 3 s; $(grep -v '^ *$' $T/$name.err | tr '\n' ';') $(tail -n 1 $T/$name.recv)"
  else
    result $name FAIL "${why#; }"
  fi
}

unplug unplug-ttyUSB0 /dev/ttyUSB0 31 sameback
unplug unplug-by-id $BYID_A 32
