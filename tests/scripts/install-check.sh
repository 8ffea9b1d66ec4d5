#!/usr/bin/env bash
# quillon_install_packages (scripts/lib.sh) against stand-ins of apt-get,
# dpkg, dpkg-query and id put first on PATH. apt-get's update fails as it
# does while a mirror syncs, a plain install as it does with held broken
# packages, and an install with -t as the row says. dpkg-query never sees a
# package installed, so only apt-get's exit status can say that it worked.
#   tests/scripts/install-check.sh SCRIPTS/LIB.SH
set -u
lib=${1:?usage: install-check.sh path/to/scripts/lib.sh}
WORK=$(mktemp -d) || exit 1
trap 'rm -rf "$WORK"' EXIT
export WORK
mkdir "$WORK/bin"
cat >"$WORK/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" >>"$WORK/calls"
case " $* " in
  *" update "*)
    echo "E: Failed to fetch http://deb.debian.org/debian/dists/bookworm/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.80 80]"
    exit 100 ;;
  *" -t "*) [ "$T_INSTALL" = ok ] && exit 0 ;;
esac
echo "E: Unable to correct problems, you have held broken packages."
exit 100
STANDIN
printf '#!/bin/sh\n[ "$INSTALLED" = yes ] && printf "install ok installed"\nexit 0\n' >"$WORK/bin/dpkg-query"
printf '#!/bin/sh\necho "dpkg $*" >>"$WORK/calls"\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' >"$WORK/bin/dpkg"
printf '#!/bin/sh\necho 0\n' >"$WORK/bin/id"
chmod +x "$WORK/bin/"*

# case | installed | the -t install | os-release | exit status | checks: [!]calls:TEXT or [!]err:TEXT
rows=(
  "a|no|ok|VERSION_CODENAME=bookworm|0|calls:apt-get install -y -qq --no-install-recommends -t bookworm cmake xvfb|err:Mirror sync in progress?"
  "b|no|fails|VERSION_CODENAME=bookworm|1|calls:-t bookworm|err:  E: Unable to correct problems, you have held broken packages.|err:sudo apt-get update; sudo apt-get install -y --no-install-recommends -t bookworm cmake xvfb"
  "c|yes|ok|VERSION_CODENAME=bookworm|0|!calls:apt-get"
  "d|no|ok|ID=debian|1|calls:apt-get install -y -qq --no-install-recommends cmake xvfb|!calls:-t|err:sudo apt-get update; sudo apt-get install -y --no-install-recommends cmake xvfb"
)
failed=0
for row in "${rows[@]}"; do
  IFS='|' read -r name INSTALLED T_INSTALL release want checks <<<"$row"
  export INSTALLED T_INSTALL
  rm -f "$WORK/calls" && touch "$WORK/calls"
  echo "$release" >"$WORK/os-release"
  PATH="$WORK/bin:$PATH" QUILLON_OS_RELEASE="$WORK/os-release" \
    bash -c '. "$1" && quillon_install_packages cmake xvfb' _ "$lib" >"$WORK/out" 2>"$WORK/err"
  got=$?
  bad=()
  [ "$want" = 0 ] && [ "$got" -ne 0 ] && bad+=("exit status $got, not 0")
  [ "$want" != 0 ] && [ "$got" -eq 0 ] && bad+=("exit status 0, not a failure")
  IFS='|' read -ra list <<<"$checks"
  for check in "${list[@]}"; do
    negate=no
    [ "${check#!}" != "$check" ] && negate=yes check=${check#!}
    file=${check%%:*} text=${check#*:}
    if grep -qF -- "$text" "$WORK/$file"; then found=yes; else found=no; fi
    [ "$negate" = no ] && [ "$found" = no ] && bad+=("$file lacks: $text")
    [ "$negate" = yes ] && [ "$found" = yes ] && bad+=("$file holds: $text")
  done
  if [ "${#bad[@]}" -eq 0 ]; then
    echo "ok   $name"
  else
    failed=1
    echo "FAIL $name: $(printf '%s; ' "${bad[@]}")"
    sed 's/^/  calls: /' "$WORK/calls"; sed 's/^/  stderr: /' "$WORK/err"
  fi
done
exit "$failed"
