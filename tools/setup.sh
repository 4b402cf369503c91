# Sourced by demo.sh and test.sh: installs what the build needs on a fresh machine
# (Debian packages where missing, Python packages into ./.venv) and sets $PY.
set -euo pipefail

DEBIAN_PACKAGES=(g++ libgtest-dev nlohmann-json3-dev)
missing=()
for pkg in "${DEBIAN_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "installing Debian packages: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

PYTHON=${PYTHON:-python3}
if [ ! -x .venv/bin/python ]; then
  "$PYTHON" -m venv .venv
fi
PY=.venv/bin/python
"$PY" -m pip install -q --disable-pip-version-check -U pip
"$PY" -m pip install -q --disable-pip-version-check \
  "scikit-build-core>=0.10" "cmake>=3.20" ninja "numpy>=1.24" pytest hypothesis "$@"
export PATH="$PWD/.venv/bin:$PATH"

# Builds and installs the extension module into the virtual environment.
install_module() {
  "$PY" -m pip install -q --disable-pip-version-check --no-build-isolation .
}
