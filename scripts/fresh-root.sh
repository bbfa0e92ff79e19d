#!/usr/bin/env bash
# Runs a command in a bare Debian bookworm root, as a new user's machine
# would be: nothing installed beyond apt itself, so every package that the
# command needs must be installed by the repository's own scripts.
#
#   scripts/fresh-root.sh [--in FILE]... [--out PATTERN]... [--share DIR] [--keep] [--] COMMAND
#
# The root is made with `mmdebstrap --variant=apt bookworm` (installed on
# the host when missing); the repository's committed HEAD is cloned into it
# as /root/quorix, which is where COMMAND runs, with bash, as root, in a clean
# environment. --in copies a host file into that folder first; --out copies
# the files matching a pattern (relative to that folder) back to
# build/fresh-root-out/ on the host after COMMAND succeeds. --share DIR
# makes the host folder DIR the root's /root/share while COMMAND runs, so
# that the command can hand files to the host before it ends. /proc, /dev,
# /dev/pts and a fresh /dev/shm are mounted for the command, and on every
# way out (success, failure, Ctrl-C, TERM) the processes left inside are
# ended, everything is unmounted and the root is removed (unless --keep).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
ins=() outs=() keep=0 share=""
while (($#)); do
  case "$1" in
    --in) ins+=("$(realpath "$2")"); shift 2 ;;
    --share) share=$(realpath "$2"); shift 2 ;;
    --out) outs+=("$2"); shift 2 ;;
    --keep) keep=1; shift ;;
    --) shift; break ;;
    -*) echo "fresh-root: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if (($# == 0)); then
  echo "usage: scripts/fresh-root.sh [--in FILE]... [--out PATTERN]... [--share DIR] [--keep] [--] COMMAND" >&2
  exit 2
fi
command_text="$*"
if [[ $(id -u) -ne 0 ]]; then
  echo "fresh-root: needs root (mmdebstrap, mount and chroot)" >&2
  exit 1
fi
if ! command -v mmdebstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
fi

root=$(mktemp -d "${TMPDIR:-/var/tmp}/quorix-root.XXXXXX")
child=""

# Runs one step in its own process group, in the background, and waits for
# it: a signal to this script then runs the clean-up at once, which ends the
# whole step (mmdebstrap's helpers, the command's children) with its group.
step() {
  setsid "$@" </dev/null &
  child=$!
  wait "$child"
  child=""
}

mounts_under_root() {  # deepest first
  findmnt -rn -o TARGET | awk -v root="$root" 'index($0, root "/") == 1' | sort -r
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  # The step's group may be gone already; under set -e a failed kill would
  # end the clean-up here and leave the mounts behind.
  [[ -n $child ]] && { kill -KILL -- "-$child" 2>/dev/null || true; }
  # Anything still running inside the root (an X server, a window) holds its
  # mounts busy: end it.
  local link
  for link in /proc/[0-9]*/root; do
    [[ "$(readlink "$link" 2>/dev/null)" == "$root"* ]] || continue
    link=${link#/proc/}
    kill -KILL "${link%/root}" 2>/dev/null || true
  done
  sleep 0.2
  local target
  for target in $(mounts_under_root); do
    umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
  done
  if ((keep)); then
    echo "fresh-root: kept $root (unmounted)" >&2
  elif [[ -n $(mounts_under_root) ]]; then
    echo "fresh-root: something is still mounted under $root; not removing it" >&2
  else
    # --one-file-system: never follow a mount that survived into the host's files.
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "fresh-root: making a bare bookworm root in $root"
step mmdebstrap --quiet --variant=apt bookworm "$root"
# The certificate authorities this machine adds to Debian's (a network
# whose TLS passes a proxy of its own) are the root's too, as they would be
# on a user's machine on that network: Debian's ca-certificates takes them
# in when a step installs it, and npm then reaches its registry.
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
fi
git clone --quiet "$repo" "$root/root/quorix"
for f in "${ins[@]}"; do cp "$f" "$root/root/quorix/"; done

mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
# Private, so that the mounts below stay inside the root even where the
# host shares its mount events.
mount --make-private "$root/dev"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
if [[ -n $share ]]; then
  mkdir -p "$share" "$root/root/share"
  mount --bind "$share" "$root/root/share"
fi

echo "fresh-root: running '$command_text'"
step chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin CI="${CI:-}" \
  /bin/bash -c "cd /root/quorix && $command_text"

if ((${#outs[@]})); then
  mkdir -p "$repo/build/fresh-root-out"
  (cd "$root/root/quorix" && for p in "${outs[@]}"; do cp -v $p "$repo/build/fresh-root-out/"; done)
fi
