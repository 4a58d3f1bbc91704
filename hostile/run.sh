#!/usr/bin/env bash
# Hostile input against the built programs:
#   run.sh GROUP MARRICK TOLVANE KESTRUM SACFORGE SACAUDIT
#
# Every case checks the exit status, the message on standard error, that no
# sanitizer reported anything, that no partial or temporary file is left and
# that an older output of the same name is still intact.  A case that cannot
# hang is still run under `timeout`, so a hang fails instead of stalling.
set -u
group=$1 marrick=$2 tolvane=$3 kestrum=$4 forge=$5 audit=$6
dir=$(mktemp -d "${TMPDIR:-/tmp}/hostile-$group-XXXXXX") || exit 1
trap 'chmod -R u+rwx "$dir" 2>/dev/null; rm -rf "$dir"' EXIT
cd "$dir" || exit 1
chmod 755 "$dir"
# Debug files of any case stay in the work directory, away from /tmp.
export RF_DEBUG_DIR=$dir

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
    refused_trace npts-zero.sac "**Trace has no samples." "**Trace has no samples." \
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
    refused_trace b-nan.sac "**Bad begin time." "**Bad begin time." \
        "**Bad begin time in wavelet input file." "**Bad begin time in decon input file."
    forge b-inf.sac npts=2000 b=-40 set:b=-inf
    refused_trace b-inf.sac "**Bad begin time." "**Bad begin time." \
        "**Bad begin time in wavelet input file." "**Bad begin time in decon input file."
    # A sample that is not a number once gave tolvane a trace of NaN written
    # as its result.
    forge nan-sample.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 sample:900=nan
    refused_trace nan-sample.sac "**Result is not finite" "**Result is not finite" \
        "**Result is not finite" "**Result is not finite"
    forge huge-sample.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 sample:900=3e38
    refused_trace huge-sample.sac "**Result is not finite" "**Result is not finite" \
        "**Result is not finite" "**Result is not finite"
    forge inf-sample.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 sample:1000=inf
    refused_trace inf-sample.sac "**Result is not finite" "**Result is not finite" \
        "**Result is not finite" "**Result is not finite"
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

    # Files that are not what they claim: a spectral or x-y file, a begin
    # time that is undefined or too far off to place the samples.  Refused in
    # both programs and both modes, with the file named.
    local t
    for t in 2 3 4 51; do
        forge "iftype$t.sac" npts=2000 b=-40 "set:iftype=$t"
        refused_named "iftype$t.sac" "**Not a time series." "**Not a time series." \
            "**Not a time series."
    done
    for t in -12345 1e38 -1e38 2e6; do
        forge "b$t.sac" npts=2000 b=-40 "set:b=$t"
        refused_named "b$t.sac" "**Bad begin time." "**Bad begin time in decon input file." \
            "**Bad begin time in wavelet input file."
    done
    # A refused job costs no other job of the list.
    label="refused job then a sound one, marrick"
    { mline iftype2.sac d.sac a.sac; cat job; mline w.sac d.sac b.sac; cat job; } >jobs2
    run 1 "**Not a time series." jobs2 "$marrick"
    [ "$(cat out)" = b.sac ] && [ ! -e a.sac ] || fail "the sound job was not run"
    label="refused job then a sound one, tolvane"
    { tline w.sac b-12345.sac a.sac; cat job; tline w.sac d.sac c.sac; cat job; } >jobs2
    run 1 "**Bad begin time in decon input file." jobs2 "$tolvane"
    [ "$(cat out)" = c.sac ] && [ ! -e a.sac ] || fail "the sound job was not run"
}

