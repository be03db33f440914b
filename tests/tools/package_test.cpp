// The Debian packages as a user gets them: built by CPack from this build, unpacked into a
// temporary root, every file where the install layout puts it, and the unpacked programs run.

#include "childprocess.h"
#include "net.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

const std::string app_dir = SKYWAND_APP_DIR; // relative to the prefix
constexpr bool has_tester = SKYWAND_PACKAGE_HAS_TESTER;
constexpr bool has_python = sizeof(PYTHON_MODULE_FILE) > 1; // empty without the module

const std::string lib_dir = "usr/" SKYWAND_LIB_DIR "/";

// The files of each package, and what its Depends must name.
struct Package {
    std::set<std::string> files;
    std::vector<std::string> depends;
};

std::map<std::string, Package> expectedPackages() {
    const std::string cmake_dir = lib_dir + "cmake/Ombrix/";
    std::map<std::string, Package> packages = {
        {"libombrix1", {{lib_dir + "libombrix.so.1", lib_dir + "libombrix.so." SKYWAND_VERSION},
                        {"libc6", "libstdc++6"}}},
        {"libombrix-dev",
         {{"usr/include/ombrix/Ombrix.h", lib_dir + "libombrix.so", lib_dir + "pkgconfig/ombrix.pc",
           cmake_dir + "OmbrixConfig.cmake", cmake_dir + "OmbrixConfigVersion.cmake",
           cmake_dir + "OmbrixTargets.cmake", cmake_dir + "OmbrixTargets-" SKYWAND_CONFIG ".cmake",
           "usr/share/doc/libombrix-dev/client-api.md"},
          {"libombrix1 (= " SKYWAND_VERSION ")"}}},
        {"python3-ombrix",
         {{"usr/lib/python3/dist-packages/" + std::string(PYTHON_MODULE_FILE), "usr/lib/python3/dist-packages/ombrix.pyi"},
          {"libombrix1 (= " SKYWAND_VERSION ")", "python3 (>= 3.", "python3 (<< 3."}}},
        {"skywandtester",
         {{"usr/bin/ombrix-sim", "usr/bin/ombrix-monitor", "usr/share/man/man1/ombrix-sim.1.gz",
           "usr/share/man/man1/ombrix-monitor.1.gz"},
          {"libombrix1 (= " SKYWAND_VERSION ")", "libc6", "libstdc++6",
           has_tester ? "qt6-qpa-plugins" : "libc6"}}}};
    std::set<std::string>& files = packages["skywandtester"].files;
    if (has_tester) {
        files.insert({"usr/bin/skywandtester", "usr/" + app_dir + "/skywandtester",
                      "usr/share/applications/skywandtester.desktop",
                      "usr/share/man/man1/skywandtester.1.gz"});
        for (const fs::directory_entry& entry : fs::directory_iterator(HELP_SOURCE_DIR)) {
            if (std::set<fs::path>{".html", ".css", ".png", ".md"}.count(
                    entry.path().extension()) &&
                entry.path().filename() != "client-api.md") {
                files.insert("usr/" + app_dir + "/doc/" + entry.path().filename().string());
            }
        }
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            files.insert("usr/share/icons/hicolor/" + std::to_string(size) + "x" +
                         std::to_string(size) + "/apps/skywandtester.png");
        }
    }
    if (!has_python) {
        packages.erase("python3-ombrix");
    }
    for (auto& [name, package] : packages) {
        package.files.insert({"usr/share/doc/" + name + "/copyright",
                              "usr/share/doc/" + name + "/changelog.gz"});
    }
    return packages;
}

std::set<std::string> filesUnder(const fs::path& root) {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!fs::is_directory(entry.symlink_status())) {
            files.insert(entry.path().lexically_relative(root).string());
        }
    }
    return files;
}

std::string field(const std::string& deb, const char* name) {
    ChildProcess fields(DPKG_DEB_PATH, {"-f", deb, name});
    EXPECT_EQ(fields.wait(), 0) << fields.errors();
    const std::string value = fields.output();
    return value.substr(0, value.find('\n'));
}

