#!/usr/bin/env bash
# Installs every Debian package Yomimaru needs to build, run and test.
# Safe to run again: when everything is already there it only checks and returns.
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake ninja-build clang-format pkg-config git
    # Qt 6 (Core, Gui, Widgets, Network, Test, Multimedia) and regular expressions
    qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-multimedia-dev libqt6opengl6-dev libpcre2-dev
    # speech
    libspeechd-dev speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
    # Japanese reading for espeak-ng: MeCab with the UTF-8 IPAdic dictionary, and kakasi
    mecab mecab-ipadic-utf8 libmecab-dev kakasi libkakasi2-dev
    # romaji search (C/Migemo and its UTF-8 dictionary)
    libmigemo-dev cmigemo-common
    # end-to-end tests and the audio capture test
    xvfb xauth xdotool pulseaudio pulseaudio-utils sox
    # a private session bus for the screen-reader detection test
    dbus-daemon
    # the emoji name table (tools/emoji/make_emoji_table.py reads CLDR)
    unicode-cldr-core
    # benchmarks
    libbenchmark-dev
    # regenerating (and checking) the 1000-message sample thread
    python3
    # Japanese fonts for the large-type display
    fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
