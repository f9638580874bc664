#!/usr/bin/env bash
# The Windows programs import only DLLs that every Windows has: a user copies
# one .exe and runs it, with nothing beside it.
# Usage: dll_di_sistema.sh OBJDUMP EXE...
set -u
objdump=$1
shift
fallito=0
for exe in "$@"; do
  dll=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print toupper($3) }')
  [ -n "$dll" ] || { echo "FALLITO: $exe: nessuna DLL letta"; fallito=1; }
  for d in $dll; do
    case "$d" in
      KERNEL32.DLL | USER32.DLL | GDI32.DLL | SHELL32.DLL | MSVCRT.DLL | ADVAPI32.DLL | UCRTBASE.DLL | API-MS-WIN-CRT-*) ;;
      # Windows Sockets, for the preview's server on 127.0.0.1.
      WS2_32.DLL | MSWSOCK.DLL) ;;
      *) echo "FALLITO: $(basename "$exe") importa $d"; fallito=1 ;;
    esac
  done
done
exit "$fallito"
