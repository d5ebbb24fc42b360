# Sourced by the lock tests. holds HOLDER TRIER: HOLDER and TRIER are commands that take "hold"
# (print "held", keep the lock until standard input ends) or "try" (exit 0 taken, 3 busy). While
# HOLDER holds the lock, TRIER is kept out; once HOLDER lets go, TRIER takes it; the file stays.
# Needs $dir (scratch) and $lock (the lock file as this shell names it).
fail() { echo "FAIL: $*"; exit 1; }
holds() {
  rm -f "$dir/said"
  exec 8> >($1 hold >"$dir/said")
  local pid=$! rc=0
  for _ in $(seq 600); do grep -q held "$dir/said" 2>/dev/null && break; sleep 0.1; done
  grep -q held "$dir/said" || fail "$1 did not take the lock"
  $2 try || rc=$?
  [ $rc -eq 3 ] || fail "$2 was not kept out while $1 held the lock (exit $rc)"
  exec 8>&-
  wait $pid || true
  $2 try || fail "$2 could not take the lock once $1 let go"
  [ -f "$lock" ] || fail "the lock file was removed"
  echo "ok: $2 waits for $1"
}
