// The Debian package as a user gets it: built by CPack from this build, unpacked into a
// temporary root, every file where the install layout puts it, and the unpacked programs run.

#include "childprocess.h"
#include "net.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>

namespace fs = std::filesystem;

namespace {

const std::string app_dir = SKYWAND_APP_DIR; // relative to the prefix
constexpr bool has_tester = SKYWAND_PACKAGE_HAS_TESTER;

std::set<std::string> expectedFiles() {
    std::set<std::string> files = {"usr/bin/ombrix-sim", "usr/bin/ombrix-monitor",
                                   "usr/share/doc/skywandtester/copyright",
                                   "usr/share/doc/skywandtester/changelog.gz",
                                   "usr/share/man/man1/ombrix-sim.1.gz",
                                   "usr/share/man/man1/ombrix-monitor.1.gz"};
    if (has_tester) {
        files.insert({"usr/bin/skywandtester", "usr/" + app_dir + "/skywandtester",
                      "usr/share/applications/skywandtester.desktop",
                      "usr/share/man/man1/skywandtester.1.gz"});
        for (const fs::directory_entry& entry : fs::directory_iterator(HELP_SOURCE_DIR)) {
            if (std::set<fs::path>{".html", ".css", ".png", ".md"}.count(
                    entry.path().extension())) {
                files.insert("usr/" + app_dir + "/doc/" + entry.path().filename().string());
            }
        }
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            files.insert("usr/share/icons/hicolor/" + std::to_string(size) + "x" +
                         std::to_string(size) + "/apps/skywandtester.png");
        }
    }
    return files;
}

TEST(Package, BuildsUnpacksAndRuns) {
    TempDir work;
    ChildProcess cpack(CPACK_PATH, {"-G", "DEB", "--config", BUILD_DIR "/CPackConfig.cmake", "-B",
                                    work.file("out")});
    ASSERT_EQ(cpack.wait(100000), 0) << cpack.output() << cpack.errors();
    std::vector<std::string> debs;
    for (const fs::directory_entry& entry : fs::directory_iterator(work.file("out"))) {
        debs.insert(debs.end(), entry.path().extension() == ".deb", entry.path().string());
    }
    ASSERT_EQ(debs.size(), 1u);
    const fs::path root = work.file("root");
    ChildProcess unpack(DPKG_DEB_PATH, {"-x", debs[0], root.string()});
    ASSERT_EQ(unpack.wait(30000), 0) << unpack.errors();

    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!fs::is_directory(entry.symlink_status())) {
            files.insert(entry.path().lexically_relative(root).string());
        }
    }
    EXPECT_EQ(files, expectedFiles());

    // Debian's own checker finds nothing to complain about.
    ChildProcess lintian(LINTIAN_PATH, {"--tag-display-limit", "0", debs[0]});
    EXPECT_EQ(lintian.wait(60000), 0) << lintian.output() << lintian.errors();
    EXPECT_EQ(lintian.output(), "");

    ChildProcess fields(DPKG_DEB_PATH, {"-f", debs[0], "Package", "Depends"});
    EXPECT_EQ(fields.wait(), 0);
    EXPECT_EQ(fields.output().rfind("Package: skywandtester\nDepends: ", 0), 0u);
    for (const char* package : {"libc6", "libstdc++6", has_tester ? "qt6-qpa-plugins" : "libc6"}) {
        EXPECT_NE(fields.output().find(package), std::string::npos) << fields.output();
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
