# Sourced by the benchmark scripts.
# seconds CMD...: runs the command and prints its wall time in seconds.
seconds() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@"
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
