#!/bin/bash
# make_sfx_package.sh OUTPUT FILE... : a self-extracting package for the posix update tests. It is
# p7zip's 7zCon.sfx with a 7z archive of the FILEs (each under its own base name, NAME=PATH stores
# PATH as NAME), behind a small shell header: the updater starts packages with "-y -o" and nothing
# after "-o", which the 7-Zip extractor refuses ("Too short switch"), so the header runs it with the
# current folder spelled out, as the Windows package does by itself.
set -euo pipefail
output=$(realpath -m "$1")
shift
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/files"
for item in "$@"; do
    if [[ $item == *=* ]]; then cp "${item#*=}" "$stage/files/${item%%=*}"; else cp "$item" "$stage/files/"; fi
done
(cd "$stage/files" && 7z a -bd -bso0 "$stage/payload.7z" .)
cat /usr/lib/p7zip/7zCon.sfx "$stage/payload.7z" >"$stage/payload.sfx"
{
    cat <<'HEADER'
#!/bin/sh
[ "$1" = "-y" ] && [ "$2" = "-o" ] || { echo "usage: $0 -y -o" >&2; exit 64; }
sfx=$(mktemp) || exit 70
trap 'rm -f "$sfx"' EXIT
tail -n +7 "$0" >"$sfx" && chmod +x "$sfx" && "$sfx" -y -o"$PWD" >/dev/null
exit $?
HEADER
    cat "$stage/payload.sfx"
} >"$output"
chmod +x "$output"
