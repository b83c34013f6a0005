"""The Debian package made by `cpack -G DEB`: its control fields and contents (dpkg-deb),
and, where the test may change the system (root, and CI or TABULOR_TEST_APT_INSTALL=1),
`apt-get install ./tabulor_*.deb`, a conversion by the installed program, and removal."""
import glob
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from install_support import BINARY_DIR, SAMPLES, run

APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=120"]


def setUpModule():
    global OUT, DEB, FIELDS, CONTENTS
    OUT = tempfile.mkdtemp(prefix="tabulor-cpack-")
    run(["cpack", "-G", "DEB", "--config", os.path.join(BINARY_DIR, "CPackConfig.cmake"),
         "-B", OUT])
    (DEB,) = glob.glob(os.path.join(OUT, "tabulor_*.deb"))
    FIELDS = {}
    key = None
    for line in run(["dpkg-deb", "-f", DEB]).stdout.splitlines():
        if line.startswith(" ") and key:
            FIELDS[key] += "\n" + line
        else:
            key, _, value = line.partition(":")
            FIELDS[key] = value.strip()
    CONTENTS = run(["dpkg-deb", "-c", DEB]).stdout


def tearDownModule():
    shutil.rmtree(OUT, ignore_errors=True)


def package_names(field):
    """The package names of a relation field, alternatives included, versions dropped."""
    return {re.sub(r"\s*\(.*\)", "", alt).strip()
            for item in field.split(",") for alt in item.split("|") if alt.strip()}


class ControlFields(unittest.TestCase):
    def test_identity(self):
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        self.assertEqual(FIELDS["Package"], "tabulor")
        self.assertEqual(FIELDS["Version"], "2.6")
        self.assertEqual(FIELDS["Architecture"], arch)
        self.assertEqual(os.path.basename(DEB), f"tabulor_2.6_{arch}.deb")
        self.assertTrue(FIELDS["Maintainer"])
        self.assertTrue(FIELDS["Description"].startswith("batch converter for tabular files\n"))
        # dpkg-deb -I prints the whole control file; it must be readable as such.
        self.assertIn("Package: tabulor", run(["dpkg-deb", "-I", DEB]).stdout)

    def test_depends_computed_from_the_linked_libraries(self):
        depends = package_names(FIELDS["Depends"])
        for needed in ("libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                       "libgsf-1-114", "libmdb3"):
            self.assertIn(needed, depends)
        # Nothing that only tests or building use.
        for unwanted in depends:
            self.assertNotRegex(unwanted, r"-dev$|gtest|gmock|python|gnumeric|mdbtools$")
        # Versioned, as dpkg-shlibdeps writes them.
        self.assertRegex(FIELDS["Depends"], r"libc6 \(>= [0-9.]+\)")

    def test_office_recommended_nothing_suggested(self):
        self.assertIn("libreoffice-calc-nogui", package_names(FIELDS.get("Recommends", "")))
        self.assertNotIn("libreoffice-calc-nogui", package_names(FIELDS["Depends"]))
        self.assertNotIn("Suggests", FIELDS)

    def test_contents(self):
        for path in ("./usr/bin/tabulor -> ../lib/tabulor/tabulor", "./usr/lib/tabulor/tabulor\n",
                     "./usr/lib/tabulor/tabulor-jet-reader\n", "./usr/lib/tabulor/Blank.mdb\n",
                     "./usr/share/applications/tabulor.desktop\n",
                     "./usr/share/metainfo/com.orvendi.Tabulor.metainfo.xml\n",
                     "./usr/share/man/man1/tabulor.1.gz\n",
                     "./usr/share/icons/hicolor/scalable/apps/tabulor.svg\n",
                     "./usr/share/icons/hicolor/48x48/apps/tabulor.png\n",
                     "./usr/share/doc/tabulor/examples/trade.mdb\n"):
            self.assertIn(path, CONTENTS)
        for line in CONTENTS.splitlines():
            self.assertIn(" root/root ", line)


class AptInstall(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("installing the package needs root")
        if not (os.environ.get("CI") or os.environ.get("TABULOR_TEST_APT_INSTALL") == "1"):
            self.skipTest("installs into the system only under CI or with "
                          "TABULOR_TEST_APT_INSTALL=1")
        state = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "tabulor"],
                               capture_output=True, text=True).stdout
        if "installed" in state and "not-installed" not in state:
            self.skipTest("a tabulor package is installed already; it is left alone")

    def test_installs_runs_and_removes(self):
        work = tempfile.mkdtemp(prefix="tabulor-apt-")
        try:
            run(APT + ["install", "--no-install-recommends", DEB],
                env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
            self.assertIn("Tabulor 2.6", run(["/usr/bin/tabulor", "--version"]).stdout)
            self.assertEqual(run(["man", "-w", "tabulor"]).stdout.strip(),
                             "/usr/share/man/man1/tabulor.1.gz")
            run(["/usr/bin/tabulor", "/usr/share/doc/tabulor/examples/trade.mdb", "mdb", work])
            self.assertIn("Customers", run(["mdb-tables", os.path.join(work, "trade.mdb")]).stdout)
            self.assertTrue(os.path.isfile("/usr/share/applications/tabulor.desktop"))
        finally:
            subprocess.run(APT + ["purge", "tabulor"], capture_output=True)
            shutil.rmtree(work, ignore_errors=True)
        self.assertFalse(os.path.exists("/usr/bin/tabulor"))


if __name__ == "__main__":
    unittest.main()
