// A folder in /tmp removed with everything in it at the end; whole files read and written.

#ifndef TEMPDIR_H
#define TEMPDIR_H

#include <cstdlib>
#include <filesystem>
#include <fstream>

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/skywand_test_XXXXXX";
        path = mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    // Each folder is removed once, by its one owner.
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path + "/" + name; }

    std::string path;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

#endif // TEMPDIR_H
