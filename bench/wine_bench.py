#!/usr/bin/python3
"""The stub under Wine against a plain copy, against its bare start-up and against a peer.

Packs three files of a small and of a large total size into two quiet installers, and where
makensis (Debian's nsis) is there into two silent installers of that peer (stored, no CRC
check: its fastest), then runs in turns, round after round, in the same prefix and started the
same way: each installer, the copy program on the same files (bench/plain_copy.c) and the
program that makes only the stub's quiet start-up calls (bench/startup_calls.c). Every input
is dropped from the page cache once, so that all come back cached alike, whoever wrote them;
every timed run starts with its input files read into memory, the previous run's files removed
and no dirty pages left. Prints the median of:
  throughput ratio       the stub's extra time from the small to the large size over the copy's
  start-up ratio         the stub at the small size over the start-up calls alone
  peak working set       of the stub at both sizes: the process's high-water resident size,
                         which is what Wine reports as PeakWorkingSetSize
  peer ratio             the stub at the small size over the peer at the small size
  peer throughput ratio  the stub's extra time from the small to the large size over the peer's
  the same two against the peer's default configuration (compression on, its payload checked
  with a CRC32, as ours checks its payload's digest), and the hashing's share: the large
  installer with its digest against the same installer unbound (the record's state cleared, so
  that the stub hashes nothing), over the bound one's time
Checks what each run wrote, so that no figure comes from a run that failed; a run that hangs
(a message box in quiet mode) is ended after RUN_TIMEOUT seconds and reported.

Usage: wine_bench.py --tree WINDOWS_TREE --packer QJXPACK [--run WINE] [--work DIR]
                     [--sizes SMALL,LARGE (MiB)] [--rounds N] [--settle SECONDS] [--verbose]
                     [--makensis MAKENSIS] [--require-peer]
Needs the Wine environment of the tree (wine_env.sh), its prefix and an X display; exit code 77
when the packer is missing, and with --require-peer after all runs when the peer could not be
built (the reason is printed).
"""
import argparse
import filecmp
import os
import platform
import random
import shutil
import statistics
import subprocess
import sys
import threading
import time

MIB = 1024 * 1024
# Shares of the total, as in a package with two transforms; odd sizes cross block ends.
FILES = (("package.msi", 5 / 8, 12345), ("transform_one.mst", 2 / 8, -12345),
         ("transform_two.mst", 1 / 8, 0))
TARGETS = {"throughput": 1.05, "startup": 1.15, "peak_bytes": 2_000_000, "peer": 1.00,
           "peer_throughput": 1.00, "peer_default": 1.00}
# The peer's settings: its fastest (stored, unchecked), and its defaults.
PEER_CONFIGURATIONS = (("peer", "SetCompress off\nCRCCheck off"), ("peer_default", ""))
# The payload digest's record in the stub (payload/payload_digest.h): magic and state 1, bound.
BOUND_RECORD = b"QJXBIND1\x01\x00\x00\x00"
RUN_TIMEOUT = 120
# The peer's stub for the machine field of ours: its amd64 stubs are Unicode only, and the x86
# one is taken in Unicode too, so that both read the same kind of paths as ours.
PEER_TARGETS = {0x014C: "x86-unicode", 0x8664: "amd64-unicode"}
# A new folder per run, as ours makes, and kept: GetTempFileName reserves a fresh name under
# $TEMP as a file, which then makes way for the folder. Stored and unchecked, the peer only
# copies, as ours does.
PEER_SCRIPT = """Target %(target)s
%(settings)s
SilentInstall silent
RequestExecutionLevel user
OutFile "%(installer)s"
Section
  GetTempFileName $0
  Delete $0
  CreateDirectory $0
  SetOutPath $0
%(files)s
SectionEnd
"""


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def make_sources(folder, total):
    os.makedirs(folder, exist_ok=True)
    piece = os.urandom(MIB)
    for name, share, adjust in FILES:
        size = max(0, int(total * share) + adjust)
        with open(os.path.join(folder, name), "wb") as out:
            left = size
            while left > 0:
                n = min(left, len(piece))
                out.write(piece[:n])
                left -= n
            piece = piece[1:] + piece[:1]  # each file its own bytes


