# Sourced by the Wine test runners. Sets the Wine environment and gives the sourcing shell a Wine
# prefix of its own:
#   - a template prefix is made once per build folder (wineboot --init, under a lock; built in a
#     scratch folder and renamed into place only when complete, so a run that was cut short never
#     leaves a half-made prefix behind);
#   - each sourcing shell gets a fresh copy of it (cp -a, about 2 s), named after the shell's pid, so
#     every runner starts from a clean registry and drive C:; copies left by runners that were killed
#     are removed the next time this file is sourced;
#   - om_wine_cleanup stops the prefix's wineserver and removes the copy: the caller's EXIT trap runs it;
#   - Wine's own error messages reach the programs' output (WINEDEBUG err), its fixme notes do not.
# Helpers: om_wine_stop (stops the wineserver of the prefix and waits for it), om_wine_path UNIX_PATH
# (the Z: path of an absolute path).
export WINEARCH=win64
export WINEDEBUG=${OM_WINEDEBUG:--all,err+all}
export WINEDLLOVERRIDES="mscoree,mshtml="
om_wine_root=${OM_BINARY_DIR:-/tmp/om-wine-$(id -u)}/wine
om_wine_template=$om_wine_root/template
# Debian's wine64 is a fixed-address program without Wine's preloader, so nothing keeps its heap,
# placed at random above it, from now and then taking the address Wine needs for the shared user data
# (0x7ffe0000): that start fails with "failed to map the shared user data: c0000018" and the program
# runs without wineboot. Every Wine process here starts with address randomisation off (what Wine
# starts inherits it): the heap then starts right above the program, far below that address.
mkdir -p "$om_wine_root/bin" && printf '#!/bin/sh\nexec setarch "$(uname -m)" -R /usr/bin/wine "$@"\n' \
  >"$om_wine_root/bin/wine.$$" && chmod +x "$om_wine_root/bin/wine.$$" && mv "$om_wine_root/bin/wine.$$" "$om_wine_root/bin/wine"
export PATH=$om_wine_root/bin:$PATH

om_wine_make_template() {
  mkdir -p "$om_wine_root" || return 1
  (
    flock -w 600 9 || exit 1
    [ -f "$om_wine_template/.om_ready" ] && exit 0
    scratch=$om_wine_root/template.making
    rm -rf "$scratch" "$om_wine_template"
    WINEPREFIX=$scratch timeout 300 wine wineboot --init >/dev/null 2>&1
    # The registry reaches the files only when the wineserver ends.
    WINEPREFIX=$scratch timeout 60 wineserver -w
    [ -f "$scratch/system.reg" ] && [ -f "$scratch/user.reg" ] || { echo "wine-env: wineboot --init made no prefix" >&2; exit 1; }
    touch "$scratch/.om_ready" && mv "$scratch" "$om_wine_template"
  ) 9>"$om_wine_root/template.lock"
}

om_wine_stop() {
  timeout 20 wineserver -k >/dev/null 2>&1
  timeout 20 wineserver -w >/dev/null 2>&1
  return 0
}

om_wine_path() { printf 'Z:%s\n' "${1//\//\\}"; } # an absolute UNIX_PATH

om_wine_cleanup() {
  om_wine_stop
  rm -rf "$WINEPREFIX"
}

for om_run in "$om_wine_root"/runs/*; do # the copies of runners that no longer exist
  om_pid=${om_run##*/} && om_pid=${om_pid%%.*}
  [ -d "$om_run" ] && [[ $om_pid =~ ^[0-9]+$ ]] && ! kill -0 "$om_pid" 2>/dev/null || continue
  WINEPREFIX=$om_run timeout 20 wineserver -k >/dev/null 2>&1
  rm -rf "$om_run"
done
# Named after this very process ($BASHPID, which differs from $$ in a subshell) for the pruning above.
export WINEPREFIX=$om_wine_root/runs/${BASHPID:-$$}.$RANDOM
if [ ! -f "$om_wine_template/.om_ready" ] && ! om_wine_make_template || ! mkdir -p "$om_wine_root/runs" ||
  ! cp -a "$om_wine_template" "$WINEPREFIX"; then
  echo "wine-env: cannot make a Wine prefix" >&2
  return 1 2>/dev/null || exit 1
fi
rm -f "$WINEPREFIX/.om_ready"
