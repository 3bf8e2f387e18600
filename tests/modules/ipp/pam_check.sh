#!/bin/sh
# pam_exec's check for the IPP tests' PAM service: the user and password of the secrets file
# ($1); the password arrives on standard input (expose_authtok).
IFS= read -r given || [ -n "$given" ] || exit 1
user=$(sed -n 's/^user=//p' "$1")
password=$(sed -n 's/^password=//p' "$1")
[ "$PAM_USER" = "$user" ] && [ "$given" = "$password" ]
