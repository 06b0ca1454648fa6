"""The setup program under Wine: a silent per-user install puts exactly the intended files and
records in place (64-bit classes by the add-in's own registration, the 32-bit view's copy of them
by the setup), the installed add-in loads into the stand-in host and the installed Corvane.scr
opens its settings; the uninstaller removes all of it, keeps the user's settings unless told, and
leaves another screen saver alone. A machine-wide install does the same under HKLM and Program
Files.

Wine ignores per-user class registrations, so loading the add-in from a per-user install goes
through a machine-wide regsvr32 of the installed library, made by the test.
"""

import hashlib
import shutil
import unittest

import build_msi
import e2e_kit
import installer_kit as kit
import runmode_kit as rk
import standin
import winekit
from installer_kit import HKCU, HKLM, RegistryTree

CLASSES = r"Software\Classes"
CLASSES32 = r"Software\Classes\Wow6432Node"
LIBID = "{B4918A5C-260E-417E-AC1C-4888A85E7DB4}"
SETTINGS_TITLE = "Kestova Screen Saver Settings"
SETUP_TITLE = "Kestova Screen Saver Setup"
UNINSTALL_TITLE = "Kestova Screen Saver Uninstall"
FILES = ["Corvane.scr", "Paxendo.dll", "PolicyDefinitions",
         "PolicyDefinitions/KestovaScreenSaver.admx", "PolicyDefinitions/en-US",
         "PolicyDefinitions/en-US/KestovaScreenSaver.adml", "Tovrin.dll", "Uninstall.exe", "x86",
         "x86/Paxendo.dll", "x86/Tovrin.dll"]
BUILT = {"Corvane.scr": winekit.WINDOWS_BIN / "Corvane.scr",
         "Paxendo.dll": winekit.WINDOWS_BIN / "Paxendo.dll",
         "PolicyDefinitions/KestovaScreenSaver.admx":
             winekit.WINDOWS_BIN / "PolicyDefinitions" / "KestovaScreenSaver.admx",
         "PolicyDefinitions/en-US/KestovaScreenSaver.adml":
             winekit.WINDOWS_BIN / "PolicyDefinitions" / "en-US" / "KestovaScreenSaver.adml",
         "Tovrin.dll": winekit.WINDOWS_BIN / "Tovrin.dll",
         "x86/Paxendo.dll": winekit.BUILD / "windows32" / "bin" / "Paxendo.dll",
         "x86/Tovrin.dll": winekit.BUILD / "windows32" / "bin" / "Tovrin.dll"}
IIDS = ["{029BDF1C-290D-4D95-8921-4254BEE4661B}", "{41CE25F3-88B7-4076-9B99-8D6DDEAD4621}"]
CLSIDS = ["{0241142B-432C-4C3E-AE2A-22CCF0A6291E}", "{B6D95708-60AC-460E-9CF6-56007B2AD150}"]
# Whatever of ours could be left behind, by name or identifier.
TRACES = ["Paxendo", "Kestova", "Corvane", "Tovrin", LIBID, *IIDS]
# The keys the setup and the package write, and those that hold them: read whole (the
# machine's class containers are read only for our own keys in them).
OUR_CLASSES = [rf"{HKLM}\{c}\{k}" for c in (CLASSES, CLASSES32) for k in
               [kit.ADDIN_PROGID, kit.HOST_PROGID, rf"TypeLib\{LIBID}",
                *(rf"CLSID\{x}" for x in CLSIDS), *(rf"Interface\{x}" for x in IIDS)]]
WATCHED = [rf"{HKCU}\Software\Classes", rf"{HKCU}\Software\Microsoft\Office",
           rf"{HKCU}\Software\Kestova", rf"{HKCU}\Software\Wow6432Node",
           rf"{HKCU}\Software\Microsoft\Windows\CurrentVersion\Uninstall",
           rf"{HKCU}\Software\Microsoft\Active Setup", *OUR_CLASSES,
           rf"{HKLM}\Software\Microsoft\Office", rf"{HKLM}\Software\Wow6432Node\Microsoft\Office",
           rf"{HKLM}\Software\Microsoft\Windows\CurrentVersion\Uninstall",
           rf"{HKLM}\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall",
           rf"{HKLM}\Software\Microsoft\Active Setup\Installed Components",
           rf"{HKLM}\Software\Kestova", rf"{HKLM}\{build_msi.EVENT_SOURCE}",
           rf"{HKLM}\Software\Microsoft\Windows\CurrentVersion\Installer",
           rf"{HKLM}\Software\Classes\Installer"]
DESKTOP = rf"{HKCU}\{kit.DESKTOP_KEY}"
# Office's own keys, for each bitness of the machine and for the user.
OFFICE_KEYS = [(HKLM, r"Software\Microsoft\Office"),
               (HKLM, r"Software\Wow6432Node\Microsoft\Office"),
               (HKCU, r"Software\Microsoft\Office")]
