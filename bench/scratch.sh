# Sourced by the benchmark scripts.  scratch_dir makes a new folder for a job
# set: under BENCH_TMP when set, else in the memory file system (/dev/shm)
# when there is one, else in the usual temporary folder.  Creating files on a
# disk can cost more than the jobs that write them, and how much depends on
# the file system's recent history (see compare.sh), not on the programs.
scratch_dir() {
    local root=${BENCH_TMP:-}
    if [ -z "$root" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then root=/dev/shm; fi
    mktemp -d ${root:+-p "$root"}
}
