# Debian packages the game needs to build and run, and those the tests add.
# Sourced by the other scripts.
PLAY_PACKAGES="build-essential cmake ninja-build pkg-config
  liballegro5-dev liballegro-image5-dev liballegro-ttf5-dev liballegro-audio5-dev liballegro-acodec5-dev
  fonts-dejavu-extra nettle-dev zlib1g-dev libsqlite3-dev"
TEST_PACKAGES="$PLAY_PACKAGES googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  xvfb xauth xdotool x11-utils imagemagick libx11-dev libopenal1 openbox
  desktop-file-utils appstream man-db dpkg-dev file python3 ccache"
FORMAT_PACKAGES="clang-format git"

install_packages() {
  local missing=()
  for p in $*; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
