"""./dev demo: the screen saver at work on three simulated monitors under Wine.

Installs the product into a fresh Wine prefix as a user's machine would hold it (Corvane.scr,
Paxendo.dll and Tovrin.dll in one folder, `regsvr32 Paxendo.dll`), with the presentation-host
stand-in as PowerPoint and three sample presentations; writes the settings as the settings dialog
saves them (one presentation per monitor); runs `Corvane.scr /s`; takes screenshots while the shows
run; ends the run with an injected key press; and leaves the screenshots, the host's journal, the
run's block of the screen saver's own run journal (run-journal.txt) and a short report (what ran
where, how it ended, the timings of this run) in demo-output/<time>/.

Usage: demo.py [--out FOLDER] [--update-docs]
  --update-docs   also copies the first screenshot to docs/demo-3-monitors.png (the README's)
"""

from __future__ import annotations

import argparse
import datetime
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import e2e_kit as k  # noqa: E402
import standin  # noqa: E402
import winekit  # noqa: E402

DOCS_IMAGE = winekit.ROOT / "docs" / "demo-3-monitors.png"

# file, monitor, slides, advance (ms), fill colour
PRESENTATIONS = [
    ("Harbour.pptx", 1, 6, 1500, 0x008B8B),
    ("Meadow.pptx", 2, 5, 2000, 0x2E8B57),
    ("Sunset.pptx", 3, 4, 2500, 0xD2691E),
]
VK_SPACE = 0x20


def machine() -> str:
    model = "unknown CPU"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    wine = subprocess.run([winekit.WINE, "--version"], capture_output=True, text=True).stdout
    return f"{os.cpu_count()} cores, {model}, {wine.strip()}"


def ms(seconds: float) -> str:
    return f"{seconds * 1000:.0f} ms"


def where(rect: winekit.Rect) -> str:
    return f"{rect.left},{rect.top} {rect.width}x{rect.height}"


def side(w: winekit.WineSession, number: int) -> str:
    if number == 1:
        return "primary"
    r, p = w.monitor_numbered(number), w.monitor_numbered(1)
    return "left of the primary" if r.left < p.left else "right of the primary"


