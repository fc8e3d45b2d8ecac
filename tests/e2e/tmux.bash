# Shared by the end-to-end scripts: runs the real binary in an 80x25 tmux pane and reads the screen back.
# Sourced, not run (ctest picks up *.sh only).
set -euo pipefail

BIN_DIR=${VELTO_BIN_DIR:?VELTO_BIN_DIR must name the build directory}
SHARED_DIR=${VELTO_SHARED_DIR:?VELTO_SHARED_DIR must name the shared directory}
export PATH="$BIN_DIR:$PATH"

WORK=$(mktemp -d /tmp/velto-e2e.XXXXXX)
SOCKET="velto-e2e-$$"
SESSION=main
tm() { tmux -L "$SOCKET" "$@"; }
cleanup() {
    tm kill-server 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    echo "--- screen ---" >&2
    screen_text >&2 || true
    exit 1
}

# start_program DIR COMMAND...: runs the command in DIR inside a fresh 80x25 pane; everything written to the
# terminal is also logged to $WORK/terminal.log, so that short-lived screens can be checked afterwards.
start_program() {
    local dir=$1
    shift
    rm -f "$WORK/status" "$WORK/terminal.log"
    tm -f /dev/null new-session -d -s "$SESSION" -x 80 -y 25 \
        "sleep 0.3; cd '$dir' && TERM=xterm-256color $*; echo \$? > '$WORK/status'; sleep 600"
    tm set-option -t "$SESSION" status off >/dev/null
    tm resize-window -t "$SESSION" -x 80 -y 25 2>/dev/null || true
    tm pipe-pane -t "$SESSION" -o "cat >> '$WORK/terminal.log'"
}

screen_text() { tm capture-pane -t "$SESSION" -p; }

# wait_for TEXT [SECONDS]: until TEXT is on the screen.
wait_for() {
    local text=$1 limit=${2:-20} i
    for ((i = 0; i < limit * 10; i++)); do
        screen_text | grep -qF -- "$text" && return 0
        sleep 0.1
    done
    fail "\"$text\" did not appear within $limit s"
}

# wait_exit [SECONDS]: until the program ended; prints its exit status.
wait_exit() {
    local limit=${1:-20} i
    for ((i = 0; i < limit * 10; i++)); do
        [ -s "$WORK/status" ] && { cat "$WORK/status"; return 0; }
        sleep 0.1
    done
    fail "the program did not end within $limit s"
}

# wait_for_row ROW TEXT [SECONDS]: until screen row ROW begins with TEXT.
wait_for_row() {
    local r=$1 text=$2 limit=${3:-20} i
    for ((i = 0; i < limit * 10; i++)); do
        [ "$(row "$r" | cut -c1-${#text})" = "$text" ] && return 0
        sleep 0.1
    done
    fail "row $r did not show \"$text\" within $limit s"
}

send_keys() { tm send-keys -t "$SESSION" "$@"; }

# row N: the text of screen row N (0-based, as the program counts).
row() { screen_text | sed -n "$(($1 + 1))p"; }

xbcheck() { python3 "$SHARED_DIR/tools/xbcheck/xbcheck.py" "$@"; }
