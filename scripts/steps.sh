# Sourced by the scripts: names their steps, so that a failing one says which
# it was, and keeps the output of commands that say nothing useful when they
# succeed in a log under build/logs/, whose last lines a failure shows.
#
#   step NAME               what follows is step NAME (printed as "== NAME")
#   quietly LOG COMMAND...  runs COMMAND with its output in build/logs/LOG.log;
#                           if it fails, the script stops with its exit code
#   steps_report STATUS     what the EXIT trap runs; a script with an EXIT
#                           trap of its own calls it there with $? first
steps_script=$(basename "$0")
steps_logs=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/logs
step_name=
step_log=

step() {
  step_name=$1
  echo "== $1"
}

quietly() {
  step_log=$steps_logs/$1.log
  shift
  mkdir -p "$steps_logs"
  "$@" >"$step_log" 2>&1 || exit $?
  step_log=
}

steps_report() {
  [ "$1" -eq 0 ] && return 0
  echo "$steps_script: ${step_name:+step '$step_name' }failed (exit $1)" >&2
  if [ -n "$step_log" ]; then
    echo "$steps_script: the last lines of $step_log:" >&2
    tail -n 30 "$step_log" | sed 's/^/    /' >&2
  fi
}
trap 'steps_report $?' EXIT
