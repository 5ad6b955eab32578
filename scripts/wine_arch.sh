# Sourced by build.sh, test.sh and demo.sh after setup.sh: decides once which Windows
# architecture the Wine runs use, prints one line saying which and why, and exports it.
#   QJX_WINE_ARCH  x86 (a win32 prefix, the 32-bit stub) where the machine runs 32-bit Wine,
#                  x64 (a win64 prefix, the 64-bit loader, the x64 stub) where it cannot;
#                  set it to x86 or x64 beforehand to override the choice
#   QJX_WIN_TREE   the build tree whose programs the Wine runs use: win32 or win64
if [ -z "${QJX_WIN_TREE:-}" ]; then
  qjx_loader_error() { # LOADER: empty when the loader runs, else what it said
    local said
    if said=$("$1" --version 2>&1 </dev/null); then return 0; fi
    echo "${said:-exit code $?}" | head -1 | sed -E 's/^.*line [0-9]+: //'
  }
  qjx_x86_error=$(qjx_loader_error /usr/lib/wine/wine)
  qjx_x64_error=$(qjx_loader_error /usr/lib/wine/wine64)
  case ${QJX_WINE_ARCH:-} in
    x86 | x64)
      qjx_why="set by QJX_WINE_ARCH"
      qjx_error=$([ "$QJX_WINE_ARCH" = x86 ] && echo "$qjx_x86_error" || echo "$qjx_x64_error")
      if [ -n "$qjx_error" ]; then
        echo "wine: QJX_WINE_ARCH=$QJX_WINE_ARCH, but its Wine loader does not run here: $qjx_error" >&2
        exit 1
      fi ;;
    "")
      if [ -z "$qjx_x86_error" ]; then
        QJX_WINE_ARCH=x86 qjx_why="this machine runs 32-bit Wine"
      elif [ -z "$qjx_x64_error" ]; then
        QJX_WINE_ARCH=x64
        if [ -e /usr/lib/wine/wine ]; then
          qjx_why="the 32-bit Wine loader does not run here ($qjx_x86_error); see dmesg for 32-bit emulation"
        else
          qjx_why="wine32:i386 is not installed (scripts/setup.sh says why)"
        fi
      else
        echo "wine: neither Wine loader runs on this machine, so no Windows test can run." >&2
        echo "wine:   32-bit (/usr/lib/wine/wine): $qjx_x86_error" >&2
        echo "wine:   64-bit (/usr/lib/wine/wine64): $qjx_x64_error" >&2
        exit 1
      fi ;;
    *)
      echo "wine: QJX_WINE_ARCH must be x86 or x64, not '$QJX_WINE_ARCH'" >&2
      exit 2 ;;
  esac
  echo "wine: $QJX_WINE_ARCH ($qjx_why)"
  QJX_WIN_TREE=$([ "$QJX_WINE_ARCH" = x86 ] && echo win32 || echo win64)
  export QJX_WINE_ARCH QJX_WIN_TREE
  unset -f qjx_loader_error
  unset qjx_x86_error qjx_x64_error qjx_why qjx_error
fi
