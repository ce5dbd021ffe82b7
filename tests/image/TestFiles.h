#pragma once
// Helpers for the image tests: a temporary directory and Intel HEX record text.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "image/ImageLoaders.h"
#include "text/HexFormat.h"

namespace qv::test {

class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("qv_image_test_" + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    // Writes `content` (binary, as is) to the file `name` and returns its full path.
    std::string Write(const std::string& name, const std::string& content) const {
        const std::string p = File(name);
        std::ofstream f(p, std::ios::binary);
        f.write(content.data(), static_cast<std::streamsize>(content.size()));
        return p;
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }

  private:
    std::filesystem::path path_;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// One Intel HEX record, ':' to checksum, without a line end.
inline std::string Record(std::uint8_t type, std::uint16_t offset,
                          const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> r{static_cast<std::uint8_t>(data.size()),
                                static_cast<std::uint8_t>(offset >> 8),
                                static_cast<std::uint8_t>(offset & 0xFF), type};
    r.insert(r.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (auto v : r) sum = static_cast<std::uint8_t>(sum + v);
    r.push_back(static_cast<std::uint8_t>(0x100 - sum));
    std::string s = ":";
    AppendHexBytes(s, r.data(), r.size());
    return s;
}

inline std::string Data(std::uint16_t offset, const std::vector<std::uint8_t>& data) {
    return Record(0x00, offset, data);
}
inline std::string Eof() {
    return Record(0x01, 0, {});
}
inline std::string Linear(std::uint16_t upper) {
    return Record(0x04, 0,
                  {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
}
inline std::string Segment(std::uint16_t segment) {
    return Record(0x02, 0,
                  {static_cast<std::uint8_t>(segment >> 8), static_cast<std::uint8_t>(segment)});
}

// Lines joined with `eol`, each line followed by it.
inline std::string Lines(const std::vector<std::string>& lines, const std::string& eol = "\n") {
    std::string s;
    for (const auto& l : lines) s += l + eol;
    return s;
}

inline std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first, std::uint8_t step = 1) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i * step);
    return v;
}

inline std::uint16_t Sum16(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to) {
    std::uint32_t s = 0;
    for (std::size_t i = from; i < to; ++i) s += v[i];
    return static_cast<std::uint16_t>(s);
}

// The loaders over a file opened by name (regular files only here; the front ends open theirs
// through system/InputFile.h). A file that cannot be opened gives a null stream.
struct OpenedFile {
    explicit OpenedFile(const std::string& path) : f(std::fopen(path.c_str(), "rb")) {}
    ~OpenedFile() {
        if (f) std::fclose(f);
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    std::FILE* f;
};
inline LoadResult LoadHexImage(ImageBuffer& image, const std::string& path) {
    return LoadHexFromFile(image, OpenedFile(path).f, path);
}
inline LoadResult LoadBinImage(ImageBuffer& image, const std::string& path) {
    return LoadBinFromFile(image, OpenedFile(path).f, path);
}
inline LoadResult LoadImageByName(ImageBuffer& image, const std::string& path) {
    return qv::LoadImageByName(image, path, OpenedFile(path).f);
}

}  // namespace qv::test
