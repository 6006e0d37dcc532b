#!/bin/sh
# Tarnwick system immunization: switches the desktop's automatic handling of inserted
# media off for the current user, where the desktop offers it (GNOME's media-handling
# settings), and puts it back on request.
#   systemset.dll        switch it off; the values found before the first change are
#                        recorded in ~/.local/share/tarnwick/systemset.undo
#   systemset.dll undo   put the recorded values back, then forget them
# Tarnwick runs it from a working copy in the temporary folder (systemset.bat) and waits
# until that copy is gone, so removing the copy is the last act, whatever failed before it.
# Just before, the copy leaves its outcome beside itself in systemset.out, one word:
#   done         the settings are switched off (or put back)
#   unsupported  this desktop has none of the settings this script knows
#   norecord     undo: nothing was recorded, so there is nothing to put back
#   failed       a setting could not be read or written
# It prints the same word, and exits 0 for done and norecord, 1 otherwise.

schema=org.gnome.desktop.media-handling
record=${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick/systemset.undo
outcome=failed

# A settings daemon that hangs must not outlast Tarnwick's wait.
bounded() {
    if command -v timeout >/dev/null 2>&1; then
        timeout 20 "$@"
    else
        "$@"
    fi
}

known() {
    command -v gsettings >/dev/null 2>&1 &&
        bounded gsettings list-keys "$schema" >/dev/null 2>&1
}

immunize() {
    if ! known; then
        outcome=unsupported
        return
    fi
    # Only the values found before the first change: later runs would find our own.
    if [ ! -f "$record" ]; then
        found=
        for key in autorun-never automount-open; do
            value=$(bounded gsettings get "$schema" "$key" 2>/dev/null) || return
            found="$found$key $value
"
        done
        mkdir -p -- "${record%/*}" || return
        printf '%s' "$found" >"$record.part" && mv -f -- "$record.part" "$record" || return
    fi
    # GNOME: never run software from inserted media, and open no window for them.
    bounded gsettings set "$schema" autorun-never true >/dev/null 2>&1 || return
    bounded gsettings set "$schema" automount-open false >/dev/null 2>&1 || return
    outcome=done
}

undo() {
    if [ ! -f "$record" ]; then
        outcome=norecord
        return
    fi
    if ! known; then
        outcome=unsupported
        return
    fi
    while read -r key value; do
        case $key in
        autorun-never | automount-open) ;;
        *) continue ;;
        esac
        case $value in
        true | false) ;;
        *) return ;;
        esac
        # A value equal to the default becomes the default again rather than a setting.
        default=$(
            export GSETTINGS_BACKEND=memory
            bounded gsettings get "$schema" "$key" 2>/dev/null
        ) || return
        if [ "$value" = "$default" ]; then
            bounded gsettings reset "$schema" "$key" >/dev/null 2>&1 || return
        else
            bounded gsettings set "$schema" "$key" "$value" >/dev/null 2>&1 || return
        fi
    done <"$record"
    rm -f -- "$record" || return
    outcome=done
}

case ${1:-} in
undo) undo ;;
*) immunize ;;
esac

# Only the working copy reports to Tarnwick and removes itself: run by hand, the installed
# file stays.
case $0 in
*/systemset.bat | systemset.bat)
    out=${0%systemset.bat}systemset.out
    printf '%s\n' "$outcome" >"$out.$$" && mv -f -- "$out.$$" "$out"
    rm -f -- "$0"
    ;;
esac
printf '%s\n' "$outcome"
case $outcome in
done | norecord) exit 0 ;;
esac
exit 1
