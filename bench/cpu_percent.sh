# Sourced by the CPU benchmarks (bench/cpu_ratio.sh, scripts/bench.sh).
# cpu_percent PID SECONDS DIGITS: the CPU time the process uses over the next
# SECONDS, read from /proc, printed as a percentage of one core; then the
# process is stopped with SIGTERM and waited for.
cpu_percent() {
    local pid=$1 seconds=$2 digits=$3 t0 t1 s0 s1
    cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
    t0=$(cpu_ticks) s0=$(date +%s.%N)
    sleep "$seconds"
    t1=$(cpu_ticks) s1=$(date +%s.%N)
    kill -TERM "$pid"
    wait "$pid" || true
    awk -v a="$t0" -v b="$t1" -v s="$s0" -v e="$s1" -v hz="$(getconf CLK_TCK)" -v d="$digits" \
        'BEGIN { printf "%.*f\n", d, 100 * (b - a) / hz / (e - s) }'
}