class Bench:
    def __init__(self, args):
        self.args = args
        self.run_wine = args.run.split()
        self.temp = self.wine_temp_folder()

    def wine_output(self, *command):
        done = subprocess.run(self.run_wine + list(command), stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, check=True)
        return done.stdout.strip()

    def wine_temp_folder(self):
        temp = self.wine_output("cmd", "/c", "echo", "%TEMP%")
        return self.wine_output("winepath", "-u", temp)

    def new_folders(self, before):
        return sorted(set(os.listdir(self.temp)) - before)

    def timed(self, command, expected_code, inputs, sources=None, compare=False):
        """Runs one program under Wine; returns (seconds, CPU seconds, peak bytes). With
        sources, exactly one new folder under %TEMP% must hold the same files; it is removed
        afterwards."""
        before = set(os.listdir(self.temp))
        # Every run reads its files from memory: pages of them are dropped between runs here.
        for path in inputs:
            with open(path, "rb") as source:
                while source.read(MIB):
                    pass
        # The last run's write-back and clean-up must not land on this one.
        os.sync()
        time.sleep(self.args.settle)
        start = time.perf_counter()
        process = subprocess.Popen(self.run_wine + command, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, cwd=self.args.work)
        watchdog = threading.Timer(RUN_TIMEOUT, process.kill)
        watchdog.start()
        # wait4, not wait: the rusage of this one process is its CPU time and peak.
        _, status, usage = os.wait4(process.pid, 0)
        seconds = time.perf_counter() - start
        watchdog.cancel()
        measured = (seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024)
        code = os.waitstatus_to_exitcode(status)
        created = self.new_folders(before)
        try:
            if seconds >= RUN_TIMEOUT:
                sys.exit("%s: still running after %d s (a message box?)" % (command[0],
                                                                             RUN_TIMEOUT))
            if code != expected_code:
                sys.exit("%s: exit code %d, expected %d" % (command[0], code, expected_code))
            if sources is None:
                return measured
            if len(created) != 1:
                sys.exit("%s: expected one new folder in %s, found %s" % (command[0], self.temp,
                                                                          created))
            folder = os.path.join(self.temp, created[0])
            names = sorted(name for name, _, _ in FILES)
            if sorted(os.listdir(folder)) != names:
                sys.exit("%s wrote %s, expected %s" % (command[0], os.listdir(folder), names))
            for name in names:
                ours, theirs = os.path.join(sources, name), os.path.join(folder, name)
                same = filecmp.cmp(ours, theirs, shallow=False) if compare else \
                    os.path.getsize(ours) == os.path.getsize(theirs)
                if not same:
                    sys.exit("%s: %s differs from %s" % (command[0], theirs, ours))
            return measured
        finally:
            for name in created:
                shutil.rmtree(os.path.join(self.temp, name), ignore_errors=True)


def pe_machine(path):
    with open(path, "rb") as image:
        header = image.read(4096)
    pe = int.from_bytes(header[0x3C:0x40], "little")
    if header[:2] != b"MZ" or header[pe:pe + 4] != b"PE\0\0":
        sys.exit("%s is not a PE image" % path)
    return int.from_bytes(header[pe + 4:pe + 6], "little")


def find_makensis(name):
    """(makensis path, None), or (None, why the peer cannot be built)."""
    makensis = shutil.which(name)
    if makensis is None:
        return None, "%s not found: install Debian's nsis (optional in scripts/setup.sh)" % name
    return makensis, None


def build_peer(makensis, target, sources, installer, settings):
    """Builds the peer's installer of the files in sources; None, or why it cannot be built."""
    def nsis_text(text):  # makensis reads $ as the start of a variable
        return text.replace("$", "$$")
    script = installer + ".nsi"
    with open(script, "w") as out:
        out.write(PEER_SCRIPT % {
            "target": target, "settings": settings, "installer": nsis_text(installer),
            "files": "\n".join('  File "%s"' % nsis_text(os.path.join(sources, name))
                               for name, _, _ in FILES)})
    done = subprocess.run([makensis, "-V2", "-NOCD", script], stdin=subprocess.DEVNULL,
                          capture_output=True, text=True)
    if done.returncode == 0:
        return None
    said = (done.stdout + done.stderr).strip().splitlines()
    # A Debian nsis without this target's stubs is a missing peer, not a failed benchmark.
    missing = [line for line in said if "stub" in line.lower() and target in line]
    if missing:
        return "makensis has no %s stub (%s)" % (target, missing[0])
    sys.exit("makensis failed on %s:\n%s" % (script, "\n".join(said)))


