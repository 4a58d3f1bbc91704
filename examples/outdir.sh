# Sourced by the demo scripts: enter_output_folder NAME DIR makes DIR and
# changes into it, refusing a DIR inside the examples folder so that a demo
# never writes into the source tree.  Needs `here` (the examples folder).
enter_output_folder() {
    local name=$1 dir=$2
    case $(cd "$(dirname "$dir")" 2>/dev/null && pwd)/ in
        "$here"/*) echo "$name: refusing to write into the examples folder ($dir)" >&2; exit 1 ;;
    esac
    mkdir -p "$dir"
    out=$(cd "$dir" && pwd)
    cd "$out"
}
