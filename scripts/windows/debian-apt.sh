# Debian's archive for the ARM scripts, without changing the machine's apt
# configuration; sourced, not run.
#
# private_apt DIR deb-src|deb:ARCH    sets up a private apt in DIR whose
#   sources are the machine's own deb entries (same mirrors, suites,
#   components and keys) turned into deb-src entries or into deb entries for
#   ARCH alone, with its own lists, caches and an empty package status, and
#   refreshes its lists. Then `papt DIR apt-get ...` runs apt in it.
# install_missing PACKAGE...          installs (as root) those of the
#   machine's packages that are missing, after a dry run proves that nothing
#   installed is upgraded or removed and that no foreign-architecture
#   package comes along.

# The machine's deb entries, one-line and deb822 alike, as deb822 stanzas of
# TYPE ("deb-src", or "deb" for ARCH alone), read from its sources.list and
# sources.list.d.
private_apt_sources() {
  local type=$1 arch=${2:-}
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f $file ]] || continue
    # deb [options] URI SUITE COMPONENT...: the key may be an option.
    sed -n 's/#.*//; s/^[[:space:]]*deb[[:space:]]\+//p' "$file" | while read -r first rest; do
      local signed=""
      if [[ $first == \[* ]]; then
        local line="$first $rest"
        signed=$(sed -n 's/.*signed-by=\([^] ]*\).*/\1/p' <<<"${line%%]*}")
        read -r first rest <<<"${line#*]}"
      fi
      # shellcheck disable=SC2086
      set -- $rest
      printf 'Types: %s\nURIs: %s\nSuites: %s\nComponents: %s\n' "$type" "$first" "$1" "${*:2}"
      [[ -z $signed ]] || printf 'Signed-By: %s\n' "$signed"
      [[ -z $arch ]] || printf 'Architectures: %s\n' "$arch"
      echo
    done
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] || continue
    # Stanzas whose Types hold "deb", with Types (and Architectures) replaced.
    awk -v type="$type" -v arch="$arch" '
      function flush() {
        if (binary && text != "") {
          printf "Types: %s\n%s", type, text
          if (arch != "") printf "Architectures: %s\n", arch
          print ""
        }
        text = ""; binary = 0
      }
      /^[[:space:]]*$/ { flush(); next }
      /^#/ { next }
      tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") binary = 1; next }
      tolower($1) == "architectures:" { next }
      { text = text $0 "\n" }
      END { flush() }' "$file"
  done
}

private_apt() {
  local dir=$1 kind=$2 arch=""
  [[ $kind == deb:* ]] && arch=${kind#deb:}
  mkdir -p "$dir/sources.list.d" "$dir/preferences.d" "$dir/lists/partial" \
    "$dir/cache/archives/partial" "$dir/state"
  : >"$dir/sources.list"
  private_apt_sources "${kind%%:*}" "$arch" >"$dir/sources.list.d/machine.sources"
  [[ -s $dir/sources.list.d/machine.sources ]] ||
    { echo "no deb entry in the machine's apt sources" >&2; return 1; }
  : >"$dir/state/status"
  {
    echo "Dir::Etc::SourceList \"$dir/sources.list\";"
    echo "Dir::Etc::SourceParts \"$dir/sources.list.d\";"
    echo "Dir::Etc::Preferences \"$dir/preferences\";"
    echo "Dir::Etc::PreferencesParts \"$dir/preferences.d\";"
    echo "Dir::State \"$dir/state\";"
    echo "Dir::State::Lists \"$dir/lists\";"
    echo "Dir::State::status \"$dir/state/status\";"
    echo "Dir::Cache \"$dir/cache\";"
    # The private folders are root's: apt's download user could not write them.
    echo "APT::Sandbox::User \"root\";"
    if [[ -n $arch ]]; then
      echo "APT::Architecture \"$arch\";"
      echo "APT::Architectures { \"$arch\"; };"
    fi
  } >"$dir/apt.conf"
  papt "$dir" apt-get update -qq
}

# Runs an apt command (apt-get, apt-cache) in the private apt of DIR. Its
# package cache is kept, which the machine's apt.conf.d may turn off (read
# after APT_CONFIG, so overridden here), or every look-up reads all lists.
papt() {
  local dir=$1 command=$2
  shift 2
  APT_CONFIG=$dir/apt.conf "$command" -o Dir::Cache::pkgcache=pkgcache.bin \
    -o Dir::Cache::srcpkgcache=srcpkgcache.bin "$@"
}

install_missing() {
  local missing=() package status
  for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$package")
  done
  ((${#missing[@]} > 0)) || return 0
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  local plan refused
  plan=$(apt-get install -s -y --no-install-recommends --no-upgrade "${missing[@]}")
  # "Inst NAME [OLD] (NEW ...)" upgrades NAME; "Remv" removes; a package of
  # another architecture than the machine's and i386 must not come in.
  refused=$(grep -E '^(Remv |Inst [^ ]+ \[)|^Inst [^ ]+:(arm64|armhf|armel) ' <<<"$plan" || true)
  if [[ -n $refused ]]; then
    printf 'Refusing to install %s: it would change the machine:\n%s\n' "${missing[*]}" "$refused" >&2
    return 1
  fi
  apt-get install -y -qq --no-install-recommends --no-upgrade "${missing[@]}" >/dev/null
}