def machine():
    model = "unknown processor"
    try:
        with open("/proc/cpuinfo") as info:
            model = next(line.split(":", 1)[1].strip() for line in info
                         if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    return "%s, %d cores, %s" % (model, os.cpu_count() or 0, platform.release())


def spread(values, form):
    return "(%s to %s)" % (form % min(values), form % max(values))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tree", required=True, help="the Windows build tree")
    parser.add_argument("--packer", required=True, help="the Linux qjxpack")
    parser.add_argument("--run", default="wine", help="how to start a Windows program")
    parser.add_argument("--work", default=None, help="folder for sources and installers")
    # The stub's time at the small size includes copying it, about 10 ms for 16 MiB under Wine
    # here, a tenth of the start-up calls' time: 1 MiB leaves start-up alone in the ratio.
    parser.add_argument("--sizes", default="1,256", help="small,large total in MiB")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--verbose", action="store_true", help="print every run")
    parser.add_argument("--settle", type=float, default=0.5,
                        help="seconds of quiet before each run, after sync")
    parser.add_argument("--makensis", default="makensis", help="the peer's packer")
    parser.add_argument("--require-peer", action="store_true",
                        help="exit with 77 after all runs when the peer could not be built")
    args = parser.parse_args()
    small, large = (float(size) for size in args.sizes.split(","))
    if not os.access(args.packer, os.X_OK):
        print("no packer at %s: build the host tree" % args.packer)
        sys.exit(77)
    args.work = os.path.abspath(args.work or os.path.join(args.tree, "bench", "wine_work"))
    stub = os.path.join(args.tree, "startup", "qjxsea.exe")
    startup_calls = os.path.join(args.tree, "bench", "startup_calls.exe")
    plain_copy = os.path.join(args.tree, "bench", "plain_copy.exe")

    bench = Bench(args)
    arch = bench.wine_output("cmd", "/c", "echo", "%PROCESSOR_ARCHITECTURE%")
    print("machine: %s" % machine())
    prefix = os.path.dirname(os.path.realpath(bench.wine_output("winepath", "-u", "C:\\")))
    print("wine: %s, %s, prefix %s" % (bench.wine_output("--version"), arch, prefix))
    print("payload: %g and %g MiB in three files; %d rounds, programs in turns" %
          (small, large, args.rounds))
    makensis, no_peer = find_makensis(args.makensis)
    peer_target = PEER_TARGETS.get(pe_machine(stub))
    if makensis is not None and peer_target is None:
        no_peer = "no stub of the peer for machine 0x%04x" % pe_machine(stub)

    # (name, command, expected exit code, the files it reads, the files it must write): the
    # stub exits with 1.
    names = [name for name, _, _ in FILES]
    runs = [("startup", [windows_path(startup_calls)], 1, [startup_calls], None)]
    for label, mib in (("small", small), ("large", large)):
        sources = os.path.join(args.work, "sources_%g" % mib)
        installer = os.path.join(args.work, "setup_%g.exe" % mib)
        shutil.rmtree(sources, ignore_errors=True)
        make_sources(sources, int(mib * MIB))
        subprocess.run([args.packer, "create", "--quiet", "--stub", stub, "-o", installer,
                        sources + "/."], check=True, stdout=subprocess.DEVNULL)
        runs.append(("stub_" + label, [windows_path(installer)], 1, [installer], sources))
        if label == "large":
            # The same installer unbound: the stub then hashes nothing.
            unbound = os.path.join(args.work, "setup_unbound_%g.exe" % mib)
            with open(installer, "rb") as bound:
                data = bytearray(bound.read())
            at = data.find(BOUND_RECORD)
            if at >= 0:
                data[at + 8] = 0
                with open(unbound, "wb") as out:
                    out.write(data)
                runs.append(("stub_unbound_large", [windows_path(unbound)], 1, [unbound], sources))
        runs.append(("copy_" + label, [windows_path(plain_copy), windows_path(sources)] + names,
                     0, [plain_copy] + [os.path.join(sources, name) for name in names], sources))
        for configuration, settings in PEER_CONFIGURATIONS:
            if no_peer is not None:
                break
            peer = os.path.join(args.work, "%s_%g.exe" % (configuration, mib))
            no_peer = build_peer(makensis, peer_target, sources, peer, settings)
            # Exit code 0: the peer's success.
            runs.append(("%s_%s" % (configuration, label), [windows_path(peer)], 0, [peer],
                         sources))
    if no_peer is None:
        print("peer: makensis %s, %s stub, silent; fastest: SetCompress off, CRCCheck off; "
              "default: zlib, CRC32 check" %
              (subprocess.run([makensis, "-VERSION"], capture_output=True, text=True)
               .stdout.strip(), peer_target))
    else:
        print("peer: none, %s" % no_peer)
        runs = [run for run in runs if not run[0].startswith("peer_")]

    # How a file was written shapes its cached pages: the packer writes in 64 KiB pieces behind
    # a 4 KiB buffer, the sources here go out in 1 MiB pieces, and on the host a plain read loop
    # took 40% longer over the first. Dropped now, every input comes back alike, through the
    # read before each run.
    os.sync()
    for path in sorted({path for run in runs for path in run[3]}):
        descriptor = os.open(path, os.O_RDONLY)
        try:
            os.posix_fadvise(descriptor, 0, 0, os.POSIX_FADV_DONTNEED)
        finally:
            os.close(descriptor)

    # (seconds, CPU seconds, peak bytes) of every counted run, per program.
    measured = {name: [] for name, _, _, _, _ in runs}
    order = random.Random(1)
    # Round 0 warms the caches and is not counted; every round takes the programs in a new order,
    # so that none always follows the same one.
    for round_number in range(args.rounds + 1):
        for name, command, code, inputs, sources in order.sample(runs, len(runs)):
            result = bench.timed(command, code, inputs, sources, compare=round_number == 0)
            if args.verbose:
                print("  %-11s %.3f s, CPU %.3f s, peak %.2f MB" %
                      (name, result[0], result[1], result[2] / 1e6))
            if round_number > 0:
                measured[name].append(result)
        if round_number > 0:
            line = "round %d: stub %.3f / %.3f s, copy %.3f / %.3f s, start-up calls %.3f s" % (
                (round_number,) + tuple(measured[name][-1][0] for name in
                                        ("stub_small", "stub_large", "copy_small", "copy_large",
                                         "startup")))
            if "peer_small" in measured:
                line += ", peer %.3f / %.3f s" % (measured["peer_small"][-1][0],
                                                  measured["peer_large"][-1][0])
            print(line)
            sys.stdout.flush()
    report(measured, small, large)
    if no_peer is not None:
        print("  peer              none: %s" % no_peer)
        if args.require_peer:
            sys.exit(77)


def report(measured, small, large):
    def series(name, index=0):
        return [run[index] for run in measured[name]]

    def median(name, index=0):
        return statistics.median(series(name, index))

    def ratio(numerator, denominator):
        return numerator / denominator if denominator > 0 else float("inf")

    def verdict(met):
        return "met" if met else "MISSED"

    stub_extra = median("stub_large") - median("stub_small")
    copy_extra = median("copy_large") - median("copy_small")
    throughput = ratio(stub_extra, copy_extra)
    startup = ratio(median("stub_small"), median("startup"))
    throughput_rounds = [ratio(sl - ss, cl - cs) for ss, sl, cs, cl in
                         zip(*(series(name) for name in
                               ("stub_small", "stub_large", "copy_small", "copy_large")))]
    startup_rounds = [ratio(s, f) for s, f in zip(series("stub_small"), series("startup"))]
    peak_small, peak_large = median("stub_small", 2), median("stub_large", 2)

    print()
    print("medians over %d rounds (in brackets: lowest and highest round)" %
          len(measured["startup"]))
    print("  throughput ratio  %.3f %s, target <= %.2f: %s" %
          (throughput, spread(throughput_rounds, "%.2f"), TARGETS["throughput"],
           verdict(throughput <= TARGETS["throughput"])))
    print("      from %g to %g MiB: stub +%.3f s, copy +%.3f s" %
          (small, large, stub_extra, copy_extra))
    print("  start-up ratio    %.3f %s, target <= %.2f: %s" %
          (startup, spread(startup_rounds, "%.2f"), TARGETS["startup"],
           verdict(startup <= TARGETS["startup"])))
    print("      stub at %g MiB %.3f s %s, start-up calls %.3f s %s" %
          (small, median("stub_small"), spread(series("stub_small"), "%.3f"),
           median("startup"), spread(series("startup"), "%.3f")))
    print("  peak working set  %.2f MB at %g MiB, %.2f MB at %g MiB, target within %g MB: %s" %
          (peak_small / 1e6, small, peak_large / 1e6, large, TARGETS["peak_bytes"] / 1e6,
           verdict(abs(peak_large - peak_small) <= TARGETS["peak_bytes"])))
    print("      start-up calls %.2f MB, copy %.2f MB" %
          (median("startup", 2) / 1e6, median("copy_large", 2) / 1e6))
    print("  wall time         copy %.3f / %.3f s" % (median("copy_small"), median("copy_large")))
    # Contention on a shared machine only ever adds time: the fastest runs are a cross-check.
    fastest = {name: min(series(name)) for name in measured}
    print("  fastest runs      throughput ratio %.3f, start-up ratio %.3f" %
          (ratio(fastest["stub_large"] - fastest["stub_small"],
                 fastest["copy_large"] - fastest["copy_small"]),
           ratio(fastest["stub_small"], fastest["startup"])))
    print("  CPU time          stub %.3f / %.3f s, copy %.3f / %.3f s, start-up calls %.3f s" %
          tuple(median(name, 1) for name in
                ("stub_small", "stub_large", "copy_small", "copy_large", "startup")))
    if "stub_unbound_large" in measured:
        share = ratio(median("stub_large") - median("stub_unbound_large"), median("stub_large"))
        print("  hashing's share   %.1f%% of the stub at %g MiB (bound %.3f s, unbound %.3f s)" %
              (100 * share, large, median("stub_large"), median("stub_unbound_large")))
    if "peer_small" not in measured:
        return
    peer_extra = median("peer_large") - median("peer_small")
    peer = ratio(median("stub_small"), median("peer_small"))
    peer_throughput = ratio(stub_extra, peer_extra)
    peer_rounds = [ratio(s, p) for s, p in zip(series("stub_small"), series("peer_small"))]
    peer_throughput_rounds = [ratio(sl - ss, pl - ps) for ss, sl, ps, pl in
                              zip(*(series(name) for name in
                                    ("stub_small", "stub_large", "peer_small", "peer_large")))]
    print("  peer ratio        %.3f %s, target <= %.2f: %s" %
          (peer, spread(peer_rounds, "%.2f"), TARGETS["peer"], verdict(peer <= TARGETS["peer"])))
    print("      at %g MiB: stub %.3f s, peer %.3f s %s" %
          (small, median("stub_small"), median("peer_small"),
           spread(series("peer_small"), "%.3f")))
    print("  peer throughput   %.3f %s, target <= %.2f: %s" %
          (peer_throughput, spread(peer_throughput_rounds, "%.2f"), TARGETS["peer_throughput"],
           verdict(peer_throughput <= TARGETS["peer_throughput"])))
    print("      from %g to %g MiB: stub +%.3f s, peer +%.3f s; peer at %g MiB %.3f s %s" %
          (small, large, stub_extra, peer_extra, large, median("peer_large"),
           spread(series("peer_large"), "%.3f")))
    print("  peer, fastest     ratio %.3f, throughput ratio %.3f" %
          (ratio(fastest["stub_small"], fastest["peer_small"]),
           ratio(fastest["stub_large"] - fastest["stub_small"],
                 fastest["peer_large"] - fastest["peer_small"])))
    print("  peer CPU time     %.3f / %.3f s, peak working set %.2f / %.2f MB" %
          (median("peer_small", 1), median("peer_large", 1), median("peer_small", 2) / 1e6,
           median("peer_large", 2) / 1e6))
    if "peer_default_small" not in measured:
        return
    default = ratio(median("stub_small"), median("peer_default_small"))
    default_large = ratio(median("stub_large"), median("peer_default_large"))
    print("  peer default      ratio %.3f at %g MiB, target <= %.2f: %s; %.3f at %g MiB: %s" %
          (default, small, TARGETS["peer_default"], verdict(default <= TARGETS["peer_default"]),
           default_large, large, verdict(default_large <= TARGETS["peer_default"])))
    print("      peer (zlib, CRC32) %.3f / %.3f s" %
          (median("peer_default_small"), median("peer_default_large")))


if __name__ == "__main__":
    main()
