#!/usr/bin/env bash
# Hostile input against the built programs: run.sh GROUP MARRICK TOLVANE KESTRUM SACFORGE
#
# Every case checks the exit status, the message on standard error, that no
# sanitizer reported anything, that no partial or temporary file is left and
# that an older output of the same name is still intact.  A case that cannot
# hang is still run under `timeout`, so a hang fails instead of stalling.
set -u
group=$1 marrick=$2 tolvane=$3 kestrum=$4 forge=$5
dir=$(mktemp -d "${TMPDIR:-/tmp}/hostile-$group-XXXXXX") || exit 1
trap 'chmod -R u+rwx "$dir" 2>/dev/null; rm -rf "$dir"' EXIT
cd "$dir" || exit 1
chmod 755 "$dir"

cases=0 label=setup
fail() {
    echo "FAIL [$label]: $*"
    echo "--- stdout"; head -c 2000 out; echo "--- stderr"; head -c 2000 err
    exit 1
}

# A trace file: forge NAME [sacforge options]
forge() { "$forge" "$@" || fail "sacforge $*"; }

# The older output every failing case must leave alone.
older() {
    for f in "$@"; do printf 'older %s\n' "$f" >"$f"; done
}
intact() {
    for f in "$@"; do
        [ "$(cat "$f" 2>/dev/null)" = "older $f" ] || fail "older $f was lost or changed"
    done
}
# No half-written or temporary file anywhere in the work directory.
no_leftovers() {
    local left
    left=$(find . -name '*.part' -o -name '.*.part*' | head -5)
    [ -z "$left" ] || fail "temporary files left: $left"
}

# run STATUS MESSAGE INPUT PROGRAM ARGS... : runs with INPUT on standard input
# (a file name, or - for none) and checks the status and that standard error
# holds MESSAGE (empty: anything).
run() {
    local want=$1 message=$2 input=$3
    shift 3
    cases=$((cases + 1))
    if [ "$input" = - ]; then input=/dev/null; fi
    timeout 60 "$@" <"$input" >out 2>err
    status=$?
    [ "$status" -ne 124 ] || fail "hung (killed after 60 s)"
    [ "$status" -eq "$want" ] || fail "status $status, expected $want"
    if [ -n "$message" ]; then grep -qF -- "$message" err || fail "stderr lacks: $message"; fi
    ! grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:|UndefinedBehaviorSanitizer' err ||
        fail "sanitizer report"
    no_leftovers
}

# A job line for each deconvolution program, decon input first.
mline() { printf '%s %s %s %s x x %s\n' "$1" "${4:-0}" "${5:-20}" "$2" "$3" >job; }
tline() { printf '%s -5 20 %s -5 20 -35 -10 %s\n' "$1" "$2" "$3" >job; }

# Both programs on a damaged decon input and a damaged wavelet file: status 1,
# the trouble message, older output untouched.
refused_trace() {
    local bad=$1 mwav=$2 mdec=$3 twav=$4 tdec=$5
    label="$bad marrick decon"; older out.sac
    mline w.sac "$bad" out.sac; run 1 "$mdec" job "$marrick"; intact out.sac
    label="$bad marrick wavelet"
    mline "$bad" d.sac out.sac; run 1 "$mwav" job "$marrick"; intact out.sac
    label="$bad tolvane decon"
    tline w.sac "$bad" out.sac; run 1 "$tdec" job "$tolvane"; intact out.sac
    label="$bad tolvane wavelet"
    tline "$bad" d.sac out.sac; run 1 "$twav" job "$tolvane"; intact out.sac
}

