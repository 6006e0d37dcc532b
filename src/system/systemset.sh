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
#   badrecord    undo: the record is not one this script wrote (a link, not a plain file,
#                too large, or lines it does not know); it is left as it is
#   failed       a setting could not be read or written
# It prints the same word, and exits 0 for done and norecord, 1 otherwise.

schema=org.gnome.desktop.media-handling
outcome=failed
# The data folder as Tarnwick finds it: XDG_DATA_HOME only when absolute, as the XDG
# base-directory rules say, else ~/.local/share of HOME when absolute, else of the account's home.
home=${HOME:-}
case $home in
/*) ;;
*)
    account=$(getent passwd "$(id -u 2>/dev/null)" 2>/dev/null)
    home=${account#*:*:*:*:*:}
    home=${home%%:*}
    ;;
esac
case ${XDG_DATA_HOME:-} in
/*) data=$XDG_DATA_HOME ;;
*)
    case $home in
    /*) data=$home/.local/share ;;
    *) data= ;;
    esac
    ;;
esac
record=$data/tarnwick/systemset.undo
# A record is two short lines; anything larger is not ours.
limit=4096

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

# Checks the record before anything is changed: a plain file of its own name, small, and only
# the lines this script writes, each key once. Sets the keys and values to put back.
valid_record() {
    [ -f "$record" ] && [ ! -L "$record" ] || return 1
    size=$(wc -c <"$record" 2>/dev/null) || return 1
    [ "$size" -le "$limit" ] 2>/dev/null || return 1
    values=
    seen=
    while IFS= read -r line || [ -n "$line" ]; do
        case $line in
        '') continue ;;
        'autorun-never true' | 'autorun-never false' | 'automount-open true' | 'automount-open false') ;;
        *) return 1 ;;
        esac
        key=${line% *}
        case " $seen " in
        *" $key "*) return 1 ;;
        esac
        seen="$seen $key"
        values="$values$line
"
    done <"$record"
    [ -n "$values" ]
}

immunize() {
    if ! known; then
        outcome=unsupported
        return
    fi
    [ -n "$data" ] || return
    # Only the values found before the first change: later runs would find our own. Nothing is
    # changed over a record that undo would refuse: the change could never be undone.
    if [ -e "$record" ] || [ -L "$record" ]; then
        valid_record || return
    else
        found=
        for key in autorun-never automount-open; do
            value=$(bounded gsettings get "$schema" "$key" 2>/dev/null) || return
            found="$found$key $value
"
        done
        mkdir -p -- "${record%/*}" || return
        # Written under a fresh name of its own (created exclusively, never through a link)
        # and renamed into place: a link planted at the name is replaced, not followed.
        part=$(mktemp -- "$record.XXXXXX") || return
        if ! printf '%s' "$found" >"$part" || ! mv -f -- "$part" "$record"; then
            rm -f -- "$part"
            return
        fi
    fi
    # GNOME: never run software from inserted media, and open no window for them.
    bounded gsettings set "$schema" autorun-never true >/dev/null 2>&1 || return
    bounded gsettings set "$schema" automount-open false >/dev/null 2>&1 || return
    outcome=done
}

undo() {
    if [ -z "$data" ]; then
        return
    fi
    if [ ! -e "$record" ] && [ ! -L "$record" ]; then
        outcome=norecord
        return
    fi
    if ! valid_record; then
        outcome=badrecord
        return
    fi
    if ! known; then
        outcome=unsupported
        return
    fi
    while read -r key value; do
        [ -n "$key" ] || continue
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
    done <<VALUES
$values
VALUES
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
    # In a shared temporary folder: written under a fresh name of its own and renamed onto
    # systemset.out, so that nothing planted there is followed.
    out=${0%systemset.bat}systemset.out
    if part=$(mktemp -- "$out.XXXXXX"); then
        printf '%s\n' "$outcome" >"$part" && mv -f -- "$part" "$out" || rm -f -- "$part"
    fi
    rm -f -- "$0"
    ;;
esac
printf '%s\n' "$outcome"
case $outcome in
done | norecord) exit 0 ;;
esac
exit 1
