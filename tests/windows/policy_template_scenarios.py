"""The administrative template (ADMX and its en-US ADML) held to the rules the Group Policy editor
and Intune's ADMX import enforce, and to what the program reads: the policy key, each value's
name and type. No Wine needed: the files are read as shipped.
"""

import re
import unittest
import xml.etree.ElementTree as ET

import winekit

POLICY_DIR = winekit.ROOT / "policy"
ADMX = POLICY_DIR / "KestovaScreenSaver.admx"
ADML = POLICY_DIR / "en-US" / "KestovaScreenSaver.adml"
NS = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"
Q = "{" + NS + "}"


def cpp_wide_constant(path, name: str) -> str:
    """The text of `inline constexpr wchar_t name[] = L"...";` with its escapes undone."""
    match = re.search(name + r'\[\]\s*=\s*L"((?:[^"\\]|\\.)*)"', path.read_text())
    assert match, f"{name} not found in {path}"
    return match.group(1).replace("\\\\", "\\")


def program_reads() -> tuple[str, dict[str, str]]:
    """The policy key the program opens and the value names it reads, with their types."""
    key = cpp_wide_constant(winekit.ROOT / "common" / "product.h", "kPolicyKeyPath")
    monitors = int(re.search(r"kPolicyMonitors\s*=\s*(\d+)",
                             (winekit.ROOT / "settings" / "policy.h").read_text()).group(1))
    reader = (winekit.ROOT / "settings" / "policy_store.cpp").read_text()
    values = {}
    for flag in ("EnableKeyboard", "EnableMouse"):
        assert f'L"{flag}"' in reader, flag
        values[flag] = "REG_DWORD"
    assert 'L"Monitor" + std::to_wstring(i + 1)' in reader
    for n in range(1, monitors + 1):
        values[f"Monitor{n}"] = "REG_SZ"
    return key, values


def elements_of(policy: ET.Element) -> list[ET.Element]:
    elements = policy.find(f"{Q}elements")
    return list(elements) if elements is not None else []


def admx_flag(policy_name: str) -> tuple[str, str, int, int]:
    """A check-box policy as the template writes it: key, value name, enabled and disabled
    DWORDs."""
    policy = ET.parse(ADMX).getroot().find(f"{Q}policies/{Q}policy[@name='{policy_name}']")
    return (policy.get("key"), policy.get("valueName"),
            int(policy.find(f"{Q}enabledValue/{Q}decimal").get("value")),
            int(policy.find(f"{Q}disabledValue/{Q}decimal").get("value")))


def admx_text(policy_name: str) -> tuple[str, str]:
    """A text policy (a monitor's presentation) as the template writes it: key, value name."""
    policy = ET.parse(ADMX).getroot().find(f"{Q}policies/{Q}policy[@name='{policy_name}']")
    return policy.get("key"), policy.find(f"{Q}elements/{Q}text").get("valueName")


def references(text: str, kind: str) -> list[str]:
    return re.findall(r"\$\(" + kind + r"\.([^)]*)\)", text)


class PolicyTemplate(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Parsing is the well-formedness check; both files are UTF-8 with a declaration.
        cls.admx = ET.parse(ADMX).getroot()
        cls.adml = ET.parse(ADML).getroot()
        cls.admx_text = ADMX.read_text(encoding="utf-8")

    def test_roots_and_namespaces(self):
        self.assertEqual(self.admx.tag, Q + "policyDefinitions")
        self.assertEqual(self.adml.tag, Q + "policyDefinitionResources")
        for root in (self.admx, self.adml):
            self.assertEqual(root.get("schemaVersion"), "1.0")
            self.assertEqual(root.get("revision"), "1.0")
        targets = self.admx.findall(f"{Q}policyNamespaces/{Q}target")
        self.assertEqual(len(targets), 1)
        self.assertTrue(targets[0].get("prefix") and targets[0].get("namespace"))
        # Only the target namespace is used: a `using` would need another template in the store.
        self.assertEqual(self.admx.findall(f"{Q}policyNamespaces/{Q}using"), [])
        self.assertEqual(self.admx.find(f"{Q}resources").get("minRequiredRevision"),
                         self.adml.get("revision"))

    def test_names_are_unique_and_every_reference_resolves(self):
        def unique(elements, attribute):
            names = [e.get(attribute) for e in elements]
            self.assertEqual(len(names), len(set(names)), names)
            return set(names)

        policies = self.admx.findall(f"{Q}policies/{Q}policy")
        unique(policies, "name")
        categories = unique(self.admx.findall(f"{Q}categories/{Q}category"), "name")
        supported = unique(self.admx.iter(Q + "definition"), "name")
        unique([e for p in policies for e in elements_of(p)], "id")
        strings = unique(self.adml.iter(Q + "string"), "id")
        presentations = unique(self.adml.iter(Q + "presentation"), "id")

        used_strings = set(references(self.admx_text, "string"))
        used_presentations = set(references(self.admx_text, "presentation"))
        self.assertEqual(used_strings - strings, set(), "strings missing from the ADML")
        self.assertEqual(used_presentations - presentations, set(), "presentations missing")
        self.assertEqual(strings - used_strings, set(), "strings nothing uses")
        self.assertEqual(presentations - used_presentations, set(), "presentations nothing uses")
        self.assertEqual(len(categories), 1)
        display = self.admx.find(f"{Q}categories/{Q}category").get("displayName")
        self.assertEqual(self.adml.find(f".//{Q}string[@id='{references(display, 'string')[0]}']")
                         .text, "Kestova Screen Saver")

        for policy in policies:
            name = policy.get("name")
            self.assertIn(policy.find(f"{Q}parentCategory").get("ref"), categories, name)
            self.assertIn(policy.find(f"{Q}supportedOn").get("ref"), supported, name)
            self.assertTrue(references(policy.get("explainText"), "string"), name)
            # A presentation's controls name exactly the policy's elements.
            ids = {e.get("id") for e in elements_of(policy)}
            shown = references(policy.get("presentation") or "", "presentation")
            refs = set()
            for presentation_id in shown:
                presentation = self.adml.find(f".//{Q}presentation[@id='{presentation_id}']")
                refs |= {c.get("refId") for c in presentation if c.get("refId")}
            self.assertEqual(refs, ids, name)

    def test_each_policy_writes_what_the_program_reads(self):
        key, reads = program_reads()
        written = {}
        for policy in self.admx.findall(f"{Q}policies/{Q}policy"):
            name = policy.get("name")
            self.assertEqual(policy.get("key"), key, name)
            # Machine and user: the program reads both, the machine's first.
            self.assertEqual(policy.get("class"), "Both", name)
            if policy.get("valueName"):
                # A check box: enabled 1, disabled 0, both REG_DWORD.
                self.assertEqual(policy.find(f"{Q}enabledValue/{Q}decimal").get("value"), "1")
                self.assertEqual(policy.find(f"{Q}disabledValue/{Q}decimal").get("value"), "0")
                written[policy.get("valueName")] = "REG_DWORD"
            for element in elements_of(policy):
                self.assertEqual(element.tag, Q + "text", name)
                self.assertIn(element.get("key"), (None, key), name)
                # REG_SZ: the program takes the path as stored, never expanded.
                self.assertNotEqual(element.get("expandable"), "true", name)
                written[element.get("valueName")] = "REG_SZ"
        self.assertEqual(written, reads)


if __name__ == "__main__":
    unittest.main()
