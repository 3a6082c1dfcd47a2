#!/bin/sh
# Runs lupdate over the sources into a copy of each .ts file and fails when a
# text is missing from it or obsolete in it, or, for a language (every file
# but the template, the first one), left unfinished.
#   check_translations.sh LUPDATE SOURCE_DIR WORK_DIR TEMPLATE.ts [LANGUAGE.ts ...]
# With --update first, the .ts files themselves are brought up to date
# (new texts added unfinished, vanished ones dropped) instead.
set -eu

update=false
if [ "${1:-}" = "--update" ]; then
    update=true
    shift
fi
if [ $# -lt 4 ]; then
    echo "usage: $0 [--update] LUPDATE SOURCE_DIR WORK_DIR TEMPLATE.ts [LANGUAGE.ts ...]" >&2
    exit 2
fi
lupdate=$1
source_dir=$2
work_dir=$3
template=$4
shift 3

# Every folder whose code shows a text through Qt's translation.
sources=""
for folder in module nodes service records data app host; do
    sources="$sources $source_dir/$folder"
done

run_lupdate() {
    # Locations are left out: they would change with every edit of the code.
    # shellcheck disable=SC2086
    "$lupdate" -silent -locations none -extensions cpp,h -I "$source_dir" $sources -ts "$1"
}

if $update; then
    for ts in "$@"; do
        # shellcheck disable=SC2086
        "$lupdate" -silent -locations none -no-obsolete -extensions cpp,h -I "$source_dir" $sources -ts "$ts"
    done
    exit 0
fi

# One line per message: state, context, source (and disambiguation).
messages() {
    awk '
        /<name>/ && !inmsg { ctx = $0; sub(/.*<name>/, "", ctx); sub(/<\/name>.*/, "", ctx) }
        /<message[ >]/ { inmsg = 1; src = ""; comment = ""; state = "done" }
        inmsg && insrc {
            line = $0
            if (line ~ /<\/source>/) { sub(/<\/source>.*/, "", line); insrc = 0 }
            src = src "\\n" line
            next
        }
        inmsg && /<source>/ {
            src = $0; sub(/.*<source>/, "", src)
            if (src ~ /<\/source>/) sub(/<\/source>.*/, "", src); else insrc = 1
            next
        }
        inmsg && /<comment>/ { comment = $0; sub(/.*<comment>/, "", comment); sub(/<\/comment>.*/, "", comment) }
        inmsg && /<translation/ {
            if ($0 ~ /type="unfinished"/) state = "unfinished"
            else if ($0 ~ /type="(obsolete|vanished)"/) state = "obsolete"
        }
        /<\/message>/ {
            key = ctx "\t" src
            if (comment != "") key = key " (" comment ")"
            print state "\t" key
            inmsg = 0
        }
    ' "$1"
}

mkdir -p "$work_dir"
status=0
for ts in "$@"; do
    name=$(basename "$ts")
    if [ ! -f "$ts" ]; then
        echo "$name: missing" >&2
        status=1
        continue
    fi
    copy="$work_dir/$name"
    cp "$ts" "$copy"
    run_lupdate "$copy"

    messages "$ts" | cut -f2- | sort -u >"$work_dir/$name.before"
    messages "$copy" >"$work_dir/$name.after"
    grep -v '^obsolete	' "$work_dir/$name.after" | cut -f2- | sort -u >"$work_dir/$name.found"
    if [ ! -s "$work_dir/$name.found" ]; then
        echo "$name: lupdate found no text in $source_dir" >&2
        status=1
        continue
    fi
    missing=$(comm -13 "$work_dir/$name.before" "$work_dir/$name.found")
    obsolete=$(grep '^obsolete	' "$work_dir/$name.after" | cut -f2- || true)
    unfinished=""
    if [ "$ts" != "$template" ]; then
        unfinished=$(grep '^unfinished	' "$work_dir/$name.after" | cut -f2- || true)
    fi
    if [ -n "$missing" ]; then
        printf '%s: texts of the sources missing from it (context, text):\n%s\n' "$name" "$missing" >&2
        status=1
    fi
    if [ -n "$obsolete" ]; then
        printf '%s: texts no longer in the sources (context, text):\n%s\n' "$name" "$obsolete" >&2
        status=1
    fi
    if [ -n "$unfinished" ]; then
        printf '%s: texts without a finished translation (context, text):\n%s\n' "$name" "$unfinished" >&2
        status=1
    fi
    if [ -z "$missing$obsolete$unfinished" ]; then
        echo "$name: $(wc -l <"$work_dir/$name.found") texts, complete"
    fi
done
if [ $status -ne 0 ]; then
    echo "Bring the files up to date with: cmake --build BUILD --target loncal_update_translations," >&2
    echo "then translate what is unfinished (linguist or an editor)." >&2
fi
exit $status
