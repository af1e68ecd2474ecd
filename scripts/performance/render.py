#!/usr/bin/env python3
"""Writes docs/performance.md from the figures scripts/performance/measure.sh
took: fills template.md, which holds the document's prose, with the tables
and figures computed here, and section 6 from signature-template.md. Every
ratio compares figures of the same run.

Usage: scripts/performance/render.py RESULTS SCALE OUTPUT
       scripts/performance/render.py --signature RESULTS OUTPUT
  RESULTS  the folder measure.sh, signature-performance.sh --results and
           size-report.sh wrote into
  SCALE    what the package sizes were divided by (1, or 16 for --quick)
  OUTPUT   the document to write; with --signature, the document whose
           section 6 is written from signature-performance.sh's figures
           alone, the rest kept (a document without one gets it at its end)
"""
import json
import os
import statistics
import string
import sys

MEBIBYTE = 1 << 20
# The copy block the pass reads and hashes at a time.
COPY_CHUNK_SIZE = 512000
# The largest is 1 MiB short of 4 GiB: a signed PE file ends below 4 GiB, as
# its certificate table's offset is 32 bits.
PACKAGE_MIB = (256, 1024, 4095)
TESSIT = "Tessit launcher"
LOG_LINES = 38
TEMPLATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "template.md")
SIGNATURE_TEMPLATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "signature-template.md")
SIGNATURE_HEADING = "## 6. "
DIGESTS = (("sha1", "SHA-1"), ("sha256", "SHA-256"), ("sha384", "SHA-384"), ("sha512", "SHA-512"))


def read_json(path):
    with open(path) as file:
        return json.load(file)


def read_text(path):
    with open(path) as file:
        return file.read().rstrip("\n")


def read_numbers(path):
    with open(path) as file:
        return [float(word) for line in file for word in line.split()]


class Hyperfine:
    """The medians of one hyperfine export, by command name, in its order."""

    def __init__(self, path):
        results = read_json(path)["results"]
        self.names = [result["command"] for result in results]
        self.runs = len(results[0]["times"])
        self._median = {result["command"]: result["median"] for result in results}

    def median(self, name):
        return self._median[name]


def bench_median(path, name):
    """Google Benchmark's median of NAME's repetitions, in its own unit."""
    wanted = name + "_median"
    return next(b["real_time"] for b in read_json(path)["benchmarks"] if b["name"] == wanted)


def byte_label(size):
    if size < MEBIBYTE:
        return f"{size / 1024:.0f} KiB"
    return f"about {size / MEBIBYTE:.0f} MiB"


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |",
             "|" + "|".join(["---"] + ["---:"] * (len(header) - 1)) + "|"]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def bench_times(path, name):
    """Google Benchmark's medians of NAME's repetitions: real and processor
    time, in seconds."""
    wanted = name + "_median"
    run = next(b for b in read_json(path)["benchmarks"] if b["name"] == wanted)
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
    return run["real_time"] * scale, run["cpu_time"] * scale


def pair_ratios(path):
    """The second figure of each pair against the first, sorted."""
    pairs = read_numbers(path)
    return sorted(second / first for first, second in zip(pairs[0::2], pairs[1::2]))


class SignedRun:
    """One system's figures for one set: hyperfine's export and the pairs."""

    def __init__(self, results, name):
        self.run = Hyperfine(os.path.join(results, f"{name}.json"))
        self.processor = {result["command"]: result["user"] + result["system"]
                          for result in read_json(os.path.join(results, f"{name}.json"))["results"]}
        self.ratios = pair_ratios(os.path.join(results, f"{name}-pairs.txt"))

    def milliseconds(self, name):
        return f"{self.run.median(name) * 1000:.0f} ms"

    def ratio(self):
        return statistics.median(self.ratios)

    def ratio_text(self):
        return (f"**{self.ratio():.2f}** ({self.ratios[0]:.2f} to {self.ratios[-1]:.2f}); "
                f"medians {self.run.median('extract, signed') / self.run.median('extract, unsigned'):.2f}")

    def processor_text(self, name):
        return f"{self.processor[name] * 1000:.0f} ms"


