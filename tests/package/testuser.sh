# Sourced by the tests that run the programs as a counter's operator: an ordinary account in
# the dialout group (serial ports), made once per machine. Sets `operator`.
operator=varnet-operator
ensure_operator() {
  if [ "$(id -u)" != 0 ]; then
    echo "SKIP: making and using the operator account needs root"
    exit 77
  fi
  (
    flock 9
    id "$operator" >/dev/null 2>&1 || useradd --create-home --groups dialout \
      --shell /bin/bash "$operator"
    id -nG "$operator" | grep -qw dialout || usermod -aG dialout "$operator"
  ) 9>/tmp/varnet-operator.lock
}
# "${as_operator[@]}" CMD...: the command as the operator, in root's environment with the
# operator's home (as su and runuser leave it). setpriv and env replace themselves by the
# command, so $! of a command started in the background is the program itself.
as_operator=(setpriv --reuid="$operator" --regid="$operator" --init-groups
  env HOME=/home/$operator USER=$operator LOGNAME=$operator)