SETTINGS = rf"{HKCU}\{kit.SETTINGS_KEY}"
ACTIVE_SETUP = (r"Software\Microsoft\Active Setup\Installed Components"
                r"\{BA98CCB5-50DD-4324-91CB-9C9143265E26}")
# The package's logon command that keeps each user's screen saver path right; it outlives the
# package.
FOLLOW_SETUP = rf"{HKLM}\{build_msi.FOLLOW_SETUP}"
PACKAGE_KEY = rf"{HKLM}\Software\Kestova\Kestova Screen Saver"
# Windows Installer's own records of what it installed (it keeps its containers).
INSTALLER_BOOKKEEPING = (rf"{HKLM}\Software\Microsoft\Windows\CurrentVersion\Installer",
                         rf"{HKLM}\Software\Classes\Installer")


def digest(path) -> str:
    return hashlib.sha256(path.read_bytes()).hexdigest()


def registry(w: winekit.WineSession) -> RegistryTree:
    return RegistryTree.read(w, *WATCHED)


def snapshot(w: winekit.WineSession) -> dict[str, RegistryTree]:
    trees = {"registry": registry(w), DESKTOP: RegistryTree.read(w, DESKTOP, subkeys=False)}
    if not trees[DESKTOP].keys():  # a failed read would make every comparison pass
        raise AssertionError(f"could not read {DESKTOP}")
    return trees


def write_settings(w: winekit.WineSession):
    w.import_reg(f"[{SETTINGS}]\r\n\"Count\"=dword:00000001\r\n\r\n"
                 f"[{SETTINGS}\\0]\r\n\"MonitorNum\"=dword:00000001\r\n"
                 "\"PresName\"=\"C:\\\\shows\\\\deck.pptx\"\r\n\r\n")


def set_screen_saver(w: winekit.WineSession, path: str):
    w.import_reg(kit.reg_import_value(DESKTOP, "SCRNSAVE.EXE", path))


def screen_saver(w: winekit.WineSession):
    return RegistryTree.read(w, DESKTOP, subkeys=False).value(DESKTOP, "SCRNSAVE.EXE")


def journal_folder(w: winekit.WineSession):
    return kit.unix_path(w, kit.windows_env(w, "LOCALAPPDATA") + r"\Kestova\Kestova Screen Saver")


def write_journal(w: winekit.WineSession):
    folder = journal_folder(w)
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "runs.log").write_text("== Run\r\n")


def logon(w: winekit.WineSession, stub: str):
    """Runs an Active Setup command as a user's logon does (through a batch file: Wine's
    argument quoting would spoil the command line; there a for-loop's variable is written with
    %% and & must be escaped to reach the command's own cmd)."""
    kit.unix_path(w, r"C:\logon.bat").write_text(
        "@" + stub.replace("%", "%%").replace(" & ", " ^& ") + "\r\n")
    w.run(["cmd", "/c", r"C:\logon.bat"], check=True)


