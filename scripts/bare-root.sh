# Helpers for a bare Debian 12 root, sourced by check-fresh-machine and test-packages.
# Run as root. The root is what `mmdebstrap --variant=apt` makes (Debian's essential
# packages and apt, plus ca-certificates and git), cached as a tarball outside the
# repository and unpacked anew for every run.
#   VARNOK_ROOT_CACHE overrides the cache folder (default /var/cache/varnok).

bare_root_cache="${VARNOK_ROOT_CACHE:-/var/cache/varnok}"
bare_root_tarball="$bare_root_cache/bookworm-apt.tar"

# Makes the tarball once; a later run reuses it.
bare_root_tarball() {
  [ -s "$bare_root_tarball" ] && return 0
  mkdir -p "$bare_root_cache"
  echo "bare-root: making $bare_root_tarball with mmdebstrap"
  mmdebstrap --quiet --variant=apt --include=ca-certificates,git bookworm \
    "$bare_root_tarball.partial.tar" \
    "deb http://deb.debian.org/debian bookworm main" \
    "deb http://deb.debian.org/debian bookworm-updates main" \
    "deb http://deb.debian.org/debian-security bookworm-security main"
  mv "$bare_root_tarball.partial.tar" "$bare_root_tarball"
}

# Unpacks a new root into a new folder under /var/tmp and prints the folder.
bare_root_unpack() {
  bare_root_tarball >&2
  local dir
  dir=$(mktemp -d /var/tmp/varnok-root.XXXXXXXX)
  tar -C "$dir" -xf "$bare_root_tarball"
  echo "$dir"
}

# bare_root_run ROOT COMMAND...: runs COMMAND as root inside ROOT, in mount and process
# namespaces of its own (fresh /proc, /sys, /tmp and /run; this machine's /dev), with a
# clean environment. Every process it leaves behind ends with it.
bare_root_run() {
  local root=$1
  shift
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  unshare --mount --pid --fork --kill-child -- bash -c '
    set -e
    root=$1
    shift
    mount --make-rprivate /
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    mount -t tmpfs -o mode=0755 tmpfs "$root/run"
    mkdir -p "$root/run/lock"
    exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
      TERM=dumb LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
  ' bare-root "$root" "$@"
}

# Removes a root made by bare_root_unpack (its mounts ended with their namespace).
bare_root_remove() {
  case "$1" in
    /var/tmp/varnok-root.*) rm -rf --one-file-system "$1" ;;
  esac
}