traces() {
    forge w.sac npts=2000 b=-40 pulse=0:1
    forge d.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5
    local mw="STOP **Trouble reading wavelet input file." md="STOP **Trouble reading decon input file."
    local tw="STOP **Trouble reading wavelet input file." td="STOP **Trouble reading decon input file."

    forge short-header.sac truncate=300
    refused_trace short-header.sac "$mw" "$md" "$tw" "$td"
    forge short-samples.sac npts=2000 b=-40 truncate=2632
    refused_trace short-samples.sac "$mw" "$md" "$tw" "STOP **Deconvolution trace unreadable."
    forge empty.sac truncate=0
    refused_trace empty.sac "$mw" "$md" "$tw" "$td"
    forge npts-negative.sac npts=2000 b=-40 set:npts=-5
    refused_trace npts-negative.sac "$mw" "$md" "$tw" "STOP **Deconvolution trace unreadable."
    forge npts-zero.sac npts=2000 b=-40 set:npts=0
    # A trace without samples once gave tolvane an all-zero receiver function
    # written as a result.
    refused_trace npts-zero.sac "STOP **Trace has no samples." "STOP **Trace has no samples." \
        "$tw" "STOP **Deconvolution trace unreadable."
    forge npts-huge.sac npts=2000 b=-40 set:npts=2147483647
    refused_trace npts-huge.sac "STOP **File too long, shorten it." \
        "STOP **File too long, shorten it." "$tw" "STOP **Deconvolution trace unreadable."
    for d in 0 -0.05 nan inf -inf; do
        forge "delta$d.sac" npts=2000 b=-40 "set:delta=$d"
        refused_trace "delta$d.sac" "" "" "" ""
    done
    forge b-nan.sac npts=2000 b=-40 set:b=nan
    # tolvane once blamed a NaN begin time on a window past the end of the file;
    # marrick once wrote zeros as the result of a trace beginning at -infinity.
    refused_trace b-nan.sac "STOP **Bad begin time." "STOP **Bad begin time." \
        "STOP **Bad begin time in wavelet input file." "STOP **Bad begin time in decon input file."
    forge b-inf.sac npts=2000 b=-40 set:b=-inf
    refused_trace b-inf.sac "STOP **Bad begin time." "STOP **Bad begin time." \
        "STOP **Bad begin time in wavelet input file." "STOP **Bad begin time in decon input file."
    # A sample that is not a number once gave tolvane a trace of NaN written
    # as its result.
    forge nan-sample.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 sample:900=nan
    refused_trace nan-sample.sac "STOP **Result is not finite" "STOP **Result is not finite" \
        "STOP **Result is not finite" "STOP **Result is not finite"
    forge huge-sample.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 sample:900=3e38
    refused_trace huge-sample.sac "STOP **Result is not finite" "STOP **Result is not finite" \
        "STOP **Result is not finite" "STOP **Result is not finite"
    forge inf-sample.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 sample:1000=inf
    refused_trace inf-sample.sac "STOP **Result is not finite" "STOP **Result is not finite" \
        "STOP **Result is not finite" "STOP **Result is not finite"
    forge uneven.sac npts=2000 b=-40 set:leven=0
    refused_trace uneven.sac "$mw" "$md" "$tw" "$td"

    # A little-endian file reads exactly as its big-endian twin.
    forge dl.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 little
    label="little-endian marrick"
    mline w.sac d.sac big.sac; run 0 "" job "$marrick"
    mline w.sac dl.sac little.sac; run 0 "" job "$marrick"
    cmp -s big.sac little.sac || fail "little-endian input gave a different result"
    label="little-endian tolvane"
    tline w.sac d.sac big.sac; run 0 "" job "$tolvane"
    tline w.sac dl.sac little.sac; run 0 "" job "$tolvane"
    cmp -s big.sac little.sac || fail "little-endian input gave a different result"

    # A version word that is garbage in a little-endian file leaves no way to
    # tell the byte order: the header reads as nonsense and is refused.
    forge version-garbage.sac npts=2000 b=-40 little set:nvhdr=-559038737
    refused_trace version-garbage.sac "" "" "" ""

    # Neither a directory nor a FIFO holds a trace, and a FIFO with no
    # writer must not stall the run.
    mkdir a-directory
    refused_trace a-directory "$mw" "$md" "$tw" "$td"
    mkfifo a-fifo
    refused_trace a-fifo "$mw" "$md" "$tw" "$td"
}

