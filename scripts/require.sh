# Sourced by the scripts: `require_commands NAME...` stops the caller with a
# message naming every command that is not on PATH, so a missing package
# shows as what it is and never as a bare exit code 127.
require_commands() {
  local command missing=()
  for command in "$@"; do
    command -v "$command" >/dev/null 2>&1 || missing+=("$command")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "$(basename "$0"): command not found: ${missing[*]} (scripts/setup.sh installs what the scripts call)" >&2
  exit 1
}
