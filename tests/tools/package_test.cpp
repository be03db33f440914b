// The Debian package as a user gets it: built by CPack from this build, unpacked into a
// temporary root, every file where the install layout puts it, and the unpacked programs run.

#include "childprocess.h"
#include "net.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string cpack_program = CPACK_PATH;
const std::string dpkg_deb_program = DPKG_DEB_PATH;
const std::string desktop_validate_program = DESKTOP_FILE_VALIDATE_PATH;
const std::string build_dir = BUILD_DIR;
const std::string help_source_dir = HELP_SOURCE_DIR;
const std::string app_dir = SKYWAND_APP_DIR; // relative to the prefix
constexpr bool has_tester = SKYWAND_PACKAGE_HAS_TESTER;
const std::vector<int> icon_sizes = {16, 24, 32, 48, 64, 128, 256};

// A folder in /tmp removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/skywand_package_test_XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) {
            fs::remove_all(path, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    fs::path path;
};

// Every file and link below root, as paths relative to it.
std::set<std::string> packagedFiles(const fs::path& root) {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!fs::is_directory(entry.symlink_status())) {
            files.insert(entry.path().lexically_relative(root).string());
        }
    }
    return files;
}

std::set<std::string> expectedFiles() {
    std::set<std::string> files = {"usr/bin/ombrix-sim", "usr/bin/ombrix-monitor"};
    if (!has_tester) {
        return files;
    }
    files.insert({"usr/bin/skywandtester", "usr/" + app_dir + "/skywandtester",
                  "usr/share/applications/skywandtester.desktop"});
    for (const fs::directory_entry& entry : fs::directory_iterator(help_source_dir)) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".html" || extension == ".css" || extension == ".png" ||
            extension == ".md") {
            files.insert("usr/" + app_dir + "/doc/" + entry.path().filename().string());
        }
    }
    for (int size : icon_sizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        files.insert("usr/share/icons/hicolor/" + folder + "/apps/skywandtester.png");
    }
    return files;
}

// Width and height from a PNG file's header; 0 when it is no PNG.
std::pair<unsigned, unsigned> pngSize(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[24] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    if (!in || header[1] != 'P' || header[2] != 'N' || header[3] != 'G') {
        return {0, 0};
    }
    const auto big_endian = [&header](int at) {
        return (unsigned(header[at]) << 24) | (unsigned(header[at + 1]) << 16) |
               (unsigned(header[at + 2]) << 8) | unsigned(header[at + 3]);
    };
    return {big_endian(16), big_endian(20)};
}

std::string field(const std::string& deb, const std::string& name) {
    ChildProcess query(dpkg_deb_program, {"-f", deb, name});
    EXPECT_EQ(query.wait(), 0) << query.errors();
    std::string value = query.output();
    while (!value.empty() && value.back() == '\n') {
        value.pop_back();
    }
    return value;
}

class Package : public testing::Test {
protected:
    // One package for every test of the suite: building it is the slow part.
    static void SetUpTestSuite() {
        work = new TempDir;
        ChildProcess cpack(cpack_program,
                           {"-G", "DEB", "--config", build_dir + "/CPackConfig.cmake", "-B",
                            (work->path / "out").string()});
        build_status = cpack.wait(100000);
        build_log = cpack.output() + cpack.errors();
        for (const fs::directory_entry& entry : fs::directory_iterator(work->path / "out")) {
            if (entry.path().extension() == ".deb") {
                debs.push_back(entry.path().string());
            }
        }
        if (debs.size() == 1) {
            ChildProcess unpack(dpkg_deb_program, {"-x", debs[0], root().string()});
            unpack_status = unpack.wait(30000);
        }
    }
    static void TearDownTestSuite() {
        delete work;
        work = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(build_status, 0) << build_log;
        ASSERT_EQ(debs.size(), 1u) << build_log;
        ASSERT_EQ(unpack_status, 0);
    }
    static fs::path root() { return work->path / "root"; }

    static TempDir* work;
    static int build_status;
    static int unpack_status;
    static std::string build_log;
    static std::vector<std::string> debs;
};

TempDir* Package::work = nullptr;
int Package::build_status = -1;
int Package::unpack_status = -1;
std::string Package::build_log;
std::vector<std::string> Package::debs;

TEST_F(Package, HoldsExactlyTheFilesOfTheLayout) {
    EXPECT_EQ(packagedFiles(root()), expectedFiles());
    if (!has_tester) {
        return;
    }
    // The link on the PATH is relative, so the tree works wherever it is unpacked.
    EXPECT_EQ(fs::read_symlink(root() / "usr/bin/skywandtester"),
              fs::path("../" + app_dir + "/skywandtester"));
    for (int size : icon_sizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_EQ(pngSize(root() / "usr/share/icons/hicolor" / folder / "apps/skywandtester.png"),
                  std::make_pair(unsigned(size), unsigned(size)))
            << folder;
    }
    ChildProcess validate(desktop_validate_program,
                          {(root() / "usr/share/applications/skywandtester.desktop").string()});
    EXPECT_EQ(validate.wait(), 0) << validate.output() << validate.errors();
    std::ifstream desktop(root() / "usr/share/applications/skywandtester.desktop");
    const std::string entry(std::istreambuf_iterator<char>(desktop), {});
    // The menu starts the link on the PATH and finds the icon by the installed name.
    EXPECT_NE(entry.find("\nExec=skywandtester\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=skywandtester\n"), std::string::npos) << entry;
}

TEST_F(Package, NamesItsRunTimeDependencies) {
    EXPECT_EQ(field(debs[0], "Package"), "skywandtester");
    EXPECT_EQ(field(debs[0], "Section"), "utils");
    EXPECT_FALSE(field(debs[0], "Maintainer").empty());
    const std::string depends = field(debs[0], "Depends");
    EXPECT_NE(depends.find("libc6"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libstdc++6"), std::string::npos) << depends;
    if (has_tester) {
        for (const char* package :
             {"libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins"}) {
            EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
        }
    }
}

TEST_F(Package, UnpackedToolsRun) {
    for (const char* tool : {"ombrix-sim", "ombrix-monitor"}) {
        ChildProcess help((root() / "usr/bin" / tool).string(), {"--help"});
        EXPECT_EQ(help.wait(), 0) << tool << ": " << help.errors();
        EXPECT_EQ(help.output().rfind("Usage: " + std::string(tool), 0), 0u) << help.output();
    }
}

// Started through the link, the tester must use its own folder: the configuration file beside
// the real executable (and with it the doc folder there), not one in bin/.
TEST_F(Package, TesterStartedThroughTheLinkUsesItsApplicationFolder) {
    if (!has_tester) {
        GTEST_SKIP() << "built without the tester";
    }
    const fs::path app_folder = root() / "usr" / app_dir;
    ASSERT_TRUE(fs::exists(app_folder / "doc/index.html"));
    const unsigned short port = freeUdpPort();
    ASSERT_NE(port, 0);
    std::ofstream(app_folder / "skywandtester.config") << port;

    ChildProcess tester((root() / "usr/bin/skywandtester").string(), {});
    const bool listening = waitUntilUdpBound(port, 10000);
    tester.signal(SIGTERM);
    tester.wait(10000);
    EXPECT_TRUE(listening) << "the tester did not listen on the port of its configuration file\n"
                           << tester.errors();
    EXPECT_FALSE(fs::exists(root() / "usr/bin/skywandtester.config"));
}

} // namespace
