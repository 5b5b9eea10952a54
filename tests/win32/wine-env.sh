# Sourced by the Wine test runners. Sets the Wine environment and gives the sourcing shell a Wine
# prefix of its own:
#   - a template prefix is made once per build folder (wineboot --init, under a lock; built in a
#     scratch folder and renamed into place only when complete, so a run that was cut short never
#     leaves a half-made prefix behind);
#   - each sourcing shell gets a fresh copy of it (cp -a, about 2 s), so every runner starts from a
#     clean registry and drive C:, unless WINEPREFIX or OM_WINEPREFIX names a prefix to use instead;
#   - om_wine_cleanup stops the prefix's wineserver and removes the copy; it runs on exit unless the
#     caller already has its own EXIT trap (then the caller calls it). Copies left by runners that
#     were killed are removed the next time this file is sourced.
#   - Wine's own error messages reach the programs' output (WINEDEBUG err), its fixme notes do not.
# Helpers: om_wine_new_prefix DIR (a fresh copy at DIR, exported as WINEPREFIX), om_wine_stop (stops
# the wineserver of the current prefix and waits for it), om_wine_path UNIX_PATH (the Z: path).
export WINEARCH=win64
export WINEDEBUG=${OM_WINEDEBUG:--all,err+all}
export WINEDLLOVERRIDES="mscoree,mshtml="

om_wine_root=${OM_WINE_ROOT:-${OM_BINARY_DIR:-/tmp/om-wine-$(id -u)}/wine}
om_wine_template=$om_wine_root/template

om_wine_make_template() {
  [ -f "$om_wine_template/.om_ready" ] && return 0
  mkdir -p "$om_wine_root" || return 1
  (
    flock -w 600 9 || exit 1
    [ -f "$om_wine_template/.om_ready" ] && exit 0
    scratch=$om_wine_root/template.making
    rm -rf "$scratch" "$om_wine_template"
    WINEPREFIX=$scratch timeout 300 wine wineboot --init >/dev/null 2>&1 || true
    # The registry reaches the files only when the wineserver ends.
    WINEPREFIX=$scratch timeout 60 wineserver -w || true
    if [ ! -f "$scratch/system.reg" ] || [ ! -f "$scratch/user.reg" ]; then
      echo "wine-env: wineboot --init did not make a prefix" >&2
      WINEPREFIX=$scratch timeout 20 wineserver -k 2>/dev/null || true
      rm -rf "$scratch"
      exit 1
    fi
    touch "$scratch/.om_ready"
    mv "$scratch" "$om_wine_template"
  ) 9>"$om_wine_root/template.lock"
}

om_wine_new_prefix() {
  local dir=$1
  om_wine_make_template || return 1
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  cp -a "$om_wine_template" "$dir" || return 1
  rm -f "$dir/.om_ready"
  export WINEPREFIX=$dir
}

om_wine_stop() {
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  timeout 20 wineserver -w >/dev/null 2>&1 || true
  return 0
}

om_wine_path() {
  local path=$1
  case $path in /*) ;; *) path=$(pwd)/$path ;; esac
  printf 'Z:%s\n' "${path//\//\\}"
}

# Removes the copies of runners that no longer exist (the folder is named after the runner's pid).
om_wine_prune_runs() {
  local run pid
  for run in "$om_wine_root"/runs/*; do
    [ -d "$run" ] || continue
    pid=${run##*/}
    pid=${pid%%.*}
    case $pid in '' | *[!0-9]*) continue ;; esac
    if ! kill -0 "$pid" 2>/dev/null; then
      WINEPREFIX=$run timeout 20 wineserver -k >/dev/null 2>&1 || true
      rm -rf "$run"
    fi
  done
}

om_wine_own_prefix=
om_wine_cleanup() {
  om_wine_stop
  if [ -n "$om_wine_own_prefix" ]; then
    rm -rf "$om_wine_own_prefix"
    om_wine_own_prefix=
  fi
}

if [ -z "${WINEPREFIX:-}" ] && [ -n "${OM_WINEPREFIX:-}" ]; then
  export WINEPREFIX=$OM_WINEPREFIX
fi
if [ -n "${WINEPREFIX:-}" ]; then
  # A prefix chosen by the caller: made from the template when it does not exist yet.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    om_wine_new_prefix "$WINEPREFIX" || { echo "wine-env: cannot make $WINEPREFIX" >&2; return 1 2>/dev/null || exit 1; }
  fi
else
  om_wine_prune_runs
  # Named after this very process ($BASHPID, which differs from $$ in a subshell) for the pruning above.
  om_wine_own_prefix=$om_wine_root/runs/${BASHPID:-$$}.$RANDOM
  om_wine_new_prefix "$om_wine_own_prefix" || { echo "wine-env: cannot make a Wine prefix" >&2; return 1 2>/dev/null || exit 1; }
fi
# A subshell shows its parent's EXIT trap but never runs it, so the cleanup is installed there too.
if [ -z "$(trap -p EXIT)" ] || [ "${BASHPID:-$$}" != "$$" ]; then
  trap om_wine_cleanup EXIT
fi