names() {
    forge w.sac npts=2000 b=-40 pulse=0:1
    forge d.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5
    local long1024 long10k
    long1024=$(printf 'n%.0s' $(seq 1024))
    long10k=$(printf 'x%.0s' $(seq 10000))

    # A line longer than 4096 characters is refused by its number, and
    # nothing of it is kept; the lines after it are run.
    local good
    for prog in marrick tolvane kestrum; do
        label="10000-character line $prog"
        if [ $prog = marrick ]; then mline w.sac d.sac after.sac; good=$(cat job)
        elif [ $prog = tolvane ]; then tline w.sac d.sac after.sac; good=$(cat job)
        else model 3 >good.mod; good=good.mod; fi
        printf '%s\n%s\n' "$long10k" "$good" >job
        local cmd=("${!prog}")
        [ $prog = kestrum ] && cmd+=(-sps 20 -p 0.06 s/km)
        run 1 "**Input line too long, skipping." job "${cmd[@]}"
        grep -qx "  line 1: more than 4096 characters" err || fail "line not named"
        [ $prog = kestrum ] || [ "$(cat out)" = after.sac ] || fail "the next line was not run"
    done
    # Text past column 256 that belongs to no job is ignored; a job that goes
    # on past it would lose part of a name and is refused.
    label="job then 3000 blanks and junk"
    { printf 'w.sac 0 20 d.sac x x cut.sac'; printf ' %.0s' $(seq 3000); echo junk; } >job
    run 0 "" job "$marrick"
    [ "$(cat out)" = cut.sac ] && [ -s cut.sac ] || fail "job before the cut not run"
    label="job past column 256"
    { printf 'w.sac 0 20 d.sac x x'; printf ' %.0s' $(seq 300); echo cut.sac; } >job
    run 1 "**Input line longer than 256 characters." job "$marrick"

    # Names longer than the name field used to be cut to it, writing or
    # reading another file than the one named: refused.
    local long100=${long1024:0:100}
    label="100-character output name marrick"; older "${long100:0:64}"
    mline w.sac d.sac "$long100"; run 1 "**File name longer than 64 characters." job "$marrick"
    intact "${long100:0:64}"
    label="100-character output name tolvane"; older "${long100:0:80}"
    tline w.sac d.sac "$long100"; run 1 "**File name longer than 80 characters." job "$tolvane"
    intact "${long100:0:80}"
    label="1024-character names on the command line"
    run 1 "**File name longer than 64 characters." - "$marrick" -wavelet 0 20 w.sac d.sac "$long1024$long1024"
    label="1024-character trace name"
    local other=${long1024//n/q}
    run 1 "**File name longer than 64 characters." - "$marrick" -wavelet 0 20 "$other" d.sac o.sac
    run 1 "**File name longer than 80 characters." - "$tolvane" -window -5 20 -wavelet -5 20 \
        -noise -35 -10 w.sac "$other" o.sac
    label="1024-character trace name in a job line"
    mline "$long1024" d.sac o.sac; run 1 "**Input line longer than 256 characters." job "$marrick"
    tline w.sac "$long1024" o.sac; run 1 "**Bad input, line" job "$tolvane"
    label="1024-character model name"
    printf '%s\n' "$long1024" >job
    run 1 "**Input line longer than 256 characters." job "$kestrum" -sps 20 -p 0.06 s/km

    # Job lists written on DOS: the carriage returns are no part of the names.
    label="CRLF job list marrick"
    mline w.sac d.sac crlf.sac; sed -i 's/$/\r/' job; run 0 "" job "$marrick"
    [ "$(cat out)" = crlf.sac ] && [ -s crlf.sac ] || fail "name with a carriage return"
    label="CRLF job list tolvane"
    tline w.sac d.sac crlf.sac; sed -i 's/$/\r/' job; run 0 "" job "$tolvane"
    [ "$(cat out)" = crlf.sac ] || fail "name with a carriage return"
    label="CRLF model list kestrum"
    model 3 >crlf.mod; printf 'crlf.mod\r\n\r\n' >job
    run 0 "" job "$kestrum" -sps 20 -p 0.06 s/km
    [ -s crlf.mod_sp.z ] || fail "model name with a carriage return"
    label="4096-character argument"
    run 1 "**Invalid" - "$tolvane" -freq "$long1024$long1024$long1024$long1024"

    # Binary bytes on standard input: a trace file and a run of every byte.
    { for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done; cat d.sac; } >binary
    label="binary input marrick"; older out.sac
    run 1 "" binary "$marrick"; intact out.sac
    label="binary input tolvane"
    run 1 "**Bad input, line" binary "$tolvane"; intact out.sac
    label="binary input kestrum"
    run 2 "" binary "$kestrum" -sps 20 -p 0.06 s/km
    label="NUL bytes inside a job line"
    printf 'w.sac 0 20 d.sac x x \0out.sac\n' >job; run 1 "" job "$marrick"; intact out.sac
}

# A model file of n layers over a half-space, one line per layer.
model() {
    local n=$1 i
    printf '%3d%-10s\n' "$n" hostile
    for i in $(seq 1 "$n"); do
        local h=1.00
        [ "$i" -eq "$n" ] && h=0.00
        printf '%3d %8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f\n' \
            "$i" 6.00 3.50 2.70 "$h" 0 0 0 0 0
    done
}

models() {
    local k="$kestrum -sps 20 -p 0.06 s/km"
    run_model() { # STATUS MESSAGE MODEL
        label="model $3"; older "$3_sp.z" "$3_sp.r" "$3_sp.t"
        echo "$3" >list
        run "$1" "$2" list $k
        intact "$3_sp.z" "$3_sp.r" "$3_sp.t"
    }
    model 3 >good.mod
    label="sound model"; echo good.mod >list; run 0 "" list $k
    model 100 >layers100.mod
    label="100 layers"; echo layers100.mod >list; run 0 "" list $k
    model 101 >layers101.mod
    run_model 1 "101" layers101.mod
    model 5000 >layers5000.mod
    run_model 1 "5000" layers5000.mod
    model 3 | sed '3s/    6.00/  abc.de/' >letters.mod
    run_model 2 "is not a number" letters.mod
    model 3 | sed '1s/  3/ x3/' >count-letters.mod
    run_model 2 "is not a number" count-letters.mod
    model 3 | sed '3s/    6.00/     nan/' >nan-speed.mod
    run_model 2 "is not a number" nan-speed.mod
    model 3 | sed '3s/    6.00/    -inf/' >inf-speed.mod
    run_model 2 "is not a number" inf-speed.mod
    model 3 | sed '3s/    6.00/  1.0e39/' >huge-speed.mod
    run_model 2 "is not a number" huge-speed.mod
    model 3 | head -2 >missing-lines.mod
    run_model 2 "ends before layer 2 of 3" missing-lines.mod
    model 3 | sed '3s/   3.50/   0.00/' >zero-shear.mod
    run_model 1 "" zero-shear.mod
    model 3 | sed '2s/   6.00/   0.00/' >zero-speed.mod
    run_model 1 "" zero-speed.mod
    model 3 | sed '2s/   6.00/  -6.00/' >negative-speed.mod
    run_model 1 "" negative-speed.mod
    : >empty.mod
    run_model 2 "is empty" empty.mod
    head -c 3000 "$forge" >binary.mod
    run_model 2 "" binary.mod
    mkdir dir.mod
    label="model directory"; echo dir.mod >list; run 2 "cannot read model file" list $k
    label="missing model"; echo absent.mod >list; run 2 "cannot read model file" list $k

    # Model files are read with bounds: a FIFO once waited for its writer and
    # a link to an endless device grew memory without end.
    mkfifo fifo.mod
    run_model 2 "is not a regular file" fifo.mod
    ln -s /dev/zero zero.mod
    run_model 2 "is not a regular file" zero.mod
    head -c 3000000 /dev/zero | tr '\0' ' ' >huge.mod
    run_model 2 "is far larger than a model" huge.mod
    { model 3; head -c 100000 /dev/zero | tr '\0' 'x'; echo; } >trailer.mod
    label="model with a long line after its layers"; echo trailer.mod >list; run 0 "" list $k
    { printf '  3hostile'; head -c 100000 /dev/zero | tr '\0' ' '; echo; model 3 | tail -3; } >wide.mod
    run_model 2 "line 1 is longer than 4096 characters" wide.mod
    # What a model cannot be: a P speed not above sqrt(4/3) times the S speed.
    model 3 | sed '3s/    6.00    3.50/    4.00    3.50/' >bulk.mod
    run_model 1 "layer 2: P speed not above sqrt(4/3) times the S speed" bulk.mod
    # A field without its decimal point: taken as the fixed format has it, and said.
    model 3 | sed '2s/    1.00/     100/' >implied.mod
    label="implied decimals"; echo implied.mod >list
    run 0 "columns 29-36: '     100' has no decimal point and is read as 1" list $k
}

# The command prefix that runs a program as an unprivileged user (none when
# the suite does not run as root).
unprivileged() {
    if [ "$(id -u)" -ne 0 ]; then
        nobody=()
    elif command -v setpriv >/dev/null; then
        nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    else
        nobody=(runuser -u nobody --)
    fi
    "${nobody[@]}" true 2>/dev/null
}

outputs() {
    forge w.sac npts=2000 b=-40 pulse=0:1
    forge d.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5
    model 3 >good.mod

    label="missing directory marrick"
    mline w.sac d.sac no/such/out.sac; run 1 "**Trouble writing no/such/out.sac" job "$marrick"
    label="missing directory marrick command line"
    run 1 "**Trouble writing no/such/out.sac" - "$marrick" -wavelet 0 20 w.sac d.sac no/such/out.sac
    label="missing directory tolvane"
    tline w.sac d.sac no/such/out.sac; run 1 "**Trouble writing no/such/out.sac" job "$tolvane"
    label="output is a directory"
    mkdir out-dir; mline w.sac d.sac out-dir; run 1 "**Trouble writing out-dir" job "$marrick"
    [ -d out-dir ] || fail "directory replaced"

    # A job list that cannot be read, or output names that cannot reach
    # standard output, once ended with status 0 as if all was done.
    mkdir stdin-dir
    label="standard input a directory"
    run 2 "**Trouble reading standard input." stdin-dir "$marrick"
    run 2 "**Trouble reading standard input." stdin-dir "$tolvane"
    run 2 "**Trouble reading standard input." stdin-dir $kestrum -sps 20 -p 0.06 s/km
    if [ -w /dev/full ]; then
        label="standard output full"
        mline w.sac d.sac full.sac
        run 1 "**Trouble writing standard output." job sh -c '"$0" >/dev/full' "$marrick"
        tline w.sac d.sac full.sac
        run 1 "**Trouble writing standard output." job sh -c '"$0" >/dev/full' "$tolvane"
        echo good.mod >list
        run 1 "**Trouble writing standard output." list \
            sh -c '"$0" -sps 20 -p 0.06 s/km -con >/dev/full' "$kestrum"
    fi
    label="standard output closed"
    mline w.sac d.sac closed.sac
    run 1 "**Trouble writing standard output." job sh -c '"$0" >&-' "$marrick"

    # A write that fails part-way: a file-size limit of 8 blocks, with the
    # signal ignored so that the write returns an error instead.
    label="file-size limit marrick"; older out.sac
    mline w.sac d.sac out.sac 0 200
    (trap '' XFSZ; ulimit -f 8; run 1 "**Trouble writing out.sac" job "$marrick") || exit 1
    intact out.sac; cases=$((cases + 1))
    label="file-size limit marrick command line"
    (trap '' XFSZ; ulimit -f 8
     run 1 "**Trouble writing out.sac" - "$marrick" -wavelet 0 20 w.sac d.sac out.sac) || exit 1
    intact out.sac; cases=$((cases + 1))
    forge w2.sac npts=30000 b=-40 pulse=0:1
    forge d2.sac npts=30000 b=-40 pulse=0:1 pulse=3:0.5
    label="file-size limit tolvane"
    printf 'w2.sac -5 700 d2.sac -5 700 -35 -10 out.sac\n' >job
    (trap '' XFSZ; ulimit -f 8; run 1 "**Trouble writing out.sac" job "$tolvane") || exit 1
    intact out.sac; cases=$((cases + 1))
    label="file-size limit kestrum"
    older good.mod_sp.z good.mod_sp.r good.mod_sp.t
    echo good.mod >list
    (trap '' XFSZ; ulimit -f 8; run 1 "**Trouble writing good.mod_sp.z" list $kestrum -sps 20 -p 0.06 s/km) || exit 1
    intact good.mod_sp.z good.mod_sp.r good.mod_sp.t; cases=$((cases + 1))

    # A directory that cannot be written, as an unprivileged user.
    mkdir locked
    cp w.sac d.sac good.mod locked/
    older locked/out.sac
    chmod 644 locked/*
    chmod 555 locked
    if ! unprivileged; then
        echo "note: cannot run as an unprivileged user; unwritable-directory cases skipped"
        return 0
    fi
    label="unwritable directory marrick"
    mline w.sac d.sac out.sac
    (cd locked && run 1 "**Trouble writing out.sac" ../job "${nobody[@]}" "$marrick") || exit 1
    intact locked/out.sac
    label="unwritable directory tolvane"
    tline w.sac d.sac out.sac
    (cd locked && run 1 "**Trouble writing out.sac" ../job "${nobody[@]}" "$tolvane") || exit 1
    intact locked/out.sac
    label="unwritable directory kestrum"
    echo good.mod >list
    (cd locked && run 1 "**Trouble writing good.mod_sp.z" ../list "${nobody[@]}" $kestrum -sps 20 -p 0.06 s/km) || exit 1
    cases=$((cases + 3))
}

case $group in
traces | names | models | outputs) "$group" || exit $? ;;
*) echo "unknown group $group"; exit 2 ;;
esac
echo "$group: $cases cases passed"
