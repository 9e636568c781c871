# Sourced by the archive tests and bench/archive.sh.
# make_archive_tree DIR GOOD BROKEN MIN_S MAX_S: GOOD sine files of MIN_S..MAX_S seconds (WAV,
# AIFF and FLAC, in nested folders, names with spaces) and BROKEN files that no reader accepts.
# Prints nothing; needs sox.
make_archive_tree() {
  local dir="$1" good="$2" broken="$3" min="$4" max="$5" i sec ext sub
  local exts=(wav aiff flac)
  mkdir -p "$dir"
  for ((i = 0; i < good; i++)); do
    sub="$dir/disc $((i % 5))/side $((i % 2))"
    mkdir -p "$sub"
    sec=$((min + (i * 7919) % (max - min + 1)))
    ext=${exts[$((i % 3))]}
    sox -n -r 22050 -c 1 -b 16 "$sub/track $i.$ext" synth "$sec" sine $((200 + i * 10)) vol 0.5 || return 1
  done
  for ((i = 0; i < broken; i++)); do
    sub="$dir/disc $((i % 5))"
    mkdir -p "$sub"
    case $((i % 4)) in
      0) echo "not an mp3" > "$sub/broken $i.mp3" ;;
      1) : > "$sub/broken $i.wav" ;;
      2) head -c 3000 /dev/urandom > "$sub/broken $i.ogg" ;;
      3) printf 'RIFF\x24\x00\x00\x00WAVEfmt ' > "$sub/broken $i.wav" ;;
    esac
  done
}

# A free TCP port on 127.0.0.1 (the kernel picks it).
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Whether the process PID is gone (exited processes can linger as zombies for a moment).
process_gone() {
  local state
  state=$(awk '/^State:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 0
  [ -z "$state" ] || [ "$state" = Z ]
}

# stop_pid PID: TERM, then KILL after 5 s.
stop_pid() {
  local pid="$1" i
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 50; i++)); do process_gone "$pid" && return 0; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null
}
