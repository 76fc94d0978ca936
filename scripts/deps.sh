# Installs the Debian packages the build needs when any is missing.
# Sourced by scripts/run, scripts/test and scripts/package.
vddb_packages="cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libsqlite3-dev libpq-dev postgresql libgtest-dev libbenchmark-dev pxlib-dev sqlite3 desktop-file-utils appstream dpkg-dev poppler-utils python3"

vddb_install_deps() {
    local missing=()
    for p in $vddb_packages "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}