def signature_section(results):
    """Section 6 from signature-performance.sh's figures: each system's
    signed and unsigned runs of both sets, the check alone, and the
    in-process figures of the digest and the pass."""
    info = read_json(os.path.join(results, "signature.json"))
    package_mib = info["package_mib"]
    large = [SignedRun(results, f"signature-{system}") for system in ("linux", "windows")]
    small = [SignedRun(results, f"signature-{system}-small") for system in ("linux", "windows")]

    def check(system, name):
        seconds = system.run.median(name) - system.run.median("open")
        return f"{seconds * 1000:.0f} ms ({package_mib / seconds:.0f} MiB/s)"

    def rate(system, name):
        seconds = system.run.median(name)
        return f"{seconds * 1000:.0f} ms ({package_mib / seconds:.0f} MiB/s)"

    rows = [["open the package (`list`, unsigned)"] + [system.milliseconds("open") for system in large]]
    rows += [[f"the check alone, {label} (`verify`, less the opening)"] +
             [check(system, f"check, {name}") for system in large] for name, label in DIGESTS]
    def unsigned_and_check(system):
        seconds = system.run.median("extract, unsigned") + system.run.median("check, sha256") - system.run.median("open")
        return f"{seconds * 1000:.0f} ms"

    rows += [["**extract, unsigned**"] + [rate(system, "extract, unsigned") for system in large],
             ["**extract, signed** (SHA-256)"] + [rate(system, "extract, signed") for system in large],
             ["extract, unsigned, plus the check alone (SHA-256)"] + [unsigned_and_check(system) for system in large],
             ["**signed against unsigned**: pairs (range); medians"] + [system.ratio_text() for system in large],
             ["processor time, unsigned (user + system)"] +
             [system.processor_text("extract, unsigned") for system in large],
             ["processor time, signed"] + [system.processor_text("extract, signed") for system in large]]
    small_rows = [["**extract, unsigned**"] + [system.milliseconds("extract, unsigned") for system in small],
                  ["**extract, signed** (SHA-256)"] + [system.milliseconds("extract, signed") for system in small],
                  ["**signed against unsigned**: pairs (range); medians"] + [system.ratio_text() for system in small]]
    windows_label = info["windows_label"]
    header = ["", "Linux (OpenSSL)", f"Windows {windows_label} under Wine"]

    bench = os.path.join(results, "signature-bench.json")
    digest_rows = []
    for _, label in DIGESTS:
        real, processor = bench_times(bench, f"digest/{label}")
        digest_rows.append([label, f"{COPY_CHUNK_SIZE / MEBIBYTE / processor:.0f} MiB/s",
                            f"{COPY_CHUNK_SIZE / MEBIBYTE / real:.0f} MiB/s"])
    passes = {kind: bench_times(bench, f"pass/{kind}/real_time") for kind in ("unsigned", "signed")}
    pass_rows = [[kind, f"{real * 1000:.0f} ms ({package_mib / real:.0f} MiB/s)",
                  f"{processor * 1000:.0f} ms ({package_mib / processor:.0f} MiB/s)"]
                 for kind, (real, processor) in passes.items()]
    pass_rows.append(["signed against unsigned", f"{passes['signed'][0] / passes['unsigned'][0]:.2f}",
                      f"{passes['signed'][1] / passes['unsigned'][1]:.2f}"])

    def overlap(system):
        """How much of the check alone the signed run hid behind the extraction."""
        check = system.run.median("check, sha256") - system.run.median("open")
        added = system.run.median("extract, signed") - system.run.median("extract, unsigned")
        if added >= check:
            return (f"added {added * 1000:.0f} ms to the unsigned run, no less than the check alone "
                    f"({check * 1000:.0f} ms): it hid none of the hash")
        return (f"added {added * 1000:.0f} ms to the unsigned run, where the check alone takes "
                f"{check * 1000:.0f} ms: it hid {1 - added / check:.0%} of the hash behind the extraction")

    native = large[0]
    with open(SIGNATURE_TEMPLATE) as file:
        template = string.Template(file.read())
    return template.substitute(
        started=info["started"], load_before=info["load_before"], load_after=info["load_after"],
        package_mib=package_mib, windows_label=windows_label, windows_preset=info["windows_preset"],
        wine_version=info["wine_version"], runs=large[0].run.runs, small_runs=small[0].run.runs,
        pairs=len(native.ratios),
        native_ratio=f"{native.ratio():.2f}", windows_ratio=f"{large[1].ratio():.2f}",
        goal="within" if native.ratio() <= 1.1 else "above",
        native_overlap=overlap(native), windows_overlap=overlap(large[1]),
        signature_table=table(header, rows), small_table=table(header, small_rows),
        digest_table=table(["Digest", "per processor second", "per second of the run"], digest_rows),
        pass_table=table(["Pass into a memory file system", "Median", "Processor time"], pass_rows)).rstrip("\n")


