# Installs the Debian packages the build needs when they are missing. Sourced by ./run and ./test.
quorvel_ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

# What building and running Quorvel needs.
QUORVEL_BUILD_PACKAGES=(cmake g++ make qt6-base-dev libgl-dev libx11-dev libgtest-dev libgmock-dev libbenchmark-dev)