// Four packages from one build: each with its files and dependencies, all of them lintian-clean,
// and the programs and the module running from the tree they make together.
TEST(Package, BuildsUnpacksAndRuns) {
    TempDir work;
    ChildProcess cpack(CPACK_PATH, {"-G", "DEB", "--config", BUILD_DIR "/CPackConfig.cmake", "-B",
                                    work.file("out")});
    ASSERT_EQ(cpack.wait(100000), 0) << cpack.output() << cpack.errors();
    std::vector<std::string> lintian_args = {"--tag-display-limit", "0"};
    std::map<std::string, Package> expected = expectedPackages();
    // Taken before the loop below, whose expected[name] adds any unexpected package.
    std::set<std::string> names;
    for (const auto& [name, package] : expected) {
        names.insert(name);
    }
    const fs::path root = work.file("root");
    std::set<std::string> built;
    for (const fs::directory_entry& entry : fs::directory_iterator(work.file("out"))) {
        if (entry.path().extension() != ".deb") {
            continue;
        }
        const std::string deb = entry.path().string();
        const std::string name = field(deb, "Package");
        built.insert(name);
        lintian_args.push_back(deb);
        ChildProcess alone(DPKG_DEB_PATH, {"-x", deb, work.file(name)});
        ChildProcess together(DPKG_DEB_PATH, {"-x", deb, root.string()});
        ASSERT_EQ(alone.wait(30000) | together.wait(30000), 0) << alone.errors();
        EXPECT_EQ(filesUnder(work.file(name)), expected[name].files) << name;
        const std::string depends = field(deb, "Depends");
        for (const std::string& package : expected[name].depends) {
            EXPECT_NE(depends.find(package), std::string::npos) << name << ": " << depends;
        }
    }
    EXPECT_EQ(built, names);

    // Debian's own checker finds nothing to complain about.
    ChildProcess lintian(LINTIAN_PATH, lintian_args);
    EXPECT_EQ(lintian.wait(120000), 0) << lintian.output() << lintian.errors();
    EXPECT_EQ(lintian.output(), "");

    // The unpacked programs find the unpacked library, as the system's loader would in /usr.
    setenv("LD_LIBRARY_PATH", (root / lib_dir).c_str(), 1);
    setenv("PYTHONPATH", (root / "usr/lib/python3/dist-packages").c_str(), 1);
    if (has_python) {
        ChildProcess python("/usr/bin/python3", {"-c", "import ombrix; print(ombrix.Ombrix().valid())"});
        EXPECT_EQ(python.wait(), 0) << python.errors();
        EXPECT_EQ(python.output(), "True\n");
    }
    for (const char* tool : {"ombrix-sim", "ombrix-monitor"}) {
        ChildProcess help((root / "usr/bin" / tool).string(), {"--help"});
        EXPECT_EQ(help.wait(), 0) << tool << ": " << help.errors();
        EXPECT_EQ(help.output().rfind("Usage: " + std::string(tool), 0), 0u) << help.output();
    }
    if (!has_tester) {
        return;
    }
    // The link on the PATH is relative, so the tree works wherever it is unpacked.
    EXPECT_EQ(fs::read_symlink(root / "usr/bin/skywandtester"), "../" + app_dir + "/skywandtester");
    // Started through the link, the tester must use its own folder: the configuration file
    // beside the real executable, not one in bin/.
    const unsigned short port = freeUdpPort();
    writeFile((root / "usr" / app_dir / "skywandtester.config").string(), std::to_string(port));
    ChildProcess tester((root / "usr/bin/skywandtester").string(), {});
    EXPECT_TRUE(waitUntilUdpBound(port, 10000)) << "no reception on its configured port";
    tester.signal(SIGTERM);
    tester.wait(10000);
    EXPECT_FALSE(fs::exists(root / "usr/bin/skywandtester.config"));
}

} // namespace
