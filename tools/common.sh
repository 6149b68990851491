# Shared by tools/run-tests and tools/run-example; source it, don't run it.

# Prints the interpreter for the given minor version ("3.12"): pyenv's build of
# it when pyenv has one, else pythonX.Y on PATH. Prints nothing when neither
# exists. pyenv's bare shims refuse versions that are not selected, so ask
# pyenv for the prefix instead of calling the shim.
find_python() {
  local want=$1 prefix version
  if command -v pyenv >/dev/null 2>&1; then
    version=$(pyenv versions --bare 2>/dev/null | grep -E "^${want//./\\.}(\.[0-9]+)?$" | sort -V | tail -n 1)
    if [ -n "$version" ] && prefix=$(pyenv prefix "$version" 2>/dev/null) && [ -x "$prefix/bin/python$want" ]; then
      echo "$prefix/bin/python$want"
      return
    fi
  fi
  if command -v "python$want" >/dev/null 2>&1 && "python$want" -c 'pass' >/dev/null 2>&1; then
    command -v "python$want"
  fi
}

# The interpreter to build for: 3.12 if present, else any python3 >= 3.11.
main_python() {
  local py
  py=$(find_python 3.12)
  if [ -z "$py" ] && command -v python3 >/dev/null 2>&1 &&
     python3 -c 'import sys; sys.exit(sys.version_info < (3, 11))'; then
    py=$(command -v python3)
  fi
  if [ -z "$py" ]; then
    echo "no Python 3.11 or later found" >&2
    return 1
  fi
  echo "$py"
}

# Installs the Debian packages that are missing (needs root or sudo).
ensure_debian_packages() {
  local missing=() pkg sudo=
  for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Makes (or reuses) a virtual environment at $1 for interpreter $2 with the
# given requirement files installed.
make_venv() {
  local dir=$1 py=$2
  shift 2
  [ -x "$dir/bin/python" ] || "$py" -m venv "$dir"
  "$dir/bin/python" -m pip install -q --disable-pip-version-check --upgrade pip
  local req
  for req in "$@"; do
    "$dir/bin/python" -m pip install -q --disable-pip-version-check -r "$req"
  done
}
