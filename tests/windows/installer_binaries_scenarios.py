"""The files the setup ships, checked without running them (the end-to-end scenarios run them):
the 32-bit add-in and window library are 32-bit self-contained DLLs with the same exports and an
embedded 32-bit type library, the setup is a 64-bit program and the Windows Installer package a
64-bit per-machine one, both carrying the project's version; the screen saver holds the event
log's messages.
"""

import re
import subprocess
import tempfile
import unittest

import installer_kit as kit
import installer_pe as pe
import winekit

BIN64 = winekit.WINDOWS_BIN
BIN32 = winekit.BUILD / "windows32" / "bin"
ADDIN_EXPORTS = ["DllCanUnloadNow", "DllGetClassObject", "DllInstall", "DllRegisterServer",
                 "DllUnregisterServer"]
TOVRIN_EXPORTS = ["DeregisterSlideShowWindow", "EndScreenSaverSession", "GetMonitorCount",
                  "GetMonitorInfo", "GetSSWHandle", "RegisterSlideShowWindow",
                  "StartScreenSaverSession"]
# Every DLL a binary may import: Windows' own. A MinGW runtime DLL (libgcc_s_*, libstdc++-6,
# libwinpthread-1) would not be found beside an installed add-in.
SYSTEM_DLLS = {"advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll", "shell32.dll", "user32.dll", "version.dll"}


class ThirtyTwoBitLibraries(unittest.TestCase):

    def check_library(self, name: str, exports: list[str]) -> pe.PeFile:
        file32 = pe.PeFile(BIN32 / name)
        file64 = pe.PeFile(BIN64 / name)
        self.assertEqual(file32.machine, pe.MACHINE_I386)
        self.assertEqual(file64.machine, pe.MACHINE_AMD64)
        self.assertTrue(file32.is_dll)
        # Undecorated names, as GetProcAddress and COM look them up (no "@8" suffixes).
        self.assertEqual(sorted(file32.exports()), exports)
        self.assertEqual(sorted(file64.exports()), exports)
        imports = {d.lower() for d in file32.imported_dlls()}
        self.assertLessEqual(imports, SYSTEM_DLLS)
        self.assertEqual(file32.version_strings(), file64.version_strings())
        return file32

    def test_add_in_library(self):
        file32 = self.check_library("Paxendo.dll", ADDIN_EXPORTS)
        # The type library that registration and IDispatch read is laid out for 32-bit callers.
        library = file32.resource("TYPELIB", 1)
        self.assertIsNotNone(library)
        self.assertEqual(pe.typelib_syskind(library), pe.SYS_WIN32)
        library64 = pe.PeFile(BIN64 / "Paxendo.dll").resource("TYPELIB", 1)
        self.assertEqual(pe.typelib_syskind(library64), pe.SYS_WIN64)
        self.assertIn("OLESelfRegister", file32.version_strings())

    def test_window_support_library(self):
        self.check_library("Tovrin.dll", TOVRIN_EXPORTS)