class SetupAssertions(unittest.TestCase):

    def msiexec(self, w: winekit.WineSession, *args: str) -> int:
        """msiexec's exit code (its low byte, as Linux sees it)."""
        return w.run(["msiexec", *args, "/qn"], timeout=180).returncode

    def product_entries(self, w: winekit.WineSession) -> dict[str, dict]:
        root = rf"{HKLM}\Software\Microsoft\Windows\CurrentVersion\Uninstall"
        tree = RegistryTree.read(w, root)
        return {k: v for k, v in tree.under(root).items()
                if k.startswith("{") and "\\" not in k and v.get("DisplayName") == kit.PRODUCT}

    def assert_package_refused(self, w: winekit.WineSession):
        """The package refuses beside the setup program's installation (ERROR_INSTALL_FAILURE)."""
        package = winekit.winpath(winekit.WINDOWS_BIN / "KestovaSetup.msi")
        self.assertEqual(self.msiexec(w, "/i", package), 1603 & 0xFF)
        self.assertEqual(self.product_entries(w), {})

    def assert_addin_loads_in_a_started_host(self, w: winekit.WineSession) -> standin.Journal:
        """The stand-in host, started and asked to quit, connected the add-in on its own."""
        standin.start_standin(w)
        journal = standin.Journal(w)
        self.assertTrue(journal.wait_for(
            lambda j: (kit.ADDIN_PROGID, "OnStartupComplete", "0x00000000")
            in j.addin_events(), 20), journal.text())
        self.assertEqual(standin.quit_standin(w), 0)
        return journal

    def assert_files_are_the_build(self, w: winekit.WineSession, install_dir: str):
        folder = kit.unix_path(w, install_dir)
        self.assertEqual(kit.files_under(folder), FILES)
        for name, built in BUILT.items():
            with self.subTest(file=name):
                self.assertEqual(digest(folder / name), digest(built))

    def assert_classes(self, tree: RegistryTree, root: str, install_dir: str):
        """The 64-bit classes that the add-in registered, and the setup's 32-bit copies of them:
        the same records with the 32-bit library as their server."""
        for progid in (kit.ADDIN_PROGID, kit.HOST_PROGID):
            with self.subTest(progid=progid):
                clsid = tree.value(rf"{root}\{CLASSES}\{progid}\CLSID")
                self.assertIsNotNone(clsid, f"{progid} not registered under {root}")
                native = tree.under(rf"{root}\{CLASSES}\CLSID\{clsid}")
                self.assertEqual(native["InprocServer32"],
                                 {"": install_dir + r"\Paxendo.dll",
                                  "ThreadingModel": "Apartment"})
                self.assertEqual(native["TypeLib"], {"": LIBID})
                server32 = {"": install_dir + r"\x86\Paxendo.dll", "ThreadingModel": "Apartment"}
                self.assertEqual(tree.under(rf"{root}\{CLASSES32}\CLSID\{clsid}"),
                                 dict(native, InprocServer32=server32))

    def assert_interfaces(self, native: RegistryTree, native_root: str, mirror: RegistryTree,
                          mirror_root: str):
        """The 32-bit view holds the same interface records as the 64-bit registration of the
        type library wrote."""
        for iid in IIDS:
            with self.subTest(iid=iid):
                want = native.under(rf"{native_root}\{CLASSES}\Interface\{iid}")
                self.assertEqual(want[r"TypeLib"][""], LIBID)
                got = mirror.under(rf"{mirror_root}\{CLASSES32}\Interface\{iid}")
                self.assertEqual({k.lower(): v for k, v in got.items()},
                                 {k.lower(): v for k, v in want.items()})

    def assert_uninstall_entry(self, w: winekit.WineSession, tree: RegistryTree, root: str,
                               install_dir: str, office_created: dict[str, str]):
        """office_created: the entry's record of which of Office's keys the install made."""
        entry = dict(tree.values(rf"{root}\{kit.UNINSTALL_KEY}") or {})
        self.assertTrue(entry, f"no uninstall entry under {root}")
        for name, created in office_created.items():
            self.assertEqual(entry.pop(name, None), created, name)
        folder_bytes = sum(p.stat().st_size for p in kit.unix_path(w, install_dir).rglob("*")
                           if p.is_file())
        size = entry.pop("EstimatedSize", None)
        self.assertLessEqual(abs(size - folder_bytes / 1024), len(FILES), "EstimatedSize in KB")
        self.assertEqual(entry, {
            "DisplayName": "Kestova Screen Saver",
            "DisplayVersion": kit.build_version(),
            "Publisher": "Kestova",
            "URLInfoAbout": "https://www.kestova.com/screensaver/screensaver.html",
            "DisplayIcon": install_dir + r"\Corvane.scr,0",
            "InstallLocation": install_dir,
            "UninstallString": f'"{install_dir}\\Uninstall.exe"',
            "QuietUninstallString": f'"{install_dir}\\Uninstall.exe" /S',
            "NoModify": 1,
            "NoRepair": 1,
        })

    def assert_event_source(self, w: winekit.WineSession, install_dir: str | None):
        """The Application log's source names Corvane.scr's message table (REG_EXPAND_SZ, as
        the log reads it) for errors, warnings and information in three categories; None: no
        source at all."""
        key = rf"{HKLM}\{build_msi.EVENT_SOURCE}"
        values = RegistryTree.read(w, key).values(key)
        if install_dir is None:
            self.assertIsNone(values)
            return
        corvane = install_dir + r"\Corvane.scr"
        self.assertEqual(values, {"EventMessageFile": corvane, "CategoryMessageFile": corvane,
                                  "CategoryCount": 3, "TypesSupported": 7})
        listed = w.run(["reg", "query", key], check=True).stdout
        self.assertRegex(listed, r"EventMessageFile\s+REG_EXPAND_SZ\s")
        self.assertRegex(listed, r"CategoryMessageFile\s+REG_EXPAND_SZ\s")

    def assert_addin_key(self, tree: RegistryTree, key: str):
        self.assertEqual(tree.values(key), {
            "FriendlyName": "Kestova Screen Saver",
            "Description": "Show PowerPoint presentation as screen saver. Show multiple "
                           "presentations on different monitors as screen savers.",
            "LoadBehavior": 3})

    def assert_nothing_left(self, before: dict[str, RegistryTree],
                            after: dict[str, RegistryTree], kept: tuple[str, ...] = ()):
        """No key is added or removed except under `kept`, no value of ours remains anywhere in
        the watched parts, and the desktop's values are as they were."""
        kept = tuple(k.lower() for k in kept)

        def is_kept(key: str) -> bool:
            key = key.lower()
            return any(key == k or key.startswith(k + "\\") for k in kept)

        for name in ["registry"]:
            with self.subTest(registry=name):
                was = {k.lower() for k in before[name].keys()}
                now = {k.lower() for k in after[name].keys()}
                self.assertEqual({k for k in now - was if not is_kept(k)}, set())
                self.assertEqual(was - now, set())
                traces = {k for t in TRACES for k in after[name].mentions(t)
                          if not is_kept(k) and k not in before[name].mentions(t)}
                self.assertEqual(traces, set())
        self.assertEqual(after[DESKTOP].values(DESKTOP), before[DESKTOP].values(DESKTOP))


