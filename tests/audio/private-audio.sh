# Shared by the audio capture tests (sourced): a temporary folder $W, the
# processes a test starts ($PIDS) and every process of its private daemons end
# with the test, and a private PulseAudio with a null sink to record from.

W=$(mktemp -d)
PIDS=()

fail() {
    echo "FAIL: $*"
    exit 1
}

cleanup() {
    local p daemons
    for p in "${PIDS[@]}"; do
        kill "$p" 2>/dev/null
    done
    daemons=$(pgrep -f "$W/" 2>/dev/null)
    if [ -n "$daemons" ]; then
        kill $daemons 2>/dev/null
        sleep 0.5
        # A daemon whose output is stuck ignores SIGTERM.
        daemons=$(pgrep -f "$W/" 2>/dev/null)
        [ -n "$daemons" ] && kill -9 $daemons 2>/dev/null
    fi
    for p in "${PIDS[@]}"; do
        wait "$p" 2>/dev/null
    done
    rm -rf "$W"
}
trap cleanup EXIT

# Starts PulseAudio with the null sink "nullsink" in the environment's
# XDG_RUNTIME_DIR and waits for its socket; its process id is $PA.
start_null_sink() {
    cat >"$W/null.pa" <<'PA'
load-module module-null-sink sink_name=nullsink rate=22050 channels=1
set-default-sink nullsink
load-module module-native-protocol-unix auth-anonymous=1
PA
    pulseaudio -n -F "$W/null.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no 2>"$W/pa.log" &
    PA=$!
    PIDS+=($PA)
    for _ in $(seq 1 250); do
        [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break
        sleep 0.02
    done
    [ -S "$XDG_RUNTIME_DIR/pulse/native" ] || fail "PulseAudio did not start: $(cat "$W/pa.log")"
}

# A private home and runtime folder for speech-dispatcher, with the program's
# Open JTalk module installed for the user as scripts/setup.sh --natural-voice
# installs it: the program in ~/.local/libexec/speech-dispatcher-modules/, its
# file alone in $XDG_CONFIG_HOME/speech-dispatcher/modules/, no speechd.conf.
# Usage: private_home_with_module MODULE_PROGRAM MODULE_FILE
private_home_with_module() {
    export XDG_RUNTIME_DIR=$W/rt HOME=$W/home XDG_CONFIG_HOME=$W/home/config \
        XDG_DATA_HOME=$W/home/.local/share TMPDIR=$W/tmp
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/speech-dispatcher/modules" "$XDG_DATA_HOME" "$TMPDIR" \
        "$HOME/.local/libexec/speech-dispatcher-modules"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset SPEECHD_ADDRESS PULSE_SERVER
    cp "$2" "$XDG_CONFIG_HOME/speech-dispatcher/modules/yomimaru-openjtalk.conf"
    cp "$1" "$HOME/.local/libexec/speech-dispatcher-modules/sd_yomimaru-openjtalk"
}