class SetupProgram(unittest.TestCase):

    def test_setup_is_64_bit_and_carries_the_project_version(self):
        # A 32-bit setup cannot run without 32-bit Wine, and on Windows it would see the
        # 32-bit registry and folders.
        setup = pe.PeFile(BIN64 / kit.SETUP_EXE)
        self.assertEqual(setup.machine, pe.MACHINE_AMD64)
        version = kit.build_version()
        strings = setup.version_strings()
        self.assertEqual(strings["ProductVersion"], version)
        self.assertEqual(strings["FileVersion"], version)
        numbers = [int(n) for n in version.split(".")] + [0, 0, 0]
        self.assertEqual(setup.fixed_file_version(), tuple(numbers[:4]))

    def test_package_is_64_bit_per_machine_and_carries_the_project_version(self):
        package = str(BIN64 / "KestovaSetup.msi")

        def table(name: str) -> dict[str, list[str]]:
            # (In a folder of its own: an export writes a table's files beside it.)
            with tempfile.TemporaryDirectory() as folder:
                rows = subprocess.run(["msiinfo", "export", package, name], capture_output=True,
                                      text=True, check=True, cwd=folder).stdout.splitlines()[3:]
            return {r.split("\t")[0]: r.split("\t")[1:] for r in rows}

        summary = subprocess.run(["msiinfo", "suminfo", package], capture_output=True,
                                 text=True, check=True).stdout
        self.assertIn("Template: x64;1033", summary)
        properties = {k: v[0] for k, v in table("Property").items()}
        self.assertEqual(properties["ProductVersion"], kit.build_version())
        self.assertEqual(properties["ALLUSERS"], "1")
        self.assertIn("SETSCREENSAVER", properties["SecureCustomProperties"].split(";"))
        # 64-bit components (attribute 256) but the 32-bit add-in's, whose records go to the
        # 32-bit view of the registry.
        bits = {k: int(v[2]) & 256 for k, v in table("Component").items()}
        self.assertEqual({k for k, v in bits.items() if not v}, {"Addin32", "Window32"})
        self.assertEqual(table("Condition"), {"ScreenSaverForEveryone": [
            "1", 'SETSCREENSAVER = "1" OR (KEPTSCREENSAVER AND SETSCREENSAVER <> "0")']})
        # The logon command that clears users' screen saver outlives the package (16).
        self.assertEqual(int(table("Component")["ScreenSaverFollows"][2]) & 16, 16)
        # The same version upgrades too (512: the maximum version included).
        rows = subprocess.run(["msiinfo", "export", package, "Upgrade"], capture_output=True,
                              text=True, check=True).stdout.splitlines()[3:]
        upgrades = {r.split("\t")[-1]: r.split("\t") for r in rows}  # by ActionProperty
        self.assertEqual(upgrades["WIX_UPGRADE_DETECTED"][2], kit.build_version())
        self.assertEqual(int(upgrades["WIX_UPGRADE_DETECTED"][4]) & 512, 512)
        # A running PowerPoint is never closed for the add-in's files.
        self.assertEqual(properties["MSIRESTARTMANAGERCONTROL"], "Disable")
        # Apps shows the screen saver's icon.
        self.assertIn(properties["ARPPRODUCTICON"], table("Icon"))

    def test_every_binary_carries_the_project_version(self):
        version = kit.build_version()
        numbers = tuple(([int(n) for n in version.split(".")] + [0, 0, 0])[:4])
        for folder, name in [(BIN64, "Corvane.scr"), (BIN64, "Tovrin.dll"), (BIN32, "Tovrin.dll")]:
            with self.subTest(binary=f"{folder.name}/{name}"):
                self.assertEqual(pe.PeFile(folder / name).fixed_file_version(), numbers)

    def test_screen_saver_holds_the_message_of_every_event_it_reports(self):
        # The installers name Corvane.scr as the event source's message and category file:
        # without these the event viewer shows only the bare strings.
        source = (winekit.ROOT / "screensaver" / "run_events.h").read_text()
        numbers = {name: int(n) for name, n in
                   re.findall(r"constexpr uint\d+_t (k\w+(?:Category|Event)) = (\d+);", source)}
        table = pe.PeFile(BIN64 / "Corvane.scr").message_table()
        self.assertEqual([table.get(numbers[c], "").strip() for c in
                          ("kStartCategory", "kMonitorsCategory", "kPowerPointCategory")],
                         ["Start", "Monitors", "PowerPoint"])
        events = [n for name, n in numbers.items() if name.endswith("Event")]
        self.assertEqual(sorted(events), [1001, 1002, 1003])
        for event in events:
            with self.subTest(event=event):
                self.assertRegex(table.get(event, ""), r"%1.*%2")

    def test_add_in_keeps_its_own_version(self):
        # The add-in's version resource is fixed at 1.00 for the host's add-in manager.
        for folder in (BIN64, BIN32):
            with self.subTest(folder=folder.name):
                self.assertEqual(pe.PeFile(folder / "Paxendo.dll").fixed_file_version(),
                                 (1, 0, 0, 0))


if __name__ == "__main__":
    unittest.main()