def run_demo(out: Path) -> list[str]:
    report: list[str] = []
    say = report.append
    stamp = datetime.datetime.now().strftime("%Y-%m-%d %H:%M:%S")
    say(f"Kestova Screen Saver demo, {stamp}")
    say(f"Machine: {machine()}; three simulated monitors under Xvfb, 96 dpi")
    say("")

    prepare_start = time.monotonic()
    with winekit.WineSession("demo", monitors=3, dpi=96) as w:
        k.install(w)
        paths = {}
        for name, monitor, slides, advance, colour in PRESENTATIONS:
            paths[name] = standin.write_presentation(w, name, slides=slides, loop=True,
                                                     advance_ms=advance, color=colour)[1]
        k.write_settings(w, [(paths[name], monitor) for name, monitor, *_ in PRESENTATIONS],
                         keyboard=False, mouse=True)
        k.reset_input(w)
        k.park_pointer(w, 100, 900)
        journal = standin.Journal(w)
        prepared = time.monotonic() - prepare_start

        say("Monitors (the product's numbering; Windows virtual-screen pixels):")
        for number in range(1, 4):
            say(f"  {number}  {where(w.monitor_numbered(number)):<20} {side(w, number)}")
        say("")
        say(f'Installed in "{k.INSTALL_DIR}", add-in registered with regsvr32; settings: one '
            f"presentation per monitor, keyboard interaction off, mouse interaction on.")
        say("")

        with k.JournalTail(journal) as tail:
            launched = time.monotonic()
            proc = k.start(w)
            host_up = tail.wait(lambda e: e.kind == "host" and e.fields[0] == "start")
            addin_ready = tail.wait(lambda e: e.kind == "addin" and
                                    e.fields[0] == k.ADDIN_PROGID and
                                    e.fields[1] == "OnStartupComplete")
            first_call = tail.wait(lambda e: e.kind == "call" and
                                   e.member == "Application.COMAddIns")
            begun = {}
            for name, *_ in PRESENTATIONS:
                begun[name] = tail.wait(lambda e, n=name: e.kind == "show" and
                                        e.fields[0] == n and e.fields[1] == "begin")
            placed = tail.wait(k.is_place, count=4 * len(PRESENTATIONS))
            if placed is None or any(t is None for t in begun.values()):
                raise SystemExit("the shows did not begin; journal:\n" + journal.text())

            time.sleep(1.0)
            first_shot_at = time.monotonic() - placed
            shot = k.screenshot(w, out / "shows-1.png")
            windows = k.show_windows(w)
            forms = k.corvane_windows(w, visible_only=True)
            time.sleep(max(0.0, 3.5 - (time.monotonic() - placed)))
            second_shot_at = time.monotonic() - placed
            k.screenshot(w, out / "shows-2.png")

            say("What ran where:")
            exact_all = True
            for name, monitor, slides, advance, colour in PRESENTATIONS:
                mine = [x for x in windows if x.title.endswith(" - " + name)]
                rect = mine[0].rect if mine else None
                pixels = k.colour_box(shot, ((colour >> 16) & 255, (colour >> 8) & 255,
                                             colour & 255))
                want = w.monitor_numbered(monitor)
                exact = rect == want and pixels == k.to_x_rect(w, want)
                exact_all &= exact
                verdict = ("exactly over it (window rectangle and screen pixels)" if exact else
                           f"NOT exactly over it: window {rect}, pixels {pixels}")
                say(f"  monitor {monitor}: {name} ({slides} slides, {advance} ms each, looping), "
                    f"show window {where(rect) if rect else 'missing'}, {verdict}")
            say(f"  windows of Corvane on screen while the shows ran: {len(forms)} "
                "(every monitor had a show)")
            say("")

            say("Start, measured from launching Corvane.scr /s (host started through COM):")
            say(f"  host process up ................. {ms(host_up - launched)}")
            say(f"  Paxendo add-in connected ........ {ms(addin_ready - launched)}")
            say(f"  Corvane's first call reached it . {ms(first_call - launched)} "
                "(Wine lets a COM client wait about a second for a server it launched)")
            for name, *_ in PRESENTATIONS:
                say(f"  show {name:<14} begun ...... {ms(begun[name] - launched)}")
            say(f"  all three shows placed .......... {ms(placed - launched)}")
            say("")

            mark = tail.mark()
            ending = k.wait_gone(proc)
            pressed = k.inject_ticked(w, "key", VK_SPACE)
            pressed_after = time.monotonic() - launched
            ending["thread"].join(65)
            if "at" not in ending:
                raise SystemExit("the key press did not end the run")
            gone = ending["at"]
            reasons, exits = {}, {}
            lines = [e for _, e in tail.since(mark)]
            for i, e in enumerate(lines):
                if e.kind == "show" and e.fields[1] == "end":
                    reasons[e.fields[0]] = e.fields[2]
                    # The show's end is journalled inside the Exit call that ends it.
                    done = [c for c in lines[i:] if c.kind == "call" and
                            c.member == "SlideShowView.Exit"]
                    if done:
                        exits[e.fields[0]] = k.tick_to_raw(done[0].tick, k.raw_ms())

        say("How it ended: a key press (Space, injected with SendInput "
            f"{pressed_after:.1f} s after the launch); times from the injection:")
        for name, *_ in PRESENTATIONS:
            if name in exits:
                say(f"  {name:<14} show exited ...... {exits[name] - pressed:.0f} ms "
                    f"({'by the add-in' if reasons[name] == 'exit' else reasons[name]})")
            else:
                say(f"  {name:<14} show NOT ended ({reasons.get(name, 'no end journalled')})")
        say(f"  Corvane.scr gone ................ {gone - pressed:.0f} ms")
        left = k.corvane_windows(w)
        still_open = k.open_presentations(w) or []
        quit_asked = any(e.fields[0] in ("quit", "exit") for e in journal.events("host"))
        say(f"  windows of Corvane left: {len(left)}; presentations still open in the host: "
            f"{len(still_open)}; host asked to quit: {'yes' if quit_asked else 'no'}")
        say("")
        # The block Corvane appended to the user's run journal before it exited.
        blocks = k.journal_blocks(w)
        if blocks:
            (out / "run-journal.txt").write_bytes(blocks[-1].text.encode("utf-8"))
        say(f"Screenshots: shows-1.png ({first_shot_at:.1f} s after the shows were placed), "
            f"shows-2.png ({second_shot_at:.1f} s after); journal.txt: the host's journal; "
            "run-journal.txt: " + ("this run's block of Corvane's run journal (%LOCALAPPDATA%\\"
                                   "Kestova\\Kestova Screen Saver\\runs.log)." if blocks else
                                   "MISSING: Corvane wrote no run journal block."))
        say(f"Preparing the prefix took {prepared:.1f} s; the whole demo "
            f"{time.monotonic() - prepare_start:.1f} s.")
        (out / "journal.txt").write_text(journal.text(), encoding="utf-8")
        if not exact_all or left or len(exits) != len(PRESENTATIONS) or not blocks:
            say("")
            say("SOMETHING WENT WRONG: see the lines above.")
    return report


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=None)
    parser.add_argument("--update-docs", action="store_true")
    args = parser.parse_args()
    out = args.out or (winekit.ROOT / "demo-output" /
                       datetime.datetime.now().strftime("%Y%m%d-%H%M%S"))
    out.mkdir(parents=True, exist_ok=True)
    k.build_client()
    report = run_demo(out)
    text = "\n".join(report) + "\n"
    (out / "report.txt").write_text(text, encoding="utf-8")
    print(text)
    print(f"demo output: {out}")
    if args.update_docs:
        DOCS_IMAGE.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(out / "shows-1.png", DOCS_IMAGE)
        print(f"copied shows-1.png to {DOCS_IMAGE}")
    return 1 if "SOMETHING WENT WRONG" in text else 0


if __name__ == "__main__":
    sys.exit(main())
