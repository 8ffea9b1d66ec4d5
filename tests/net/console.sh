# Runs a console program under Wine inside the client namespace of the test
# network, for the network tests and scripts/bench to source. The caller
# defines in_client (which runs a command in that namespace, with the Wine
# prefix) and work (a folder of its own).
#   console_run PROGRAM ARGS...  runs it with no input for at most
#       $CONSOLE_SECONDS seconds (60 unless set), under $CONSOLE_AS if set
#       (a command that runs Wine, such as setpriv); sets out and err to what
#       it wrote to standard output and standard error, without CRs, and code
#       to its exit code. Standard error also stays in $work/err.
console_run() {
  out=$(in_client ${CONSOLE_AS:-} timeout "${CONSOLE_SECONDS:-60}" wine "$@" </dev/null 2>"$work/err" | tr -d '\r')
  code=${PIPESTATUS[0]}
  err=$(tr -d '\r' <"$work/err")
}
