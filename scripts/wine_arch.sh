# Sourced by build.sh, test.sh and demo.sh after setup.sh: decides once which Windows
# architectures the Wine runs use, prints one line saying which and why, and exports them.
#   QJX_WINE_ARCHES  every architecture whose Wine loader runs here: "x86 x64" where the machine
#                    runs both, else the one it runs; the tests run on each
#   QJX_WINE_ARCH    the first of them, the one the demo and the benchmark use: x86 (a win32
#                    prefix, the 32-bit stub) where the machine runs 32-bit Wine, else x64 (a win64
#                    prefix, the 64-bit loader, the x64 stub). Set it to x86 or x64 beforehand to
#                    narrow everything to that architecture
#   QJX_WIN_TREES    the build trees of QJX_WINE_ARCHES (win32, win64), QJX_WIN_TREE the first
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
      fi
      QJX_WINE_ARCHES=$QJX_WINE_ARCH ;;
    "")
      if [ -z "$qjx_x86_error" ] && [ -z "$qjx_x64_error" ]; then
        QJX_WINE_ARCH=x86 QJX_WINE_ARCHES="x86 x64"
        qjx_why="this machine runs 32-bit and 64-bit Wine; the demo uses x86"
      elif [ -z "$qjx_x86_error" ]; then
        QJX_WINE_ARCH=x86 QJX_WINE_ARCHES=x86
        qjx_why="this machine runs 32-bit Wine only (64-bit: $qjx_x64_error)"
      elif [ -z "$qjx_x64_error" ]; then
        QJX_WINE_ARCH=x64 QJX_WINE_ARCHES=x64
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
  echo "wine: ${QJX_WINE_ARCHES// / and } ($qjx_why)"
  QJX_WIN_TREE=$([ "$QJX_WINE_ARCH" = x86 ] && echo win32 || echo win64)
  QJX_WIN_TREES=$(for arch in $QJX_WINE_ARCHES; do [ "$arch" = x86 ] && echo win32 || echo win64; done | xargs)
  export QJX_WINE_ARCH QJX_WINE_ARCHES QJX_WIN_TREE QJX_WIN_TREES
  unset -f qjx_loader_error
  unset qjx_x86_error qjx_x64_error qjx_why qjx_error
fi
# A caller that chose its tree itself runs that one alone.
export QJX_WIN_TREES=${QJX_WIN_TREES:-$QJX_WIN_TREE}
