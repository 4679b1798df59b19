# Sourced by the scripts that build: install_missing PACKAGE... installs, through apt-get (with
# sudo when not root), those of the Debian packages that are not installed yet; nothing when all
# are. Other installs on the machine may hold the package lock: it is waited for, and the install
# tried again a few times.
install_missing() {
    local missing=() p sudo_cmd="" attempt
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "Installing: ${missing[*]}"
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    for attempt in 1 2 3 4 5; do
        if $sudo_cmd apt-get -o DPkg::Lock::Timeout=120 update -qq &&
           DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get -o DPkg::Lock::Timeout=300 install \
               -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
            return 0
        fi
        [ "$attempt" -eq 5 ] && { echo "apt-get failed" >&2; return 1; }
        sleep 10
    done
}
