# Sourced by scripts that wait for programs they started.

# Waits, for at most about $2 tenths of a second, until the command $1 succeeds.
wait_until() {
  local tries=$2
  for ((; tries > 0; tries--)); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}
