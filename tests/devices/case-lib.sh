# The device cases' shared steps, sourced by the guest's case files
# (cases.sh, windows-cases.sh) after they have set:
#   B          the command that runs the bridge
#   UART_PORT  the bridge's name for the UART ttyS1
#   STOP_SIGNAL  what stops the bridge (default TERM)
# Lines beginning with @@ are for the host (scripts/test-devices):
#   @@FEED CHARDEV SEED COUNT [BAUD]  feed the stream into s1 (the UART
#       ttyS1) or u (the USB adapter); with BAUD the host first checks the
#       rate the UART was programmed for (QEMU's trace)
#   @@STOPFEED CHARDEV   stop feeding          @@MON COMMAND  QEMU monitor
#   @@RESULT NAME ok|FAIL DETAILS
T=/tmp
# The USB adapter (ttyUSB0) as the host plugs it in, and another one.
BYID_A=/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_QA0001-if00-port0
USB_A="usb-serial,id=u1,bus=xhci.0,chardev=uc,serial=QA0001,always-plugged=on"
USB_B="usb-serial,id=u2,bus=xhci.0,chardev=uc,serial=QB0002,always-plugged=on"
next_port=4000
# "cases=a,b" on the kernel's command line runs only those.
only=$(sed -n 's/.*cases=\([^ ]*\).*/,\1,/p' /proc/cmdline)
want() { [ -z "$only" ] || case "$only" in *,$1,*) true ;; *) false ;; esac; }

# waitfor FILE PATTERN SECONDS: until the file holds the pattern.
waitfor() {
  i=0
  while ! grep -q "$2" "$1" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt $(($3 * 5)) ] && return 1
    sleep 0.2
  done
}

# result NAME STATUS DETAILS; on a failure the case's files go to the console
# first, for the host to show.
result() {
  if [ "$2" != ok ]; then
    for f in $T/$1.*; do
      echo "---- $f"
      tail -n 8 "$f"
    done
    echo "---- /proc/tty/driver/serial"
    cat /proc/tty/driver/serial
  fi
  echo "@@RESULT $1 $2 [$(cut -d' ' -f1 /proc/uptime) s] $3"
}

# start NAME SEED COUNT FRAME RECVARGS -- BRIDGEARGS: a receiver, then the
# bridge sending to it; waits until the bridge forwards.
start() {
  name=$1 seed=$2 count=$3 frame=$4 recvargs=$5
  shift 6
  port=$next_port
  next_port=$((next_port + 1))
  /bin/devtool recv $port $seed $count $frame $recvargs > $T/$name.recv 2>&1 &
  rpid=$!
  waitfor $T/$name.recv "recv ready" 10
  $B --target 127.0.0.1:$port --local-port $((port + 1000)) --frame $frame "$@" \
    > $T/$name.out 2> $T/$name.err &
  bpid=$!
  waitfor $T/$name.out forwarding 30
}

# running PID: the process has not ended (a zombie the shell has not reaped
# yet has ended).
running() {
  [ -r /proc/$1/stat ] && [ "$(sed 's/.*) //' /proc/$1/stat | cut -d' ' -f1)" != Z ]
}

# waitend PID SECONDS: the process's exit status; one still running after
# SECONDS is shown (its threads' kernel stacks), killed, and gives 124, so a
# hang fails its case instead of holding the guest until the host's limit.
waitend() {
  i=0
  while running $1 && [ $i -lt $(($2 * 5)) ]; do sleep 0.2; i=$((i + 1)); done
  if running $1; then
    echo "---- process $1 still running after $2 s; its threads:"
    for t in /proc/$1/task/*; do
      echo "$t $(cat $t/comm) $(sed 's/.*) //' $t/stat | cut -d' ' -f1) wchan $(cat $t/wchan)"
      cat $t/stack 2>/dev/null
    done
    kill -KILL $1
    wait $1
    return 124
  fi
  wait $1
}

# finish: stops the bridge, waits for the receiver; sets recv_rc (124 when
# the bridge did not end).
finish() {
  wait $rpid
  recv_rc=$?
  kill -${STOP_SIGNAL:-TERM} $bpid 2>/dev/null
  waitend $bpid 30
  if [ $? -eq 124 ]; then
    tail -n 5 $T/$name.err
    echo "the bridge did not end on SIG${STOP_SIGNAL:-TERM}" >> $T/$name.recv
    recv_rc=124
  fi
}

# The line control register of ttyS1, read through /dev/port: data bits,
# stop bits and parity as the driver programmed them (QEMU's trace does not
# show stick parity, so mark and space are only seen here).
# Without parity the parity type bits mean nothing (the driver leaves "even"
# set), so they are dropped then.
lcr() {
  v=$(dd if=/dev/port bs=1 skip=$((0x2fb)) count=1 2>/dev/null | od -An -tu1 | tr -d ' ')
  [ $((v & 8)) -eq 0 ] && v=$((v & 7))
  echo $((v & 63))
}
lcr_for() {
  v=$(($2 - 5))
  [ $3 = 2 ] && v=$((v | 4))
  case $1 in odd) v=$((v | 8)) ;; even) v=$((v | 24)) ;; mark) v=$((v | 40)) ;; space) v=$((v | 56)) ;; esac
  echo $v
}

# uart NAME BAUD PARITY DATA STOP PROGRAMMED SEED COUNT FRAME RECVFLAGS [ARGS]:
# the stream through ttyS1 (the bridge's $UART_PORT) must arrive exact, in
# whole frames, and the UART must run at the PROGRAMMED rate with the parity,
# data and stop bits asked.
uart() {
  name=$1 baud=$2 parity=$3 data=$4 stop=$5 programmed=$6 seed=$7 count=$8 frame=$9
  flags=${10}
  shift 10
  want $name || return 0
  start $name $seed $count $frame "$flags" -- --port $UART_PORT --baud $baud \
    --parity $parity --data $data --stop $stop "$@"
  got=$(lcr) wanted=$(lcr_for $parity $data $stop)
  echo "@@FEED s1 $seed $count $programmed"
  finish
  if [ $recv_rc -eq 0 ] && [ "$got" = "$wanted" ]; then
    result $name ok "LCR $got; $(tail -n 1 $T/$name.recv)"
  else
    result $name FAIL "LCR $got (wanted $wanted); receiver: $(tail -n 1 $T/$name.recv)"
  fi
}

