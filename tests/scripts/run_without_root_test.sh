#!/usr/bin/env bash
# run.sh started by a user who is not root and has no sudo, with a package
# missing: it names the package and the one command that installs it, and
# stops before building anything.
set -u
ROOT="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# A PATH of the few tools the scripts need, without sudo; dpkg-query
# reports xvfb as not installed and everything else as installed.
mkdir "$work/bin"
for tool in bash env id grep dirname cat; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
pkg="${@: -1}"
[ "$pkg" = xvfb ] && exit 1
printf 'install ok installed'
FAKE
chmod 755 "$work/bin/dpkg-query"
for tool in cmake apt-get; do
  printf '#!/usr/bin/env bash\ntouch "%s/%s-ran"\n' "$work" "$tool" >"$work/bin/$tool"
  chmod 755 "$work/bin/$tool"
done

as_user=()
if [ "$(id -u)" -eq 0 ]; then
  if ! setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
    echo "SKIP: cannot become an unprivileged user here"
    exit 0
  fi
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  if ! "${as_user[@]}" test -x "$ROOT/run.sh"; then
    echo "SKIP: the unprivileged user cannot reach $ROOT/run.sh"
    exit 0
  fi
fi

out="$("${as_user[@]}" env -i PATH="$work/bin" HOME="$work" BUILD_DIR="$work/build" "$ROOT/run.sh" 2>&1)"
status=$?
echo "$out"

fail=0
check() { if ! eval "$1"; then echo "FAILED: $2"; fail=1; fi; }
check '[ $status -ne 0 ]' "run.sh went on without the package"
check '! grep -q "command not found" <<<"$out"' "a missing command was run"
check 'grep -q "xvfb" <<<"$out"' "the missing package is not named"
check 'grep -q "apt-get install -y --no-install-recommends xvfb" <<<"$out"' "no command to install it"
check 'grep -qi "root or sudo" <<<"$out"' "no word that installing needs root or sudo"
check '[ ! -e "$work/apt-get-ran" ] && [ ! -e "$work/cmake-ran" ] && [ ! -e "$work/build" ]' "something was installed or built"
exit $fail
