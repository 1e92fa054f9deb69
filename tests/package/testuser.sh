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
# as_operator CMD...: the command as the operator, with root's environment less its runtime
# folder's owner (runuser keeps the environment, as su does).
as_operator() { runuser -u "$operator" -- "$@"; }