def replace_signature_section(results, output):
    """OUTPUT with its section 6, up to the next section's heading, written anew."""
    lines = []
    if os.path.exists(output):
        with open(output) as file:
            lines = file.read().splitlines()
    start = next((index for index, line in enumerate(lines) if line.startswith(SIGNATURE_HEADING)), None)
    section = signature_section(results).splitlines()
    if start is None:
        lines = (lines or ["# Performance"]) + [""] + section
    else:
        end = next((index for index in range(start + 1, len(lines)) if lines[index].startswith("## ")), len(lines))
        lines = lines[:start] + section + ([""] if end < len(lines) else []) + lines[end:]
    write(output, "\n".join(lines) + "\n")


def write(output, text):
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "w") as file:
        file.write(text)


class Document:
    def __init__(self, results, scale):
        self.results = results
        self.scale = scale

    def path(self, name):
        return os.path.join(self.results, name)

    def size_label(self, mib):
        if self.scale == 1 and mib % 1024 == 0:
            return f"{mib // 1024} GiB"
        return f"{mib // self.scale} MiB"

    def package_mib(self, mib):
        return mib / self.scale

    def extraction(self, label, rate):
        """The extraction table of one set and Tessit's ratio to the limit;
        RATE gives a row's rate from its seconds and the set's file sizes."""
        timings = Hyperfine(self.path(f"extract-{label}.json"))
        files = read_numbers(self.path(f"extract-{label}-files.txt"))
        tessit = timings.median(TESSIT)
        rows = []
        for name in timings.names:
            seconds = timings.median(name)
            rows.append([name, f"{seconds * 1000:.1f} ms", rate(seconds, files), f"{seconds / tessit:.2f}"])
        pairs = read_numbers(self.path(f"extract-{label}-pairs.txt"))
        ratios = sorted(tessit_ns / limit_ns for limit_ns, tessit_ns in zip(pairs[0::2], pairs[1::2]))
        ratio = statistics.median(ratios)
        text = table(["Tool", "Median", "Rate", "Tessit's speed against it"], rows)
        text += (f"\n\nTessit took {ratio:.2f} times the limit's time (median of {len(ratios)}"
                 f" alternating pairs, from {ratios[0]:.2f} to {ratios[-1]:.2f}).")
        return text, timings.runs, len(ratios)

    def memory_table(self):
        def rss(path):
            return f"{statistics.median(read_numbers(path)) / 1024:.1f} MiB"
        kinds = ("pack", "run", "extract-unsigned", "extract-signed")
        rows = [[self.size_label(mib)] + [rss(self.path(f"size-{mib}-{kind}.rss")) for kind in kinds]
                for mib in PACKAGE_MIB]
        return table(["Package", "tessit-pack build", TESSIT, "tessit-pack extract, unsigned",
                      "tessit-pack extract, signed"], rows)

    def packing_table(self):
        rows = []
        for mib in PACKAGE_MIB:
            timings = Hyperfine(self.path(f"size-{mib}.json"))
            pack = timings.median("tessit-pack build")
            cp_plain = timings.median("cp -r")
            cp_sync = timings.median("cp -r, then sync")
            rows.append([self.size_label(mib), f"{pack:.2f} s ({self.package_mib(mib) / pack:.0f} MiB/s)",
                         f"{cp_plain:.2f} s", f"{cp_sync:.2f} s", f"{cp_sync / pack:.2f}", f"{cp_plain / pack:.2f}"])
        header = ["Package", "tessit-pack build", "cp -r", "cp -r, then sync",
                  "Packing's speed against cp -r, then sync", "against cp -r"]
        return table(header, rows), timings.runs

    def startup_table(self):
        path = self.path("bench-launcher.json")
        launched = bench_median(path, "BM_LauncherUntilMainToolStarts/manual_time")
        direct = bench_median(path, "BM_MainToolDirectly/manual_time")
        rows = [["through the Tessit launcher", f"{launched:.2f} ms"],
                ["the main tool started directly", f"{direct:.2f} ms"],
                ["the launcher's overhead", f"{launched - direct:.2f} ms"]]
        return table(["Start to the main tool's start", "Median"], rows)

    def format_table(self):
        path = self.path("bench-format.json")
        reference = bench_median(path, "appendFormat")
        rows = []
        for engine in ("appendFormat", "swprintf", "fmt::format_to"):
            nanoseconds = bench_median(path, engine)
            rows.append([f"`{engine}`", f"{nanoseconds:.0f} ns", f"{nanoseconds / LOG_LINES:.0f} ns",
                         f"{nanoseconds / reference:.2f}"])
        return table(["Engine", f"One run's log ({LOG_LINES} lines)", "Per line",
                      "appendFormat's speed against it"], rows)

    def figures(self):
        machine = read_json(self.path("machine.json"))
        mixed, extraction_runs, pairs = self.extraction(
            "mixed", lambda seconds, files: f"{sum(files) / MEBIBYTE / seconds:.0f} MiB/s")
        small, _, _ = self.extraction("small", lambda seconds, files: f"{len(files) / seconds:.0f} files/s")
        mixed_files = read_numbers(self.path("extract-mixed-files.txt"))
        packing, runs = self.packing_table()
        return {
            "started": machine["started"],
            "processor": machine["processor"],
            "cores": machine["cores"],
            "memory_gib": machine["memory_kib"] // (1024 * 1024),
            "system": machine["system"],
            "kernel": machine["kernel"],
            "filesystem": machine["filesystem"],
            "mount_options": machine["mount_options"],
            "load_before": machine["load_before"],
            "tools": "; ".join(machine["tools"]),
            "extraction_runs": extraction_runs,
            "runs": runs,
            "pairs": pairs,
            "mixed_size": self.size_label(1024),
            "mixed_smallest": byte_label(min(mixed_files)),
            "mixed_largest": byte_label(max(mixed_files)),
            "extraction_mixed": mixed,
            "extraction_small": small,
            "memory_table": self.memory_table(),
            "startup_table": self.startup_table(),
            "packing_table": packing,
            "format_table": self.format_table(),
            "signature_section": signature_section(self.results),
            "size_report": read_text(self.path("size.md")),
        }


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    if sys.argv[1] == "--signature":
        replace_signature_section(sys.argv[2], sys.argv[3])
        return
    results, scale, output = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with open(TEMPLATE) as file:
        template = string.Template(file.read())
    write(output, template.substitute(Document(results, scale).figures()))


if __name__ == "__main__":
    main()
