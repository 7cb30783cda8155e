# Sourced by the scripts: installs the Debian packages that a step needs,
# only when one of them is missing.

# ensure_packages PACKAGE...: apt-get installs those not yet installed.
ensure_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ -z "${QUORVANT_APT_UPDATED:-}" ]; then
    $sudo apt-get update -qq
    QUORVANT_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The tools every build needs.
ensure_build_tools() {
  ensure_packages cmake ninja-build g++ pkg-config
}
