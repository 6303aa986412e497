# Shared by the suk end-to-end scripts, sourced with the build folder as its
# argument: $build and $suk, a temporary folder $work that is the current
# folder and is removed at exit, and fail.
build="$(cd "$1" && pwd)"
suk="$build/suk"
work="$(mktemp -d)"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