# BAD as decon input and as wavelet, in job lists and on the command line:
# status 1, the message, the file named, no output, older output intact.
refused_named() {
    local bad=$1 m=$2 td=$3 tw=$4
    older out.sac
    label="$bad marrick decon"; mline w.sac "$bad" out.sac; run 1 "$m" job "$marrick"
    named "$bad"
    label="$bad marrick wavelet"; mline "$bad" d.sac out.sac; run 1 "$m" job "$marrick"
    named "$bad"
    label="$bad marrick command line"
    run 1 "$m" - "$marrick" -wavelet 0 20 w.sac "$bad" out.sac; named "$bad"
    label="$bad tolvane decon"; tline w.sac "$bad" out.sac; run 1 "$td" job "$tolvane"
    named "$bad"
    label="$bad tolvane wavelet"; tline "$bad" d.sac out.sac; run 1 "$tw" job "$tolvane"
    named "$bad"
    label="$bad tolvane single mode"
    run 1 "$tw" - "$tolvane" -window -5 20 -wavelet -5 20 -noise -35 -10 "$bad" d.sac out.sac
    named "$bad"
}
named() {
    grep -qF "file '$1'" err || fail "the file is not named"
    intact out.sac
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
    run 1 "**Model name refused." binary "$kestrum" -sps 20 -p 0.06 s/km
    label="NUL bytes inside a job line"
    printf 'w.sac 0 20 d.sac x x \0out.sac\n' >job; run 1 "" job "$marrick"; intact out.sac

    # Output names the programs refuse: a leading '|' (the library's memory
    # files) and control characters, which cut a name short or hide part of
    # it.  Nothing is written, not even under the shortened name, and a link
    # planted under the name without its '|' is not followed.
    echo keep >victim; ln -s victim x.sac
    local name
    for name in '|x.sac' 'x.sac\0tail' 'a\rb.sac' 'tab\tx.sac'; do
        label="output name $name marrick"
        printf "w.sac 0 20 d.sac x x $name\\n" >job
        run 1 "**Output name refused." job "$marrick"
        label="output name $name tolvane"
        printf "w.sac -5 20 d.sac -5 20 -35 -10 $name\\n" >job
        run 1 "**Output name refused." job "$tolvane"
        [ "$(cat victim)" = keep ] && [ -L x.sac ] || fail "the link or its target was touched"
        [ ! -e a ] && [ ! -e tab ] || fail "a shortened name was written"
    done
    [ -z "$(find . -name '*b.sac*' -o -name 'x.sac?*')" ] || fail "something was written"
    label="output name | on the command line"
    run 1 "**Output name refused." - "$marrick" -wavelet 0 20 w.sac d.sac '|x.sac'
    label="output name with a line feed on the command line"
    run 1 "**Output name refused." - "$marrick" -wavelet 0 20 w.sac d.sac $'a\nb.sac'
    run 1 "**Output name refused." - "$tolvane" -window -5 20 -wavelet -5 20 -noise -35 -10 \
        w.sac d.sac '|x.sac'
    label="refused output name then a sound job"
    printf 'w.sac 0 20 d.sac x x |x.sac\nw.sac 0 20 d.sac x x fine.sac\n' >job
    run 1 "**Output name refused." job "$marrick"
    [ "$(cat out)" = fine.sac ] || fail "the sound job was not run"
    [ "$(cat victim)" = keep ] || fail "the link target was touched"

    # kestrum names its outputs after the model.
    model 3 >m.mod
    cp m.mod '|m.mod'
    label="model name |m.mod"
    printf '|m.mod\nm.mod\n' >list
    run 1 "**Model name refused." list "$kestrum" -sps 20 -p 0.06 s/km
    [ -s m.mod_sp.z ] || fail "the sound model was not run"
    [ -z "$(find . -name '|m.mod_sp*')" ] || fail "outputs of the refused model written"
    label="model name with a carriage return inside"
    printf 'm\r.mod\n' >list
    run 1 "**Model name refused." list "$kestrum" -sps 20 -p 0.06 s/km
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
    grep -qF "Is a directory" err || fail "no reason given"
    [ -d out-dir ] || fail "directory replaced"
    label="output is a link to a directory"
    ln -s out-dir dir-link; tline w.sac d.sac dir-link; run 1 "**Trouble writing dir-link" job "$tolvane"
    [ -L dir-link ] && [ -d out-dir ] || fail "link or directory replaced"

    # Devices and pipes are written in place, as a stream; the same trace
    # as a file is the reference.
    tline w.sac d.sac ref.sac; run 0 "" job "$tolvane"
    local size; size=$(stat -c %s ref.sac)
    if [ -c /dev/null ]; then
        label="output /dev/null"
        tline w.sac d.sac /dev/null; run 0 "" job "$tolvane"
        [ -c /dev/null ] || fail "/dev/null is no longer a device"
        label="output a link to /dev/null"
        ln -s /dev/null null.sac; mline w.sac d.sac null.sac; run 0 "" job "$marrick"
        [ -L null.sac ] || fail "the link was replaced"
    fi
    # Standard output carries the trace alone; the program's own text for
    # it (once written after, or before, the trace) goes to standard error.
    label="output /dev/stdout"
    tline w.sac d.sac /dev/stdout; run 0 "" job "$tolvane"
    cmp -s out ref.sac || fail "standard output is not the trace alone"
    grep -qx /dev/stdout err || fail "name not echoed on standard error"
    # A stream is written by every line that names it, never taken for an
    # output replaced by a later line.
    label="output /dev/stdout on every line"
    tline w.sac d.sac /dev/stdout; cat job job >job2; run 0 "" job2 "$tolvane"
    [ "$(stat -c %s out)" -eq $((2 * size)) ] || fail "not both traces on standard output"
    label="output /dev/stdout, single mode"
    run 0 " npts= 2000" - "$marrick" -wavelet 0 20 w.sac d.sac /dev/stdout
    "$audit" out || fail "standard output is not a whole trace"
    run 0 "Avg. squared coherence" - "$tolvane" -window -5 20 -wavelet -5 20 -noise -35 -10 \
        w.sac d.sac /dev/stdout
    "$audit" out || fail "standard output is not a whole trace"
    label="output a named pipe with a reader"
    mkfifo pipe.sac
    cat pipe.sac >got &
    tline w.sac d.sac pipe.sac; run 0 "" job "$tolvane"
    wait
    cmp -s got ref.sac || fail "the reader did not get the trace"
    [ -p pipe.sac ] || fail "the pipe was replaced"
    label="output a named pipe nobody reads"
    mline w.sac d.sac pipe.sac; run 1 "**Trouble writing pipe.sac" job "$marrick"
    [ -p pipe.sac ] || fail "the pipe was replaced"

    # A replaced output keeps the permission bits its owner gave it.
    label="replaced output keeps its mode"
    older private.sac; chmod 640 private.sac
    mline w.sac d.sac private.sac; run 0 "" job "$marrick"
    [ "$(stat -c %a private.sac)" = 640 ] || fail "mode $(stat -c %a private.sac), not 640"

    # A downstream stage that goes away before the names reach it: a failed
    # write of standard output, not a silent end by SIGPIPE. The program
    # starts only once the reader has closed its end; started together, a
    # slow reader let a one-job run write its name and end with status 0.
    label="closed downstream pipe"
    local downstream_gone='rm -f gone
        { until [ -e gone ]; do sleep 0.01; done; exec "$0"; } |
            { exec 0<&-; : >gone; sleep 1; }
        exit "${PIPESTATUS[0]}"'
    printf 'w.sac 0 20 d.sac x x p%s.sac\n' 1 2 3 >job
    run 1 "**Trouble writing standard output." job bash -c "$downstream_gone" "$marrick"
    tline w.sac d.sac p4.sac
    run 1 "**Trouble writing standard output." job bash -c "$downstream_gone" "$tolvane"

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

    # Two writers racing over the same 40 names, as parallel workers given
    # overlapping lists would: both succeed, every file is one writer's whole
    # trace, and no temporary file of either is left.
    label="two writers racing"
    mline w.sac d.sac mref.sac; run 0 "" job "$marrick"
    local i pm pt
    for i in $(seq 1 40); do printf 'w.sac 0 20 d.sac x x race%02d.sac\n' "$i"; done >mjobs
    for i in $(seq 1 40); do printf 'w.sac -5 20 d.sac -5 20 -35 -10 race%02d.sac\n' "$i"; done >tjobs
    "$marrick" <mjobs >/dev/null 2>err & pm=$!
    "$tolvane" <tjobs >/dev/null 2>>err & pt=$!
    wait "$pm" || fail "marrick failed while racing"
    wait "$pt" || fail "tolvane failed while racing"
    cases=$((cases + 1))
    no_leftovers
    for i in race*.sac; do
        cmp -s "$i" mref.sac || cmp -s "$i" ref.sac || fail "$i is neither writer's trace"
    done

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

# Headers that describe their data: every trace the programs write passes
# the audit (E and DEPMIN, DEPMAX, DEPMEN from the samples, NVHDR 6, IFTYPE
# a time series), whatever the input's header said; a dead channel gives a
# receiver function of zeros and the batch goes on.
headers() {
    forge w.sac npts=2000 b=-40 pulse=0:1
    forge d.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5
    model 3 >good.mod
    RF_DEBUG_DIR=$PWD/debug
    mkdir debug

    label="kestrum outputs audited"
    echo good.mod >list
    run 0 "" list "$kestrum" -sps 20 -p 0.06 s/km -con
    mkdir s && cp good.mod s/ && echo s/good.mod >list
    run 0 "" list "$kestrum" -sps 10 -p 0.11 s/km -type S
    "$audit" good.mod_sp.? s/good.mod_sp.? || fail "header audit"

    # An input whose own E, DEPMAX and NVHDR are wrong for what is written.
    forge lying.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5 set:e=200 set:depmax=2217.48 set:nvhdr=7
    label="marrick outputs and debug files audited"
    mline w.sac lying.sac m1.sac; run 0 "" job "$marrick" -debug
    run 0 "" - "$marrick" -debug -wavelet 0 20 -convolve w.sac w.sac lying.sac m2.sac
    "$audit" m1.sac m2.sac debug/decon.wav debug/decon.trc debug/decon.cnv || fail "header audit"
    label="tolvane outputs and debug files audited"
    tline w.sac lying.sac t1.sac; run 0 "" job "$tolvane" -debug
    run 0 "" - "$tolvane" -debug -window -5 20 -wavelet -5 20 -noise -35 -10 w.sac lying.sac t2.sac
    "$audit" t1.sac t2.sac debug/decon.wav debug/decon.noi debug/decon.trc debug/decon.coh ||
        fail "header audit"

    # Distances from coordinates that are not numbers: undefined, never NaN
    # or a made-up 0 (words 50 to 53: DIST, AZ, BAZ, GCARC).
    forge placed.sac npts=2000 b=-40 pulse=0:1 set:lcalda=1 set:evla=10 set:evlo=20 \
        set:stla=nan set:stlo=30
    label="non-finite coordinates"
    mline w.sac placed.sac m3.sac; run 0 "" job "$marrick"
    local word
    for word in 50 51 52 53; do
        [ "$("$audit" -word "$word" m3.sac | cut -d' ' -f1)" = -12345 ] ||
            fail "header word $word is not undefined"
    done

    # Dead channels among sound jobs: every result is written.
    forge dead.sac npts=2000 b=-40 dead
    label="dead channels in a tolvane batch"
    { tline w.sac d.sac g1.sac; cat job; tline w.sac dead.sac z1.sac; cat job
      tline dead.sac d.sac z2.sac; cat job; tline w.sac d.sac g2.sac; cat job; } >batch
    run 0 "window holds no signal" batch "$tolvane"
    [ "$(tr '\n' ' ' <out)" = "g1.sac z1.sac z2.sac g2.sac " ] || fail "not every job was written"
    grep -qF "file 'dead.sac'" err || fail "the dead file is not named"
    "$audit" g1.sac z1.sac z2.sac g2.sac || fail "header audit"
    [ "$("$audit" -word 42 z1.sac | cut -d' ' -f1)" = -12345 ] || fail "USER2 is not undefined"
    [ "$("$audit" -word 2 z1.sac | cut -d' ' -f1)" = 0 ] || fail "not a trace of zeros"
    label="kestrum's own T trace as decon input"
    echo good.mod >list; run 0 "" list "$kestrum" -sps 20 -p 0.06 s/km
    tline good.mod_sp.z good.mod_sp.t zt.sac; run 0 "Decon window holds no signal" job "$tolvane"
    mline good.mod_sp.z good.mod_sp.t zm.sac; run 0 "" job "$marrick"

    # Debug files that cannot be written: a warning naming each, the job's
    # result still written, status 1.
    label="debug directory missing"
    RF_DEBUG_DIR=$PWD/no-such-dir
    mline w.sac d.sac m4.sac
    run 1 "**Trouble writing debug file $PWD/no-such-dir/decon.wav" job "$marrick" -debug
    [ "$(cat out)" = m4.sac ] || fail "the result was not written"
    tline w.sac d.sac t4.sac
    run 1 "**Trouble writing debug file $PWD/no-such-dir/decon.coh" job "$tolvane" -debug
    grep -qx t4.sac out || fail "the result was not written"
    RF_DEBUG_DIR=$dir
}

# A writer ended by a signal: status 128 + the signal's number, no temporary
# file left, and every output there is either the older one or whole.
signals() {
    forge w.sac npts=2000 b=-40 pulse=0:1
    forge d.sac npts=2000 b=-40 pulse=0:1 pulse=3:0.5
    model 3 >good.mod

    # Past the file-size limit with SIGXFSZ at its default action: the signal
    # comes in the middle of the write, every time.
    local xfsz=$((128 + $(kill -l XFSZ)))
    label="file-size limit, default action, marrick"; older out.sac
    mline w.sac d.sac out.sac 0 200
    (ulimit -c 0 -f 8; run "$xfsz" "" job "$marrick") || exit 1
    intact out.sac; cases=$((cases + 1))
    label="file-size limit, default action, tolvane"
    printf 'w.sac -5 90 d.sac -5 90 -35 -10 out.sac\n' >job
    (ulimit -c 0 -f 8; run "$xfsz" "" job "$tolvane") || exit 1
    intact out.sac; cases=$((cases + 1))
    label="file-size limit, default action, kestrum"
    older good.mod_sp.z; echo good.mod >list
    (ulimit -c 0 -f 8; run "$xfsz" "" list $kestrum -sps 20 -p 0.06 s/km) || exit 1
    intact good.mod_sp.z; cases=$((cases + 1))

    # Interrupted at some moment of a long batch, also killed outright (job
    # control on, so that a background program does not start with SIGINT
    # ignored).  The jobs come through a FIFO held open, so that a fast
    # machine cannot finish the batch before the signal arrives.
    local i sig pid status
    forge w2.sac npts=30000 b=-40 pulse=0:1
    forge d2.sac npts=30000 b=-40 pulse=0:1 pulse=3:0.5
    for i in $(seq 1 100); do printf 'w2.sac 0 1400 d2.sac x x batch%03d.sac\n' "$i"; done >job
    mkfifo jobs
    for sig in INT TERM HUP KILL; do
        label="SIG$sig during a batch"
        rm -f batch*.sac
        set -m
        "$marrick" <jobs >out 2>err &
        pid=$!
        set +m
        exec 3>jobs
        cat job >&3
        sleep 0.3
        kill -s "$sig" "$pid" 2>/dev/null
        wait "$pid"
        status=$?
        exec 3>&-
        cases=$((cases + 1))
        [ "$status" -eq $((128 + $(kill -l "$sig"))) ] || fail "status $status after SIG$sig"
        no_leftovers
        [ -z "$(ls batch*.sac 2>/dev/null)" ] || "$audit" batch*.sac >/dev/null ||
            fail "an output left by the interrupted run is not whole"
    done
}

case $group in
traces | names | models | outputs | headers | signals) "$group" || exit $? ;;
*) echo "unknown group $group"; exit 2 ;;
esac
echo "$group: $cases cases passed"
