#!/usr/bin/env bash
# Builds the Debian packages quellarimond, quellarimond-service and quellarimond-common into
# dist/, from a clean build folder of their own (build-package/build), with debhelper.
#
#   scripts/package.sh [--build-dir DIR] [--work DIR] [--dist DIR]
#     --build-dir DIR  package an existing build folder instead of building afresh (it must
#                      hold the programs, the modules and quel_unit_writer; the tests use it)
#     --work DIR       where debian/ is staged and the clean build made (default build-package)
#     --dist DIR       where the .deb files go (default dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build-package
dist=$root/dist
build_dir=

while (($#)); do
  case $1 in
    --build-dir) build_dir=$(cd "$2" && pwd); shift 2 ;;
    --work) work=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    -h | --help) sed -n '2,10s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "package.sh: unknown option \"$1\" (--help shows the usage)" >&2; exit 2 ;;
  esac
done

# The packages carry the project's version: debian/changelog must name the same.
project_version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
package_version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
if [[ $package_version != "$project_version" ]]; then
  echo "package.sh: debian/changelog is at $package_version but the project at $project_version;" >&2
  echo "            add a changelog entry for $project_version (dch -v $project_version)" >&2
  exit 1
fi

mkdir -p "$work" "$dist"
work=$(cd "$work" && pwd)
dist=$(cd "$dist" && pwd)
# debian/ is staged outside the source tree, so that building leaves the sources as they are.
rm -rf "$work/debian"
cp -a "$root/debian" "$work/debian"
cd "$work"

export QUEL_SOURCE_DIR=$root QUEL_DIST_DIR=$dist QUEL_BUILD_DIR=$build_dir
export DEB_RULES_REQUIRES_ROOT=no
export DEB_BUILD_OPTIONS="nocheck parallel=${QUEL_JOBS:-2} ${DEB_BUILD_OPTIONS:-}"
if [[ -z $build_dir ]]; then
  dpkg-checkbuilddeps
fi
# A clean build: "clean" removes the previous one (never a --build-dir folder).
debian/rules clean
nice debian/rules build
debian/rules binary
ls -1 "$dist"/*_"$project_version"_*.deb