class PerUserSetup(SetupAssertions):

    def test_silent_install_writes_exactly_its_records_and_uninstall_removes_them(self):
        with winekit.WineSession("installer-per-user") as w:
            before = snapshot(w)
            programs = kit.unix_path(w, kit.windows_env(w, "LOCALAPPDATA") + r"\Programs")
            programs_before = kit.files_under(programs)

            result = kit.run_setup(w, "/SETSCREENSAVER=1")
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            install_dir = kit.user_install_dir(w)
            self.assert_files_are_the_build(w, install_dir)

            hkcu = hklm = registry(w)
            self.assert_classes(hkcu, HKCU, install_dir)
            # Nothing of a per-user install reaches the machine's classes but the type library,
            # which Wine's per-user registration writes machine-wide (Windows: under HKCU).
            for clsid_key in hkcu.under(rf"{HKCU}\{CLASSES}\CLSID"):
                if "\\" not in clsid_key:
                    self.assertFalse(hklm.has(rf"{HKLM}\{CLASSES}\CLSID\{clsid_key}"))
            self.assertFalse(hklm.has(rf"{HKLM}\{CLASSES}\{kit.ADDIN_PROGID}"))
            library = hkcu
            root = HKCU if hkcu.has(rf"{HKCU}\{CLASSES}\TypeLib\{LIBID}\1.0\0\win64") else HKLM
            self.assertEqual(library.value(rf"{root}\{CLASSES}\TypeLib\{LIBID}\1.0\0\win64"),
                             install_dir + r"\Paxendo.dll")
            self.assertEqual(hkcu.value(rf"{HKCU}\{CLASSES}\TypeLib\{LIBID}\1.0\0\win32"),
                             install_dir + r"\x86\Paxendo.dll")
            self.assert_interfaces(library, root, hkcu, HKCU)
            # Office's add-in key is shared by both bitnesses; the machine's stays untouched.
            self.assert_addin_key(hkcu, rf"{HKCU}\{kit.ADDIN_KEY}")
            self.assertEqual([k for k in hklm.mentions(kit.ADDIN_PROGID + "\\")
                              if k.startswith(HKLM)], [])
            # A fresh profile has no Office keys: the install made them, the uninstall takes
            # them away again.
            self.assert_uninstall_entry(w, hkcu, HKCU, install_dir,
                                        {"OfficeKeyCreated": r"Software\Microsoft\Office"})
            self.assertFalse(hklm.has(rf"{HKLM}\{kit.UNINSTALL_KEY}"))
            # A user can't register an event source: the events go out without one.
            self.assert_event_source(w, None)
            # The package would be shadowed by this user's copy: it refuses.
            self.assert_package_refused(w)

            # The screen saver is named by its short path, and that path is our Corvane.scr.
            chosen = screen_saver(w)
            self.assertEqual(chosen, kit.short_path(w, install_dir + r"\Corvane.scr"))
            self.assertNotIn(" ", chosen)

            write_settings(w)
            write_journal(w)
            kit.uninstall(w, HKCU)
            self.assertFalse(kit.unix_path(w, install_dir).exists())
            self.assertEqual(kit.files_under(programs), programs_before)
            self.assertTrue((journal_folder(w) / "runs.log").exists())
            self.assert_nothing_left(before, snapshot(w), kept=(rf"{HKCU}\Software\Kestova",))
            self.assertEqual(
                RegistryTree.read(w, SETTINGS).values(SETTINGS + r"\0"),
                {"MonitorNum": 1, "PresName": r"C:\shows\deck.pptx"})

    def test_installed_add_in_loads_and_installed_screen_saver_opens_its_settings(self):
        with winekit.WineSession("installer-per-user-run") as w:
            self.assertEqual(kit.run_setup(w).returncode, 0)
            install_dir = kit.user_install_dir(w)
            # A silent install leaves the screen saver alone unless asked.
            self.assertIsNone(screen_saver(w))

            standin.install_standin(w)
            w.run(["regsvr32", "/s", install_dir + r"\Paxendo.dll"], check=True)
            standin.start_standin(w)
            journal = standin.Journal(w)
            loaded = journal.wait_for(
                lambda j: len(j.addin_events(kit.ADDIN_PROGID)) >= 3 and
                j.addin_events(kit.ADDIN_PROGID), 20)
            self.assertEqual(loaded, [(kit.ADDIN_PROGID, "create", "0x00000000"),
                                      (kit.ADDIN_PROGID, "OnConnection", "0x00000000"),
                                      (kit.ADDIN_PROGID, "OnStartupComplete", "0x00000000")],
                             journal.text())
            self.assertEqual(standin.quit_standin(w), 0)

            # As the shell's Configure command starts it.
            proc = w.start_program([install_dir + r"\Corvane.scr"])
            found = standin.wait_for_windows(w, SETTINGS_TITLE, timeout=30)
            self.assertEqual([x.title for x in found], [SETTINGS_TITLE])
            rk.wait_keyboard(w, SETTINGS_TITLE)
            w.xdotool("key", "Escape")
            self.assertEqual(proc.wait(30), 0)

    def test_uninstall_gives_back_the_screen_saver_and_removes_settings_when_asked(self):
        with winekit.WineSession("installer-per-user-uninstall") as w:
            before = snapshot(w)
            # The one in use before comes back, also after an upgrade made ours current again.
            previous = r"C:\windows\system32\Ribbons.scr"
            set_screen_saver(w, previous)
            self.assertEqual(kit.run_setup(w, "/SETSCREENSAVER=1").returncode, 0)
            install_dir = kit.user_install_dir(w)
            self.assertEqual(screen_saver(w), kit.short_path(w, install_dir + r"\Corvane.scr"))
            self.assertEqual(kit.run_setup(w, "/SETSCREENSAVER=1").returncode, 0)
            kit.uninstall(w, HKCU)
            self.assertEqual(screen_saver(w), previous)
            set_screen_saver(w, None)

            # Chosen by its long name after a setup that left the choice alone: none after.
            self.assertEqual(kit.run_setup(w).returncode, 0)
            set_screen_saver(w, install_dir + r"\Corvane.scr")
            kit.uninstall(w, HKCU)
            self.assertIsNone(screen_saver(w))

            # Another screen saver stays; the settings go when asked.
            self.assertEqual(kit.run_setup(w, "/SETSCREENSAVER=1").returncode, 0)
            self.assertIsNotNone(screen_saver(w))
            other = r"C:\windows\system32\scrnsave.scr"
            set_screen_saver(w, other)
            write_settings(w)
            write_journal(w)
            kit.uninstall(w, HKCU, "/REMOVESETTINGS=1")
            self.assertFalse(journal_folder(w).parent.exists())
            self.assertEqual(screen_saver(w), other)
            set_screen_saver(w, None)
            self.assertFalse(kit.unix_path(w, install_dir).exists())
            self.assert_nothing_left(before, snapshot(w))


