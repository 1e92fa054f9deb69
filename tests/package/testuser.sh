# Sourced by the tests that run the programs as a counter's operators: two ordinary accounts
# in the dialout group (serial ports), made once per machine. Sets `operator` and `operator2`.
operator=varnet-operator
operator2=varnet-operator2
ensure_operator() {
  if [ "$(id -u)" != 0 ]; then
    echo "SKIP: making and using the operator accounts needs root"
    exit 77
  fi
  (
    flock 9
    for account in "$operator" "$operator2"; do
      id "$account" >/dev/null 2>&1 || useradd --create-home --groups dialout \
        --shell /bin/bash "$account"
      id -nG "$account" | grep -qw dialout || usermod -aG dialout "$account"
    done
  ) 9>/tmp/varnet-operator.lock
}
# "${as_operator[@]}" CMD... and "${as_operator2[@]}" CMD...: the command as that operator, in
# root's environment with the operator's home (as su and runuser leave it). setpriv and env
# replace themselves by the command, so $! of a command started in the background is the
# program itself.
as_operator=(setpriv --reuid="$operator" --regid="$operator" --init-groups
  env HOME=/home/$operator USER=$operator LOGNAME=$operator)
as_operator2=(setpriv --reuid="$operator2" --regid="$operator2" --init-groups
  env HOME=/home/$operator2 USER=$operator2 LOGNAME=$operator2)
