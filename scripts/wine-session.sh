# Sourced by the scripts that run Windows programs under Wine
# (scripts/cross.sh windows, scripts/package-cross.sh windows):
#   wine_session PREFIX
# gives them a Wine prefix of their own, made once so that its first-run
# messages do not mix with the programs' output, and one Wine server for
# every program they run, ended when the script ends.
# A server left to itself ends a few seconds after its last program, and a
# program starting while it ends has its connection reset ("wine client
# error: recvmsg: Connection reset by peer"). The server and the services
# the first program starts must not hold the callers' output pipes either,
# or a reader such as ctest waits for them for ever: both are started here,
# detached, with /dev/null as their input and output.
wine_session() {
  export WINEPREFIX="$1" WINEDEBUG=-all
  [[ -d "$WINEPREFIX" ]] || wineboot -i >/dev/null 2>&1
  wineserver -k 2>/dev/null || true  # a server that a killed run left
  wineserver -w
  setsid wineserver -p </dev/null >/dev/null 2>&1
  setsid wine cmd /c exit </dev/null >/dev/null 2>&1
}