class InteractiveSetup(SetupAssertions):

    def press(self, w: winekit.WineSession, title: str, control: str, *keys: str,
              page_text: str | None = None):
        """Types keys once the page is up: its `control` has the keyboard focus (and, where two
        pages focus the same button, the page shows `page_text`)."""
        if page_text:
            w.wait_until(lambda: f"text {page_text}" in rk.probe(w, "dialog", title), 30,
                         f'the page "{page_text}" of "{title}"')
        rk.wait_keyboard(w, title, control)
        w.xdotool("key", *keys)

    def test_setup_and_uninstall_with_their_defaults_and_the_keyboard(self):
        with winekit.WineSession("installer-interactive") as w:
            setup = w.start_program([w.exe(kit.SETUP_EXE)])
            # Welcome, Options (only me, make it my screen saver), Folder: Install.
            self.press(w, SETUP_TITLE, "&Next >", "Return",
                       page_text="Welcome to Kestova Screen Saver Setup")
            self.press(w, SETUP_TITLE, "&Next >", "Return", page_text="Options")
            self.press(w, SETUP_TITLE, "Edit\t", "Return")
            w.wait_until(lambda: kit.key_exists(w, rf"{HKCU}\{kit.UNINSTALL_KEY}"), 60,
                         "the setup's uninstall entry", interval=0.5)
            install_dir = kit.user_install_dir(w)
            # The finish page offers the settings, ticked: Finish opens them.
            self.press(w, SETUP_TITLE, "&Choose the presentations now", "Return")
            w.wait_until(lambda: kit.x_window(w, SETTINGS_TITLE), 30, "the settings dialog")
            self.assertEqual(setup.wait(30), 0)
            self.press(w, SETTINGS_TITLE, "", "Escape")
            self.assert_files_are_the_build(w, install_dir)
            self.assertEqual(screen_saver(w), kit.short_path(w, install_dir + r"\Corvane.scr"))

            write_settings(w)
            write_journal(w)
            w.start_program([install_dir + r"\Uninstall.exe"])
            # Confirm; tick Remove my settings too (Alt+R); Uninstall.
            self.press(w, UNINSTALL_TITLE, "&Next >", "Return")
            self.press(w, UNINSTALL_TITLE, "&Uninstall", "alt+r")
            self.press(w, UNINSTALL_TITLE, "&Remove my settings too", "Return")
            w.wait_until(lambda: not kit.key_exists(w, rf"{HKCU}\{kit.UNINSTALL_KEY}"), 60,
                         "the uninstaller to remove its entry", interval=0.5)
            self.press(w, UNINSTALL_TITLE, "&Close", "Return")
            w.wait_until(lambda: kit.x_window(w, UNINSTALL_TITLE) is None, 30,
                         "the uninstaller's window to close")
            self.assertFalse(kit.unix_path(w, install_dir).exists())
            self.assertIsNone(screen_saver(w))
            self.assertFalse(kit.key_exists(w, rf"{HKCU}\Software\Kestova"))
            self.assertFalse(journal_folder(w).parent.exists())


