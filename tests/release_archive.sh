#!/bin/sh
# The release archives, made by tools/make-release from this build's programs, unpacked into
# fresh folders and checked as a viewer would get them (on the X display in $DISPLAY):
#   release_archive.sh <source folder> <build folder> <intro_screenshot_check>
# Each unpacks to one top folder with the programs, the data, lib/ and the texts; every
# library resolves inside lib/ or to the system set that make-release names; SDL 1.2 and
# libmikmod are loaded from lib/; klov4402 started from an unrelated folder shows the scene
# and ends on Q with status 0; the texts keep their line limits; klov.png is 640 x 480.
set -u
source=$1
build=$2
checker=$3
here=$(dirname "$0")
data=$source/data
work=$(mktemp -d /tmp/klov-release-XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAILED: $*"
    failed=1
}
stop() {
    echo "FAILED: $*"
    exit 1
}

version=$(sed -n 's/^project(klov VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
name=klov-$version-linux-x86_64
"$source/tools/make-release" --bin "$build" --out "$work/dist" >"$work/make.log" 2>&1 || {
    tail -30 "$work/make.log"
    stop "tools/make-release"
}
system_libs=$("$source/tools/make-release" --system-libs) || stop "make-release --system-libs"
is_system_lib() {
    for pattern in $system_libs; do
        # shellcheck disable=SC2254
        case $1 in $pattern) return 0 ;; esac
    done
    return 1
}

# Every object's libraries, as ldd resolves them: inside <top>/lib or in the system set.
check_libraries() {
    top=$1
    for object in "$top"/klov4400 "$top"/klov4402 "$top"/klov-capture "$top"/lib/*.so*; do
        ldd "$object" >"$work/ldd" 2>&1 || { fail "ldd $object"; continue; }
        grep -q 'not found' "$work/ldd" && fail "$(basename "$object"): $(grep 'not found' "$work/ldd")"
        awk '$2 == "=>" && $3 != "not" { print $1, $3 }' "$work/ldd" >"$work/resolved"
        while read -r soname path; do
            case $path in
            "$top"/lib/*) ;;
            *) is_system_lib "$soname" || fail "$(basename "$object") loads $soname from $path" ;;
            esac
        done <"$work/resolved"
    done
    # What the dynamic loader really opens, with no help from the environment.
    for program in klov4400 klov4402 klov-capture; do
        (cd "$work" && env -u LD_LIBRARY_PATH LD_DEBUG=libs "$top/$program" --version \
            >/dev/null 2>"$work/ld.log") || fail "$program --version"
        for lib in libSDL-1.2.so.0 libmikmod.so.3; do
            grep -q "calling init: $top/lib/$lib\$" "$work/ld.log" ||
                fail "$program does not load $lib from lib/: $(grep "calling init: .*/$lib" "$work/ld.log")"
        done
    done
}

check_texts() {
    top=$1
    diz=$top/file_id.diz
    [ "$(wc -l <"$diz")" -le 10 ] || fail "file_id.diz has $(wc -l <"$diz") lines"
    awk 'length > 45 { print "file_id.diz line " NR " has " length " characters"; bad = 1 }
         END { exit bad }' "$diz" || fail "file_id.diz lines longer than 45"
    LC_ALL=C grep -n '[^ -~]' "$diz" && fail "file_id.diz is not plain 7-bit ASCII"
    LC_ALL=C.UTF-8 awk 'length > 79 { print "klov.txt line " NR " has " length " characters"; bad = 1 }
         END { exit bad }' "$top/klov.txt" || fail "klov.txt lines longer than 79"
    # The text names every option the programs take.
    for program in klov4402 klov-capture; do
        for option in $("$top/$program" --help | grep -o -- '^ *--[a-z]*' | tr -d ' '); do
            grep -q -- "$option" "$top/klov.txt" || fail "klov.txt does not mention $program $option"
        done
    done
    size=$(identify -format '%w x %h' "$top/klov.png") || fail "klov.png is no picture"
    [ "$size" = "640 x 480" ] || fail "klov.png is $size, not 640 x 480"
}

for kind in tar.gz zip; do
    archive=$work/dist/$name.$kind
    [ -f "$archive" ] || stop "no $name.$kind"
    unpacked=$work/$kind
    mkdir "$unpacked"
    case $kind in
    tar.gz) tar -C "$unpacked" -xzf "$archive" ;;
    zip) (cd "$unpacked" && unzip -q "$archive") ;;
    esac || stop "cannot unpack $name.$kind"
    [ "$(ls -A "$unpacked")" = "$name" ] || stop "$name.$kind does not hold just the folder $name"
    top=$unpacked/$name

    for f in klov4400 klov4402 klov-capture; do
        [ -x "$top/$f" ] || fail "$kind: $f is missing or not executable"
    done
    for f in "$data"/*.ppm "$data"/*.pbm "$data"/*.xm; do
        cmp -s "$f" "$top/$(basename "$f")" || fail "$kind: $(basename "$f") is not the data file"
    done
    for f in LICENSE klov.txt file_id.diz klov.png lib/libSDL-1.2.so.0 lib/libmikmod.so.3 \
        lib/LICENSES/libsdl1.2debian.copyright lib/LICENSES/libmikmod3.copyright; do
        [ -s "$top/$f" ] || fail "$kind: $f is missing"
    done
    # Every bundled library has its package's licence text.
    for lib in "$top"/lib/*.so*; do
        package=$(awk -v s="$(basename "$lib")" '$1 == s { print $2 }' "$top/lib/LICENSES/packages.txt")
        [ -n "$package" ] && [ -s "$top/lib/LICENSES/$package.copyright" ] ||
            fail "$kind: no licence text for $(basename "$lib")"
    done
    videos=$(find "$top" -name '*.mp4' -o -name '*.mkv' -o -name '*.webm' -o -name '*.avi' -o -name '*.y4m')
    [ -z "$videos" ] || fail "$kind: a video in the archive: $videos"

    check_libraries "$top"
    check_texts "$top"
    sh "$here/intro_elsewhere.sh" "$top/klov4402" "$checker" "$data" || fail "$kind: klov4402 run"
done

[ $failed -eq 0 ] || exit 1
echo "both archives unpack to $name and run with their own SDL 1.2 and libmikmod"
