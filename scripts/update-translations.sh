#!/usr/bin/env bash
# Brings the translations of the desktop program (translations/quorlin_<language>.ts) up to date
# with the texts in ui/: a new text is added unfinished, a text gone from the code is dropped.
# Then lists, file by file, the texts that have no finished translation yet, and exits with 1
# when there is one. Translate them in Qt Linguist (`linguist translations/quorlin_de.ts`) or in
# the file itself (remove type="unfinished" once the text is right), and build: the program
# carries the translations (ui/CMakeLists.txt).
#   scripts/update-translations.sh                  updates translations/ in place
#   scripts/update-translations.sh --into DIR       writes the updated files to DIR instead
#                                                   (the tests check them there)
#   scripts/update-translations.sh --root TREE ...  the texts of TREE/ui, the files of
#                                                   TREE/translations (default: this tree)
# LUPDATE names the lupdate to use (the build target update_translations passes Qt's).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
root="$here"
into=""
while [ $# -gt 0 ]; do
    case "$1" in
        --into) mkdir -p "$2" && into="$(cd "$2" && pwd)"; shift 2 ;;
        --root) root="$(cd "$2" && pwd)"; shift 2 ;;
        *) echo "usage: $0 [--root TREE] [--into DIR]" >&2; exit 2 ;;
    esac
done

lupdate="${LUPDATE:-}"
if [ -z "$lupdate" ]; then
    # shellcheck source=lib/install-missing.sh
    source "$here/scripts/lib/install-missing.sh"
    install_missing qt6-l10n-tools
    lupdate="$(qtpaths6 --query QT_HOST_BINS 2>/dev/null || echo /usr/lib/qt6/bin)/lupdate"
fi

shopt -s nullglob
files=("$root"/translations/quorlin_*.ts)
if [ ${#files[@]} -eq 0 ]; then
    echo "No translations/quorlin_*.ts under $root" >&2
    exit 2
fi

unfinished_total=0
for ts in "${files[@]}"; do
    target="$ts"
    if [ -n "$into" ]; then
        target="$into/$(basename "$ts")"
        cp "$ts" "$target"
    fi
    # No line numbers in the files (-locations none): a text moved in the code leaves the
    # translations as they are. Includes resolve from the tree's root, as in the code, so that
    # every tr() finds the class it belongs to.
    (cd "$root" && "$lupdate" -silent -locations none -no-obsolete -I . ui -ts "$target")
    # lupdate writes one element a line: the texts of the messages whose translation is
    # unfinished or empty (a plural's forms included).
    unfinished="$(awk '
        /<message/ { bad = 0; source = "" }
        /<source>/ { source = $0; sub(/.*<source>/, "", source); sub(/<\/source>.*/, "", source) }
        /<translation type="unfinished"/ || /<translation><\/translation>/ ||
            /<numerusform><\/numerusform>/ { bad = 1 }
        /<\/message>/ { if (bad) print "    " source }
    ' "$target")"
    count=0
    [ -n "$unfinished" ] && count="$(printf '%s\n' "$unfinished" | wc -l)"
    unfinished_total=$((unfinished_total + count))
    if [ "$count" -eq 0 ]; then
        echo "$(basename "$ts"): every text translated"
    else
        echo "$(basename "$ts"): $count text(s) without a finished translation:"
        printf '%s\n' "$unfinished"
    fi
done
[ "$unfinished_total" -eq 0 ]
