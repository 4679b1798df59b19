# Sourced by the scripts that build: install_missing PACKAGE... installs, through apt-get (with
# sudo when not root), those of the Debian packages that are not installed yet; nothing when all are.
install_missing() {
    local missing=() p sudo_cmd=""
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "Installing: ${missing[*]}"
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}