class MachineWideSetup(SetupAssertions):

    def test_install_for_every_user_beside_a_users_own_upgrade_and_uninstall(self):
        with winekit.WineSession("installer-all-users") as w:
            standin.install_standin(w)
            # Office's own keys, empty, as an installed Office leaves them: they stay.
            w.import_reg("".join(f"[{root}\\{office}\\PowerPoint\\Addins]\r\n\r\n"
                                 for root, office in OFFICE_KEYS))
            before = snapshot(w)
            self.assertEqual(kit.run_setup(w, "/ALLUSERS").returncode, 0)
            install_dir = kit.windows_env(w, "ProgramFiles") + r"\Kestova Screen Saver"
            self.assert_files_are_the_build(w, install_dir)

            hkcu = hklm = registry(w)
            self.assert_classes(hklm, HKLM, install_dir)
            self.assertEqual(hklm.value(rf"{HKLM}\{CLASSES}\TypeLib\{LIBID}\1.0\0\win32"),
                             install_dir + r"\x86\Paxendo.dll")
            self.assert_interfaces(hklm, HKLM, hklm, HKLM)
            self.assertEqual(hkcu.under(rf"{HKCU}\{CLASSES}"), {})
            # Every user's PowerPoint, of either bitness, loads the add-in from the machine's
            # keys; the installing user's own key, which registering wrote, is gone again.
            self.assert_addin_key(hklm, rf"{HKLM}\{kit.ADDIN_KEY}")
            self.assert_addin_key(hklm, rf"{HKLM}\{kit.ADDIN_KEY32}")
            self.assertFalse(hkcu.has(rf"{HKCU}\{kit.ADDIN_KEY}"))
            self.assert_uninstall_entry(w, hklm, HKLM, install_dir,
                                        {"OfficeKeyCreated": "", "OfficeKeyCreated32": ""})
            self.assertFalse(hkcu.has(rf"{HKCU}\{kit.UNINSTALL_KEY}"))
            self.assert_event_source(w, install_dir)

            # A 32-bit program's view of the classes finds the 32-bit library.
            query = w.run(["reg", "query", rf"{HKLM}\{CLASSES}\CLSID\{{0241142B-432C-4C3E-"
                           r"AE2A-22CCF0A6291E}\InprocServer32", "/ve", "/reg:32"])
            self.assertIn(install_dir + r"\x86\Paxendo.dll", query.stdout)

            # Loaded without any help: the machine's add-in key, and the machine-wide classes
            # are the ones Wine honours.
            journal = self.assert_addin_loads_in_a_started_host(w)
            # While PowerPoint runs, a silent setup changes nothing unless forced
            # (ERROR_SHARING_VIOLATION).
            standin.start_standin(w)
            self.assertEqual(kit.run_setup(w, "/SETSCREENSAVER=1").returncode, 32)
            self.assertEqual(standin.quit_standin(w), 0)
            self.assertIsNone(screen_saver(w))
            self.assert_package_refused(w)

            # Run again without switches: an upgrade of the machine-wide installation.
            self.assertEqual(kit.run_setup(w).returncode, 0)
            hkcu = registry(w)
            self.assertFalse(hkcu.has(rf"{HKCU}\{kit.UNINSTALL_KEY}"))
            self.assertEqual(hkcu.under(rf"{HKCU}\{CLASSES}"), {})
            self.assertFalse(hkcu.has(rf"{HKCU}\{kit.ADDIN_KEY}"))

            # A standard user's silent setup cannot upgrade the machine's: it installs for that
            # user instead; asked for everyone, it says that needs elevation.
            # (ERROR_ELEVATION_REQUIRED; Linux sees the low byte of a Windows exit code.)
            self.assertEqual(kit.run_setup(w, "/ALLUSERS", extra_env=kit.STANDARD_USER)
                             .returncode, 740 & 0xFF)
            self.assertEqual(kit.run_setup(w, extra_env=kit.STANDARD_USER).returncode, 0)
            user_dir = kit.user_install_dir(w)
            self.assert_files_are_the_build(w, user_dir)
            hkcu = registry(w)
            self.assertEqual(hkcu.value(rf"{HKCU}\{kit.UNINSTALL_KEY}", "InstallLocation"),
                             user_dir)
            self.assert_addin_key(hkcu, rf"{HKCU}\{kit.ADDIN_KEY}")
            kit.uninstall(w, HKCU, extra_env=kit.STANDARD_USER)
            self.assertFalse(kit.unix_path(w, user_dir).exists())
            # The user's own removal leaves the machine's event source as it was.
            self.assert_event_source(w, install_dir)
            hklm = registry(w)
            self.assertEqual(hklm.value(rf"{HKLM}\{kit.UNINSTALL_KEY}", "InstallLocation"),
                             install_dir)
            self.assert_addin_key(hklm, rf"{HKLM}\{kit.ADDIN_KEY}")
            self.assert_addin_key(hklm, rf"{HKLM}\{kit.ADDIN_KEY32}")

            # Removed by a standard user: the uninstaller starts itself elevated. A damaged
            # add-in library is no reason to leave its records behind.
            kit.unix_path(w, install_dir + r"\Paxendo.dll").write_bytes(b"MZ damaged")
            kit.uninstall(w, HKLM, extra_env=kit.STANDARD_USER)
            self.assertFalse(kit.unix_path(w, install_dir).exists())
            self.assert_event_source(w, None)
            self.assert_nothing_left(before, snapshot(w))


class FleetPackage(SetupAssertions):
    """KestovaSetup.msi under Wine's msiexec: per machine and silent, over an older version in
    the folder that one was given, alone on the machine, and removed without a trace but the
    logon command that clears users' screen saver."""

    def test_msi_upgrades_in_place_stays_alone_and_removes_everything(self):
        with winekit.WineSession("installer-msi") as w:
            # PowerPoint of either bitness (32-bit only where this machine can run it).
            if winekit.runs_32_bit_programs():
                e2e_kit.install_standin32(w)
            standin.install_standin(w)
            packages = kit.unix_path(w, r"C:\packages")
            packages.mkdir()
            old = packages / "KestovaSetup-0.9.0.msi"
            build_msi.build("0.9.0", winekit.WINDOWS_BIN, BUILT["x86/Paxendo.dll"].parent, old)
            shutil.copy2(winekit.WINDOWS_BIN / "KestovaSetup.msi", packages)
            # Another build of the same version: another ProductCode.
            build_msi.build(kit.build_version(), winekit.WINDOWS_BIN,
                            BUILT["x86/Paxendo.dll"].parent, packages / "KestovaSetup-again.msi")
            install_dir = r"C:\Fleet Apps\Kestova Screen Saver"
            program_files = kit.unix_path(w, kit.windows_env(w, "ProgramFiles"))
            files_before = kit.files_under(program_files)
            before = snapshot(w)

            self.assertEqual(self.msiexec(w, "/i", r"C:\packages\KestovaSetup-0.9.0.msi",
                                          f"INSTALLDIR={install_dir}"), 0)
            self.assertEqual([e["DisplayVersion"] for e in self.product_entries(w).values()],
                             ["0.9.0"])
            # SETSCREENSAVER=1 on the installed product: the logon command comes.
            self.assertIsNone(registry(w).values(rf"{HKLM}\{ACTIVE_SETUP}"))
            self.assertEqual(self.msiexec(w, "/i", r"C:\packages\KestovaSetup-0.9.0.msi",
                                          "SETSCREENSAVER=1"), 0)
            stub = registry(w).value(rf"{HKLM}\{ACTIVE_SETUP}", "StubPath")
            self.assertIsNotNone(stub, "no Active Setup command")
            # A user's logon: without short names (the folders are away for a moment, so Wine
            # has none to give) the long path, blanks and all, is one argument of reg.exe.
            top = kit.unix_path(w, r"C:\Fleet Apps")
            top.rename(top.with_name("away"))
            logon(w, stub)
            self.assertEqual(screen_saver(w), install_dir + r"\Corvane.scr")
            top.with_name("away").rename(top)
            logon(w, stub)
            chosen = kit.short_path(w, install_dir + r"\Corvane.scr")
            self.assertEqual(screen_saver(w), chosen)

            # The current version, without INSTALLDIR: the same folder, the user's screen saver
            # still a file; the logon command of every upgrade leaves that choice alone.
            self.assertEqual(self.msiexec(w, "/i", r"C:\packages\KestovaSetup.msi"), 0)
            entries = self.product_entries(w)
            self.assertEqual([e["DisplayVersion"] for e in entries.values()],
                             [kit.build_version()])
            self.assertEqual(kit.files_under(kit.unix_path(w, install_dir)),
                             [f for f in FILES if f != "Uninstall.exe"])
            self.assertEqual(kit.files_under(program_files), files_before)
            for name, built in BUILT.items():
                with self.subTest(file=name):
                    self.assertEqual(digest(kit.unix_path(w, install_dir) / name), digest(built))
            hklm = registry(w)
            self.assertIsNotNone(hklm.values(rf"{HKLM}\{ACTIVE_SETUP}"), "feature kept")
            follow = hklm.values(FOLLOW_SETUP)
            self.assertEqual(follow["Version"], build_msi.setup_version(kit.build_version()) + ",0")
            logon(w, follow["StubPath"])
            self.assertEqual(screen_saver(w), chosen)
            # A user whose screen saver names the folder of a version installed elsewhere before.
            set_screen_saver(w, r"C:\Old Place\Corvane.scr")
            logon(w, follow["StubPath"])
            self.assertEqual(screen_saver(w), chosen)
            # The same version again (another build): it replaces the installed one.
            self.assertEqual(self.msiexec(w, "/i", r"C:\packages\KestovaSetup-again.msi"), 0)
            entries = self.product_entries(w)
            self.assertEqual(len(entries), 1)
            product_code = list(entries)[0]
            # An older version is refused (ERROR_INSTALL_FAILURE; Linux sees the low byte).
            self.assertEqual(self.msiexec(w, "/i", r"C:\packages\KestovaSetup-0.9.0.msi"),
                             1603 & 0xFF)
            self.assertEqual(list(self.product_entries(w)), [product_code])

            # The setup program refuses beside the package, for everyone and for the user.
            for args in (["/ALLUSERS"], []):
                with self.subTest(setup=args):
                    self.assertEqual(kit.run_setup(w, *args).returncode, 1638 & 0xFF)
            hklm = hkcu = registry(w)
            self.assertIsNone(hklm.values(rf"{HKLM}\{kit.UNINSTALL_KEY}"))
            self.assertIsNone(hkcu.values(rf"{HKCU}\{kit.UNINSTALL_KEY}"))
            self.assertEqual(hklm.value(PACKAGE_KEY, "InstallDir"), install_dir + "\\")

            # The add-in's records as its own registration writes them, in both views, and the
            # machine's add-in key for either bitness of Office; nothing in the user's hive.
            self.assert_classes(hklm, HKLM, install_dir)
            self.assert_interfaces(hklm, HKLM, hklm, HKLM)
            library = rf"{HKLM}\{CLASSES}\TypeLib\{LIBID}\1.0\0"
            self.assertEqual((hklm.value(library + r"\win64"), hklm.value(library + r"\win32")),
                             (install_dir + r"\Paxendo.dll", install_dir + r"\x86\Paxendo.dll"))
            self.assert_addin_key(hklm, rf"{HKLM}\{kit.ADDIN_KEY}")
            self.assert_addin_key(hklm, rf"{HKLM}\{kit.ADDIN_KEY32}")
            self.assert_event_source(w, install_dir)
            self.assertEqual([k for t in TRACES for k in hkcu.mentions(t) if k.startswith(HKCU)],
                             [])

            # A user who never ran any setup: PowerPoint loads the add-in from the machine's key.
            journal = self.assert_addin_loads_in_a_started_host(w)
            # So does 32-bit PowerPoint, from the 32-bit view's records and key.
            if winekit.runs_32_bit_programs():
                mark = len(journal.addin_events())
                w.start_program([str(e2e_kit.STANDIN32_EXE)])
                self.assertTrue(journal.wait_for(
                    lambda j: (kit.ADDIN_PROGID, "OnStartupComplete", "0x00000000")
                    in j.addin_events()[mark:], 20), journal.text())
                hosts = e2e_kit.processes_mapping(w, install_dir + r"\x86\Paxendo.dll")
                self.assertEqual(len(hosts), 1, "processes holding x86\\Paxendo.dll")
                self.assertTrue(e2e_kit.is_32_bit_process(hosts[0]))
                self.assertEqual(standin.quit_standin(w), 0)

            # Removed: at the user's next logon the screen saver that named our file is none; a
            # later logon of a user who chose another one leaves it.
            self.assertEqual(self.msiexec(w, "/x", product_code), 0)
            self.assertEqual(self.product_entries(w), {})
            self.assertFalse(kit.unix_path(w, install_dir).exists())
            self.assert_event_source(w, None)
            follow = registry(w).values(FOLLOW_SETUP)
            self.assertEqual(follow["Version"], build_msi.setup_version(kit.build_version()) + ",1")
            logon(w, follow["StubPath"])
            self.assertIsNone(screen_saver(w))
            other = r"C:\windows\system32\scrnsave.scr"
            set_screen_saver(w, other)
            logon(w, follow["StubPath"])
            self.assertEqual(screen_saver(w), other)
            set_screen_saver(w, None)

            self.assertEqual(kit.files_under(program_files), files_before)
            after = snapshot(w)
            self.assert_nothing_left(before, after, kept=INSTALLER_BOOKKEEPING + (FOLLOW_SETUP,))
            # Windows Installer keeps its emptied containers; no record of this product.
            was = {k.lower() for k in before["registry"].keys()}
            for key in after["registry"].keys():
                values = after["registry"].values(key)
                if set(values) == {"0" * 32}:
                    # The logon command that outlives the package: Windows Installer keeps it
                    # as a permanent component (a product code of zeros), as Windows does.
                    self.assertIn(build_msi.FOLLOW_SETUP, values["0" * 32])
                elif key.lower() not in was and key.lower().startswith(
                        tuple(k.lower() + "\\" for k in INSTALLER_BOOKKEEPING)):
                    self.assertEqual(values, {}, key)
                    self.assertNotRegex(key.rpartition("\\")[2], r"^[0-9A-Fa-f]{32}$", key)


if __name__ == "__main__":
    unittest.main()
